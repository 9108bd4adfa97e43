#include "tools/art/CabArt.h"

#include "tools/art/ArtKit.h"

namespace tessel::art
{
namespace
{
//==============================================================================
// The CAB page, 741 x 517, drawn at twice its size. The rectangles are the
// bounds the page's resized() gives its controls.
namespace CabPage
{
const juce::Rectangle<float> page { 0.0f, 0.0f, 741.0f, 517.0f };
const juce::Rectangle<float> versionLabel { 544.0f, 10.0f, 149.0f, 34.0f };
const juce::Rectangle<float> setButton { 697.0f, 10.0f, 34.0f, 34.0f };
const float knobX[] = { 25.0f, 129.0f, 232.0f, 336.0f };
const char* const knobCaptions[] = { "VOL", "X", "Y", "Z" };
const juce::Rectangle<float> micSlider { 440.0f, 122.0f, 87.0f, 67.0f };
const juce::Rectangle<float> micCombo { 453.0f, 190.0f, 60.0f, 17.0f };
const juce::Rectangle<float> muteSwitch { 190.0f, 217.0f, 39.0f, 19.0f };
const juce::Rectangle<float> bypassSwitch { 335.0f, 217.0f, 39.0f, 19.0f };
const juce::Rectangle<float> pad { 548.0f, 70.0f, 177.0f, 177.0f };
const juce::Rectangle<float> saveButton { 32.0f, 275.0f, 40.0f, 20.0f };
const juce::Rectangle<float> exportButton { 75.0f, 275.0f, 49.0f, 20.0f };
const juce::Rectangle<float> importButton { 128.0f, 275.0f, 49.0f, 20.0f };
const juce::Rectangle<float> addButton { 230.0f, 276.0f, 34.0f, 20.0f };
const juce::Rectangle<float> saveIrButton { 425.0f, 276.0f, 94.0f, 20.0f };
const juce::Rectangle<float> patchList { 32.0f, 300.0f, 181.0f, 185.0f };
const juce::Rectangle<float> irList { 230.0f, 300.0f, 163.0f, 185.0f };
const juce::Rectangle<float> descriptionBox { 390.0f, 300.0f, 130.0f, 158.0f };
const juce::Rectangle<float> roomLabel { 564.0f, 315.0f, 46.0f, 17.0f };
const juce::Rectangle<float> roomKnob { 543.0f, 340.0f, 87.0f, 87.0f };
const juce::Rectangle<float> presenceKnob { 636.0f, 338.0f, 87.0f, 87.0f };
const juce::Rectangle<float> powerAmpCombo { 640.0f, 461.0f, 80.0f, 17.0f };

const auto framesTop = 252.0f;

juce::Rectangle<float> knob (int index)
{
    return { knobX[index], 122.0f, 87.0f, 87.0f };
}
} // namespace CabPage

// The switches sit in slots like the effect pages' bypass switch, lit and
// marked ON while they let the sound through.
ControlBox drawSwitchBox (juce::Graphics& g, LayoutCheck& layout, juce::Rectangle<float> control,
                          const juce::String& caption)
{
    ControlBoxStyle style;
    style.margin = 2.0f;
    style.wellCorner = -1.0f;
    style.tail = "ON";

    auto box = drawControlBox (g, control, caption, style);
    layout.control ("the " + caption + " switch", control);
    layout.caption (caption, box.tab);
    layout.caption (caption + " ON", box.tail);
    return box;
}

void drawPadSection (juce::Graphics& g, LayoutCheck& layout)
{
    using namespace CabPage;

    // A recess the pad sits in, its caption in the band under the title bar.
    juce::Path shape, chamfer;
    shape.addRoundedRectangle (pad.expanded (2.0f), 4.0f);
    chamfer.addRoundedRectangle (pad.expanded (3.5f), 5.5f);
    g.setColour (juce::Colours::black.withAlpha (0.6f));
    g.fillPath (chamfer);
    g.setColour (Palette::comboOutline.withAlpha (0.7f));
    g.strokePath (shape, juce::PathStrokeType (1.0f));

    const juce::Rectangle<float> captionArea (pad.getX(), 56.0f, pad.getWidth(), 11.0f);
    drawCaption (g, "MIC POSITION", captionArea, 11.0f, Palette::accent, juce::Justification::centred, true, 0.12f);
    layout.caption ("MIC POSITION (pad)",
                    captionBounds ("MIC POSITION", captionArea, 11.0f, juce::Justification::centred, true, 0.12f));
    layout.control ("the pad", pad.expanded (1.0f));

    // Which way X and Y grow: X to the right along the foot, Y up the side.
    const auto label = [&] (const juce::String& text, juce::Rectangle<float> area)
    { layout.caption (text, drawControlLabel (g, text, area)); };

    const auto footY = pad.getBottom() + 5.0f;
    label ("X", { pad.getCentreX() - 6.0f, footY, 12.0f, controlLabelHeight });
    drawAccentLine (g, pad.getX() + 10.0f, pad.getCentreX() - 10.0f, footY + 5.0f, Palette::comboOutline);
    drawAccentLine (g, pad.getCentreX() + 10.0f, pad.getRight() - 10.0f, footY + 5.0f, Palette::comboOutline);

    const auto sideX = pad.getX() - 14.0f;
    label ("Y", { sideX, pad.getCentreY() - controlLabelHeight * 0.5f, 10.0f, controlLabelHeight });
    drawVerticalAccentLine (g, sideX + 5.0f, pad.getY() + 10.0f, pad.getCentreY() - 10.0f, Palette::comboOutline);
    drawVerticalAccentLine (g, sideX + 5.0f, pad.getCentreY() + 10.0f, pad.getBottom() - 10.0f, Palette::comboOutline);
}

void drawKnobSection (juce::Graphics& g, LayoutCheck& layout, juce::Rectangle<float> deck)
{
    using namespace CabPage;

    for (int i = 0; i < 4; ++i)
    {
        drawKnobWell (g, knob (i), knobCaptions[i]);
        layout.control ("knob " + juce::String (i), knob (i));
        layout.caption (knobCaptions[i], controlCaptionBounds (knobCaptions[i], knobCaptionArea (knob (i))));
    }

    // X, Y and Z are one setting: a bracket over their captions names it.
    const auto captionRow = knobCaptionArea (knob (1));
    const auto left = knobDial (knob (1)).centre.x - 30.0f;
    const auto right = knobDial (knob (3)).centre.x + 30.0f;
    const juce::Rectangle<float> groupArea (left, captionRow.getY() - 16.0f, right - left, 14.0f);
    drawControlCaption (g, "MIC POSITION", groupArea);
    const auto groupInk = controlCaptionBounds ("MIC POSITION", groupArea);
    layout.caption ("MIC POSITION", groupInk);

    const auto bracketY = groupArea.getCentreY();
    drawAccentLine (g, left, groupInk.getX() - 8.0f, bracketY, Palette::comboOutline);
    drawAccentLine (g, groupInk.getRight() + 8.0f, right, bracketY, Palette::comboOutline);

    // The microphone type: a knob without a value box, the list under it.
    const juce::Point<float> noValueBox { 0.0f, 0.0f };
    drawKnobWell (g, micSlider, "MIC TYPE", noValueBox);
    layout.control ("the microphone knob", micSlider);
    layout.caption ("MIC TYPE", controlCaptionBounds ("MIC TYPE", knobCaptionArea (micSlider, noValueBox)));

    juce::Path slot, chamfer;
    slot.addRoundedRectangle (micCombo.expanded (1.0f), 3.0f);
    chamfer.addRoundedRectangle (micCombo.expanded (2.5f), 4.5f);
    g.setColour (juce::Colours::black.withAlpha (0.5f));
    g.fillPath (chamfer);
    g.setGradientFill (juce::ColourGradient::vertical (Shades::wellTop, Shades::wellBottom, micCombo));
    g.fillPath (slot);
    layout.control ("the microphone list", micCombo);

    // A rule sets the microphone type apart from the position knobs.
    const auto ruleX =
        (knobDial (knob (3)).centre.x + 35.5f + knobDial (micSlider, noValueBox).centre.x - 35.5f) * 0.5f;
    drawVerticalAccentLine (g, ruleX, deck.getY() + 12.0f, deck.getBottom() - 12.0f,
                            Palette::comboOutline.withAlpha (0.6f));

    auto mute = drawSwitchBox (g, layout, muteSwitch, "MUTE");
    auto bypass = drawSwitchBox (g, layout, bypassSwitch, "BYPASS");

    const auto footY = bypass.frame.getCentreY();
    const auto colour = Palette::comboOutline.withAlpha (0.45f);
    drawAccentLine (g, deck.getX() + 14.0f, mute.frame.getX() - 10.0f, footY, colour);
    drawAccentLine (g, bypass.frame.getRight() + 10.0f, ruleX - 8.0f, footY, colour);
}

void drawListSection (juce::Graphics& g, LayoutCheck& layout)
{
    using namespace CabPage;

    // The buttons of each list have a row of their own under its heading.
    const auto framesBottom = patchList.getBottom() + 5.0f;
    const auto frame = [&] (float left, float right)
    { return juce::Rectangle<float> (left, framesTop, right - left, framesBottom - framesTop); };
    const auto well = [&] (float left, float right)
    {
        return juce::Rectangle<float> (left, patchList.getY() - 2.0f, right - left,
                                       framesBottom - 2.0f - patchList.getY() + 2.0f);
    };

    drawListFrame (g, frame (patchList.getX() - 4.0f, patchList.getRight() + 4.0f),
                   well (patchList.getX() - 2.0f, patchList.getRight() + 2.0f), "Patch List",
                   juce::Justification::left);

    // One frame for the IR list and the description of the IR selected in it.
    drawListFrame (g, frame (irList.getX() - 4.0f, descriptionBox.getRight() + 4.0f),
                   well (irList.getX() - 2.0f, descriptionBox.getRight() + 2.0f), "Cab Models",
                   juce::Justification::left);
    drawVerticalAccentLine (g, irList.getRight() - 1.5f, irList.getY() + 4.0f, irList.getBottom() - 4.0f,
                            Palette::comboOutline.withAlpha (0.5f));

    for (auto& [name, bounds] : { std::pair<const char*, juce::Rectangle<float>> { "the Save button", saveButton },
                                  { "the Export button", exportButton },
                                  { "the Import button", importButton },
                                  { "the Add button", addButton },
                                  { "the Save IR File button", saveIrButton },
                                  { "the patch list", patchList },
                                  { "the IR list", irList },
                                  { "the description box", descriptionBox } })
        layout.control (name, bounds);

    if (saveButton.getY() < framesTop + 20.0f)
        reportProblem ("the buttons over the lists run into the lists' headings");
}

void drawLevelSection (juce::Graphics& g, LayoutCheck& layout)
{
    using namespace CabPage;

    // The room level's caption is a picture of its own (the page dims it at
    // 0), so its well carries none.
    drawKnobWell (g, roomKnob, {});
    layout.control ("the room knob", roomKnob);
    layout.control ("the room label", roomLabel);

    const juce::Rectangle<float> powerAmp (presenceKnob.getX() - 3.0f, framesTop + 56.0f,
                                           presenceKnob.getWidth() + 6.0f,
                                           powerAmpCombo.getBottom() + 9.0f - framesTop - 56.0f);
    drawFramedBox (g, powerAmp, "POWER AMP", 11.0f, 6.0f);
    drawKnobWell (g, presenceKnob, "PRESENCE");
    layout.control ("the presence knob", presenceKnob);
    layout.caption ("PRESENCE", controlCaptionBounds ("PRESENCE", knobCaptionArea (presenceKnob)));

    juce::Path slot;
    slot.addRoundedRectangle (powerAmpCombo.expanded (1.0f), 3.0f);
    g.setGradientFill (juce::ColourGradient::vertical (Shades::wellTop, Shades::wellBottom, powerAmpCombo));
    g.fillPath (slot);
    layout.control ("the power amp list", powerAmpCombo);
}

//==============================================================================
// The speaker: a cone in a surround, a dust cap, the grille cloth round it.
void drawSpeaker (juce::Graphics& g, juce::Rectangle<float> area)
{
    const auto centre = area.getCentre();
    const auto size = area.getWidth();

    g.setGradientFill (juce::ColourGradient::vertical (juce::Colour (0xFF0B1415), juce::Colour (0xFF050909), area));
    g.fillRect (area);

    // Grille cloth: a fine weave in two directions.
    g.setColour (Palette::accent.withAlpha (0.045f));
    for (float d = -size; d < size * 2.0f; d += size / 70.0f)
    {
        g.drawLine (area.getX() + d, area.getY(), area.getX() + d - size, area.getBottom(), 1.0f);
        g.drawLine (area.getX() + d - size, area.getY(), area.getX() + d, area.getBottom(), 1.0f);
    }

    const auto frame = size * 0.47f;
    const auto cone = size * 0.42f;
    const auto cap = size * 0.12f;
    auto circle = [&] (float radius)
    { return juce::Rectangle<float> (radius * 2.0f, radius * 2.0f).withCentre (centre); };

    // The basket's rim and the rubber surround.
    g.setGradientFill (juce::ColourGradient (juce::Colour (0xFF2A3B3D), centre.x, centre.y - frame,
                                             juce::Colour (0xFF0A1112), centre.x, centre.y + frame, false));
    g.fillEllipse (circle (frame));
    g.setColour (juce::Colours::black.withAlpha (0.8f));
    g.drawEllipse (circle (frame), size * 0.006f);

    g.setGradientFill (juce::ColourGradient (juce::Colour (0xFF040707), centre.x, centre.y - cone,
                                             juce::Colour (0xFF1A2627), centre.x, centre.y + cone, false));
    g.fillEllipse (circle (cone + size * 0.025f));

    // The cone: lit from above, its paper ridged in rings.
    juce::ColourGradient paper (juce::Colour (0xFF172324), centre.x, centre.y, juce::Colour (0xFF0D1718), centre.x,
                                centre.y - cone, true);
    paper.addColour (0.7, juce::Colour (0xFF1E2E30));
    g.setGradientFill (paper);
    g.fillEllipse (circle (cone));

    for (int ring = 1; ring <= 6; ++ring)
    {
        const auto r = cap + (cone - cap) * (float) ring / 7.0f;
        g.setColour (juce::Colours::black.withAlpha (0.35f));
        g.drawEllipse (circle (r), size * 0.004f);
        g.setColour (Palette::accent.withAlpha (0.06f));
        g.drawEllipse (circle (r + size * 0.004f), size * 0.003f);
    }

    // The dust cap, domed.
    juce::ColourGradient dome (juce::Colour (0xFF3B5153), centre.x - cap * 0.3f, centre.y - cap * 0.4f,
                               juce::Colour (0xFF0C1516), centre.x + cap, centre.y + cap, true);
    drawShadow (g,
                [&]
                {
        juce::Path p;
        p.addEllipse (circle (cap));
        return p;
    }(),
                juce::Colours::black.withAlpha (0.7f), size * 0.02f, { 0.0f, size * 0.01f });
    g.setGradientFill (dome);
    g.fillEllipse (circle (cap));
    g.setColour (Palette::comboOutline.withAlpha (0.6f));
    g.drawEllipse (circle (cap), size * 0.004f);

    // Four mounting screws in the rim.
    for (int i = 0; i < 4; ++i)
    {
        const auto angle = juce::MathConstants<float>::pi * (0.25f + 0.5f * (float) i);
        const auto at = centre.getPointOnCircumference ((frame + cone + size * 0.025f) * 0.5f, angle);
        g.setColour (juce::Colour (0xFF4A5E60));
        g.fillEllipse (juce::Rectangle<float> (size * 0.022f, size * 0.022f).withCentre (at));
    }
}
} // namespace

//==============================================================================
void drawCabPageBackground (juce::Graphics& g, juce::Rectangle<float> area)
{
    using namespace CabPage;
    scaleToPage (g, area, page);
    drawTitledPanel (g, page, "CAB", versionLabel.getX(), 0xcab5);
    drawLabelWindow (g, versionLabel);

    LayoutCheck layout;
    layout.control ("the version label", versionLabel);
    layout.control ("the Set button", setButton);

    const juce::Rectangle<float> deck (15.0f, 70.0f, 517.0f, 176.0f);
    drawControlDeck (g, deck);
    drawKnobSection (g, layout, deck);
    drawPadSection (g, layout);
    drawListSection (g, layout);
    drawLevelSection (g, layout);

    const juce::Rectangle<float> note (20.0f, 494.0f, 701.0f, 14.0f);
    drawCaption (g, "Please do not turn the pedal's own knobs or switches while you edit it here.", note, 10.5f,
                 Palette::lightText.withAlpha (0.75f), juce::Justification::centred, false, 0.02f);

    drawAccentLine (g, 20.0f, page.getRight() - 20.0f, note.getY() - 2.5f, Palette::comboOutline.withAlpha (0.4f));
    layout.report();
}

void drawMicPad (juce::Graphics& g, juce::Rectangle<float> area)
{
    drawSpeaker (g, area);

    // A quiet grid, brightest on the centre lines, so a position can be read.
    for (int i = 1; i < 8; ++i)
    {
        const auto t = (float) i / 8.0f;
        const auto alpha = i == 4 ? 0.35f : 0.12f;
        g.setColour (Palette::accent.withAlpha (alpha));
        g.drawLine (area.getX() + area.getWidth() * t, area.getY(), area.getX() + area.getWidth() * t, area.getBottom(),
                    1.0f);
        g.drawLine (area.getX(), area.getY() + area.getHeight() * t, area.getRight(),
                    area.getY() + area.getHeight() * t, 1.0f);
    }

    drawCornerMarks (g, area.reduced (6.0f), 16.0f, Palette::menuCornerMarks.withAlpha (0.8f), 2.0f);
}

void drawMicrophone (juce::Graphics& g, juce::Rectangle<float> area, int index)
{
    // 0 touches the grille, 19 is furthest away: smaller, with its shadow
    // thrown further and softer onto the speaker.
    const auto distance = (float) index / (float) (microphonePictureCount - 1);
    const auto scale = 1.0f - 0.45f * distance;

    const auto width = area.getWidth() * 0.62f * scale;
    const auto height = area.getHeight() * 0.86f * scale;
    const auto body = juce::Rectangle<float> (width, height)
                          .withCentre (area.getCentre().translated (0.0f, -area.getHeight() * 0.02f));

    const auto grilleHeight = height * 0.36f;
    const auto grille = body.withHeight (grilleHeight);
    const auto neck = juce::Rectangle<float> (width * 0.78f, height * 0.08f)
                          .withCentre ({ body.getCentreX(), grille.getBottom() + height * 0.04f });
    const auto handle = juce::Rectangle<float> (width * 0.56f, height * 0.5f)
                            .withPosition (body.getCentreX() - width * 0.28f, neck.getBottom());

    juce::Path outline;
    outline.addRoundedRectangle (grille, width * 0.4f);
    outline.addRoundedRectangle (neck, height * 0.02f);
    outline.addRoundedRectangle (handle, width * 0.1f);

    const auto shadowOffset = area.getWidth() * (0.03f + 0.12f * distance);
    drawShadow (g, outline, juce::Colours::black.withAlpha (0.75f - 0.3f * distance), 4.0f + 10.0f * distance,
                { shadowOffset, shadowOffset * 1.3f });

    // The handle: dark metal, lit from the left.
    g.setGradientFill (juce::ColourGradient::horizontal (juce::Colour (0xFF566B6E), juce::Colour (0xFF141D1E), handle));
    g.fillRoundedRectangle (handle, width * 0.1f);
    g.setColour (juce::Colours::black.withAlpha (0.6f));
    g.drawRoundedRectangle (handle, width * 0.1f, 1.5f);

    // The neck ring in the page's teal.
    g.setGradientFill (juce::ColourGradient::vertical (Shades::litTop, Palette::knobFill, neck));
    g.fillRoundedRectangle (neck, height * 0.02f);

    // The grille: a domed mesh.
    juce::ColourGradient dome (juce::Colour (0xFFB7C4C5), grille.getX() + width * 0.3f,
                               grille.getY() + grilleHeight * 0.25f, juce::Colour (0xFF2C3A3C), grille.getRight(),
                               grille.getBottom(), true);
    g.setGradientFill (dome);
    g.fillRoundedRectangle (grille, width * 0.4f);

    {
        juce::Graphics::ScopedSaveState state (g);
        juce::Path clip;
        clip.addRoundedRectangle (grille, width * 0.4f);
        g.reduceClipRegion (clip);
        g.setColour (juce::Colours::black.withAlpha (0.35f));
        const auto step = juce::jmax (3.0f, width / 12.0f);
        for (float x = grille.getX(); x < grille.getRight(); x += step)
            g.drawLine (x, grille.getY(), x, grille.getBottom(), 1.0f);
        for (float y = grille.getY(); y < grille.getBottom(); y += step)
            g.drawLine (grille.getX(), y, grille.getRight(), y, 1.0f);
    }

    g.setColour (juce::Colours::black.withAlpha (0.7f));
    g.drawRoundedRectangle (grille, width * 0.4f, 1.5f);

    // The lead leaves from the foot of the handle.
    juce::Path lead;
    lead.startNewSubPath (handle.getCentreX(), handle.getBottom());
    lead.quadraticTo (handle.getCentreX(), area.getBottom() - 4.0f, handle.getCentreX() + width * 0.25f,
                      area.getBottom());
    g.setColour (juce::Colour (0xFF0A1112));
    g.strokePath (lead,
                  juce::PathStrokeType (width * 0.12f, juce::PathStrokeType::curved, juce::PathStrokeType::rounded));
}

void drawRoomLabel (juce::Graphics& g, juce::Rectangle<float> area)
{
    drawCaption (g, "ROOM", area, area.getHeight() * 0.74f, Palette::accent, juce::Justification::centred, true, 0.12f);
}
} // namespace tessel::art
