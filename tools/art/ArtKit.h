#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include "ui/Palette.h"

/*  The drawing kit behind tessel_art.

    Every picture the editor ships is drawn from these few pieces, so the pages
    share one look: the same dark panel, the same captions, the same frames and
    buttons. Nothing here may depend on the time, the machine or an unseeded
    random source: the pictures are compiled into the program and a rebuild
    must give the same bytes.
*/
namespace tessel::art
{

//==============================================================================
/** Colours only the pictures use. Everything else comes from the editor's own
    Palette (ui/Palette.h), so a colour changed there changes the pictures too.
*/
namespace Shades
{
// The panel: near-black with a little teal in it, so the accent colours
// sit on it without glaring.
inline const juce::Colour panelTop{0xFF0F2022};
inline const juce::Colour panelBottom{0xFF070C0D};
inline const juce::Colour buttonTop{0xFF16383B};
inline const juce::Colour buttonBottom{0xFF0A1B1D};
inline const juce::Colour pedalTop{0xFF143235};
inline const juce::Colour pedalBottom{0xFF0A191B};
} // namespace Shades

//==============================================================================
/** DejaVu Sans at a pixel height. JUCE measures a font's height from ascent to
    descent, so a height of 25 here matches a height-25 font in the editor.
*/
juce::Font captionFont (float height, bool bold = false, float tracking = 0.0f);

/** Fails loudly, rather than shipping pictures with silently missing captions,
    when no usable typeface can be found on the build machine.
*/
juce::Result checkTextRenders();

/** Drawing helpers note things that would spoil a picture (a caption that
    does not fit, say) here instead of failing half-way through a drawing;
    the generator collects them after each picture and refuses to write it.
*/
void reportProblem (const juce::String& problem);
juce::StringArray takeProblems();

/** Draws one line of text inside an area. Too-long text is squeezed a little
    and then reported, never clipped, because a clipped caption in a shipped
    picture is exactly the kind of thing nobody notices until a customer does.
*/
void drawCaption (juce::Graphics& g, const juce::String& text, juce::Rectangle<float> area, float height,
                  juce::Colour colour, juce::Justification justification = juce::Justification::centred,
                  bool bold = false, float tracking = 0.0f);

//==============================================================================
struct PanelStyle
{
    juce::Colour top = Shades::panelTop;
    juce::Colour bottom = Shades::panelBottom;
    float textureStrength = 0.035f; // alpha of the brushed grain, 0 for none
    float vignette = 0.55f;         // darkness at the far corners
    juce::uint32 seed = 0x7e55e1;
};

/** The common dark panel: a vertical gradient, brushed grain and a vignette. */
void drawPanelBackground (juce::Graphics& g, juce::Rectangle<float> area, const PanelStyle& style = {});

/** Horizontal brushed-metal grain, stored as white and black pixels of low
    alpha, so it lightens and darkens whatever it is drawn over and can be
    clipped to any shape.
*/
juce::Image makeBrushedTexture (int width, int height, juce::uint32 seed, float strength);

/** A soft elliptical pool of light, for lifting the part of a page the eye
    should go to first.
*/
void drawGlow (juce::Graphics& g, juce::Rectangle<float> area, juce::Colour colour);

/** Darkens the edges of an area with an elliptical falloff. */
void drawVignette (juce::Graphics& g, juce::Rectangle<float> area, float darkness);

/** A grid of faint dots, fading out with distance from the centre of an area,
    so it reads as texture and never as a pattern with edges.
*/
void drawDotGrid (juce::Graphics& g, juce::Rectangle<float> area, float spacing, juce::Colour colour);

/** A thin horizontal rule whose ends fade out. */
void drawAccentLine (juce::Graphics& g, float x1, float x2, float y, juce::Colour colour, float thickness = 1.0f);

/** L-shaped marks on the four corners of a rectangle, as on the editor's menus. */
void drawCornerMarks (juce::Graphics& g, juce::Rectangle<float> area, float length, juce::Colour colour,
                      float thickness = 1.5f);

//==============================================================================
/** A rounded frame whose top edge is broken by a caption, for grouping
    controls on a page.
*/
void drawFramedBox (juce::Graphics& g, juce::Rectangle<float> area, const juce::String& caption,
                    float captionHeight = 14.0f, float cornerSize = 6.0f);

struct ButtonStyle
{
    float cornerSize = 10.0f;
    float glowRadius = 4.0f; // room left round the shape for the glow
    float captionHeight = 19.0f;
    juce::Colour outline = Palette::accent;
    juce::Colour text = Palette::lightText;
};

/** A dark rounded button with a teal outline and a soft glow. The glow stays
    inside the area, so the picture can be placed exactly where the button is.
*/
void drawRoundedButton (juce::Graphics& g, juce::Rectangle<float> area, const juce::String& caption,
                        const ButtonStyle& style = {});

/** A USB-A plug in outline, pointing right; its lead leaves from the middle
    of the left edge of the area.
*/
void drawUsbPlug (juce::Graphics& g, juce::Rectangle<float> area, juce::Colour colour);

/** A line drawing of a pedal seen from above, with a label on its foot. */
void drawPedalSketch (juce::Graphics& g, juce::Rectangle<float> body, const juce::String& label, int numKnobs,
                      bool ledLit);

} // namespace tessel::art
