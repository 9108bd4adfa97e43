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
inline const juce::Colour panelTop { 0xFF0F2022 };
inline const juce::Colour panelBottom { 0xFF070C0D };
inline const juce::Colour buttonTop { 0xFF16383B };
inline const juce::Colour buttonBottom { 0xFF0A1B1D };
inline const juce::Colour pedalTop { 0xFF143235 };
inline const juce::Colour pedalBottom { 0xFF0A191B };
// The raised plate the controls of an effect page stand on, a shade lighter
// than the panel so the recessed wells in it read as cut into metal.
inline const juce::Colour deckTop { 0xFF132B2E };
inline const juce::Colour deckBottom { 0xFF0B1A1C };
// Wells behind knobs, switches and lists: dark enough for the teal list and
// description text to stand out, with a trace of teal so they do not look
// like holes in the picture.
inline const juce::Colour wellTop { 0xFF030809 };
inline const juce::Colour wellBottom { 0xFF071314 };
// The metal cap of a toggle switch.
inline const juce::Colour switchCapLight { 0xFF53676A };
inline const juce::Colour switchCapDark { 0xFF101819 };
// A lit switch: the progress-bar teal fading to the knob teal and below it.
inline const juce::Colour litTop { 0xFF2CF0E6 };
inline const juce::Colour litBottom { 0xFF0F7C77 };
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
                  bool bold = false, float tracking = 0.0f, float horizontalScale = 1.0f);

/** The width a caption drawn with the same arguments takes, without the
    spacing JUCE adds after its last letter.
*/
float captionWidth (const juce::String& text, float height, bool bold = false, float tracking = 0.0f,
                    float horizontalScale = 1.0f);

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

/** Lays brushed grain over an area. The grain is made at the resolution of
    the picture, not of the coordinates the caller draws in, so it stays
    one pixel fine when a page is drawn at twice its size.
*/
void drawBrushedTexture (juce::Graphics& g, juce::Rectangle<float> area, juce::uint32 seed, float strength);

/** A blurred shadow of a path, made at the picture's resolution like the
    grain. Radius and offset are in the caller's coordinates.
*/
void drawShadow (juce::Graphics& g, const juce::Path& shape, juce::Colour colour, float radius,
                 juce::Point<float> offset);

/** The shadow a recess casts into itself when lit from above: dark along
    the top of the inside edge, nothing outside the shape.
*/
void drawInnerShadow (juce::Graphics& g, const juce::Path& shape, juce::Colour colour, float radius,
                      juce::Point<float> offset);

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

/** The same, upright. */
void drawVerticalAccentLine (juce::Graphics& g, float x, float y1, float y2, juce::Colour colour,
                             float thickness = 1.0f);

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
    float captionScale = 1.0f;    // horizontal scale, for long captions on small buttons
    float captionPadding = -1.0f; // room left and right of the caption, or the corner size if negative
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

//==============================================================================
/*  The effect pages. Their backgrounds are drawn at twice the size the editor
    shows them, so these helpers take page coordinates (the ones the page's
    resized() uses) and rely on scaleToPage to map them onto the picture.
    Passing a control's own bounds keeps every caption and well registered
    with the control that will sit on it.
*/

/** Maps page coordinates onto a picture drawn at a multiple of the page's
    size. Everything drawn through g afterwards is in page coordinates.
*/
void scaleToPage (juce::Graphics& g, juce::Rectangle<float> picture, juce::Rectangle<float> page);

/** The maker's mark: a diamond of four tiles, one per pedal, the first lit,
    drawn into a square.
*/
void drawTesselMark (juce::Graphics& g, juce::Rectangle<float> square);

/** The page's panel and title bar: the textured panel, the mark with KORVEL
    over Tessel, the page's title after them, a rule under the bar and corner
    marks. The right-hand end of the bar, from x = keepClearFrom, is left
    empty for the version label and the Set button.
*/
void drawTitledPanel (juce::Graphics& g, juce::Rectangle<float> page, const juce::String& title, float keepClearFrom,
                      juce::uint32 seed);

/** The raised plate the knobs and switches of a page stand on. */
void drawControlDeck (juce::Graphics& g, juce::Rectangle<float> area);

/** Captions on the deck all look alike: bold, spaced, in the accent colour. */
void drawControlCaption (juce::Graphics& g, const juce::String& text, juce::Rectangle<float> area,
                         juce::Justification justification = juce::Justification::centred);

/** Where drawControlCaption puts the ink of the same caption. */
juce::Rectangle<float> controlCaptionBounds (const juce::String& text, juce::Rectangle<float> area,
                                             juce::Justification justification = juce::Justification::centred);

/** Height of the band a control caption needs above (or beside) a control. */
inline constexpr float controlCaptionHeight = 14.0f;

/** Where the knobs' look-and-feel draws the dial of a knob whose slider has
    these bounds and a value box of valueBoxSize below the dial.
*/
struct KnobDial
{
    juce::Point<float> centre;
    float radius;
    juce::Rectangle<float> valueBox;
};

KnobDial knobDial (juce::Rectangle<float> knobBounds, juce::Point<float> valueBoxSize = { 50.0f, 20.0f });

/** The band just above a knob's well where its caption goes. Other captions
    in the same row (a switch's, say) take its top and height so they line
    up with the knobs'.
*/
juce::Rectangle<float> knobCaptionArea (juce::Rectangle<float> knobBounds,
                                        juce::Point<float> valueBoxSize = { 50.0f, 20.0f });

/** A recessed well behind a knob, with a scale of dots round it, a window
    for its value box and its caption just above. knobBounds are the
    slider's bounds.
*/
void drawKnobWell (juce::Graphics& g, juce::Rectangle<float> knobBounds, const juce::String& caption,
                   juce::Point<float> valueBoxSize = { 50.0f, 20.0f });

/** A recessed slot for a toggle switch, sized from the switch's bounds.
    plate, if not empty, is a larger, shallower recess to set it in, which
    gives a small switch the presence of the knobs beside it.
*/
void drawSwitchWell (juce::Graphics& g, juce::Rectangle<float> switchBounds, juce::Rectangle<float> plate = {});

/** A box with a title bar for a list or text box that paints no background
    of its own. frame is the outside edge; well, where the list goes, is
    darker and recessed; the heading goes in the bar above the well, on the
    side given, leaving the other side for buttons that share the bar.
*/
void drawListFrame (juce::Graphics& g, juce::Rectangle<float> frame, juce::Rectangle<float> well,
                    const juce::String& heading, juce::Justification headingSide = juce::Justification::left);

/** An empty window let into the panel for a label the page draws over it,
    such as the version label in the title bar. labelBounds are the label's
    own bounds; the window takes their width and a little less than their
    height.
*/
void drawLabelWindow (juce::Graphics& g, juce::Rectangle<float> labelBounds);

/** Where a caption drawn with these arguments actually puts ink (its text
    width and font height, placed by the justification), for checking that
    captions keep clear of controls and of each other.
*/
juce::Rectangle<float> captionBounds (const juce::String& text, juce::Rectangle<float> area, float height,
                                      juce::Justification justification, bool bold = false, float tracking = 0.0f,
                                      float horizontalScale = 1.0f);

/** The small words that name the ends or rows of a control inside its box:
    Min and Max, ON and OFF. Returns where the ink went.
*/
juce::Rectangle<float> drawControlLabel (juce::Graphics& g, const juce::String& text, juce::Rectangle<float> area,
                                         juce::Justification justification = juce::Justification::centred);

/** The width drawControlLabel's letters take. */
float controlLabelWidth (const juce::String& text);

/** Height of the band a control label needs. */
inline constexpr float controlLabelHeight = 10.0f;

/** How a control box is laid round its control. */
struct ControlBoxStyle
{
    // Room between the control's bounds and the well's edge. Zero suits a
    // combo box: it outlines itself in the box's colour, so its outline and
    // the box's fall on the same pixels and read as one.
    float margin = 0.0f;
    // The well's corner; a negative value rounds the ends fully, for the
    // slot of a switch.
    float wellCorner = 3.0f;
    // Room inside the well before the control, for labels of its own.
    float leadRoom = 0.0f;
    // A short label after the well, in a tab of its own ("ON" beside a
    // switch); empty for none.
    juce::String tail;
};

/** Where a control box put things. */
struct ControlBox
{
    juce::Rectangle<float> frame;      // the outline round the whole box
    juce::Rectangle<float> well;       // the recess the control sits in
    juce::Rectangle<float> tab;        // the part before the well, with the caption
    juce::Rectangle<float> tail;       // the part after the well, if any
    juce::Rectangle<float> captionInk; // where the caption's letters are
    juce::Rectangle<float> tailInk;    // where the tail's letters are, if any
};

/** The caption of a control box, set beside its control. */
inline constexpr float controlBoxCaptionHeight = 10.5f;

/** Lays out a control box without drawing it, so a page can see how far it
    reaches before deciding where its neighbours go.
*/
ControlBox layoutControlBox (juce::Rectangle<float> control, const juce::String& caption,
                             const ControlBoxStyle& style = {});

/** A combo box, slider or small switch with its caption: a tab holding the
    caption, joined on its right to a dark recessed well that the control
    sits in, the two in one outline, like a labelled field on a hardware
    panel. The box takes only the control's own height (plus the margin),
    because on the effect pages the controls sit right under the knobs'
    value boxes, with no room for a frame above them.
*/
ControlBox drawControlBox (juce::Graphics& g, juce::Rectangle<float> control, const juce::String& caption,
                           const ControlBoxStyle& style = {});

/** Collects where a page's controls and captions are, and reports each
    caption that runs into a control or into another caption. Controls may
    touch each other (the range sliders overlap by design); captions may not
    touch anything.
*/
class LayoutCheck
{
public:
    void control (const juce::String& name, juce::Rectangle<float> bounds);
    void caption (const juce::String& text, juce::Rectangle<float> ink);
    void report() const;

private:
    struct Item
    {
        juce::String name;
        juce::Rectangle<float> area;
    };

    juce::Array<Item> controls, captions;
};

//==============================================================================
/** One picture of a toggle switch: a rounded track with a metal cap at one
    end. A track wider than it is high slides sideways, otherwise up and
    down; capAtEnd puts the cap at the right or the bottom. A lit track glows
    teal, a dark one is unlit. The glow stays inside the area.
*/
void drawToggleSwitch (juce::Graphics& g, juce::Rectangle<float> area, bool capAtEnd, bool lit);

/** A round dark button like drawRoundedButton's, with an icon instead of a
    caption; the icon path is filled in the light text colour.
*/
void drawRoundIconButton (juce::Graphics& g, juce::Rectangle<float> area, const juce::Path& icon,
                          float glowRadius = 4.0f);

/** A cog with a hole, for settings buttons. */
juce::Path makeGear (juce::Point<float> centre, float radius, int teeth);

} // namespace tessel::art
