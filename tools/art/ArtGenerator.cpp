/*  tessel_art: draws the editor's pictures at build time.

        tessel_art <output-dir> [expected-file-name...]

    Every picture is a row in the table at the bottom of this file: a file
    name, a size and a function that draws it. The build passes the names it
    expects to compile in, so a picture added to one list and not the other
    stops the build here instead of surfacing as a missing resource at run time.
*/

#include "tools/art/ArtKit.h"
#include "tools/art/CabArt.h"

#include <iostream>

namespace
{

using namespace tessel::art;

//==============================================================================
// The page shown while no pedal is plugged in. The editor draws its status
// line over (100, 300, 580, 50), sometimes two lines of help over
// (40, 353, 700, 28) and sometimes the firmware button over
// (270, 215, 238, 58), so everything busy stays above y = 200 or in the
// margins.
void drawNoDeviceBackground (juce::Graphics& g, juce::Rectangle<float> area)
{
    drawPanelBackground (g, area);

    const auto centreX = area.getCentreX();
    const juce::Rectangle<float> stage (150.0f, 64.0f, 480.0f, 148.0f);

    drawGlow (g, stage.expanded (80.0f, 40.0f), Palette::accent.withAlpha (0.16f));
    drawDotGrid (g, stage.expanded (110.0f, 24.0f), 16.0f, Palette::accent.withAlpha (0.35f));

    // Title bar: maker on the left, product on the right, one rule beneath.
    drawCaption (g, "KORVEL", { 36.0f, 18.0f, 200.0f, 22.0f }, 17.0f, Palette::accent, juce::Justification::centredLeft,
                 true, 0.42f);
    drawCaption (g, "Tessel Editor", { 444.0f, 15.0f, 300.0f, 28.0f }, 24.0f, Palette::lightText,
                 juce::Justification::centredRight);
    drawAccentLine (g, 20.0f, area.getRight() - 20.0f, 52.5f, Palette::comboOutline.withAlpha (0.8f));

    // The pedal family, every LED dark: this page shows while no pedal is
    // connected, and a lit one would tell the user otherwise.
    const char* const names[] = { "AMP", "CAB", "DLY", "MOD" };
    const int knobs[] = { 3, 2, 3, 3 };
    const auto pedalWidth = 82.0f;
    const auto pedalHeight = 114.0f;
    const auto gap = 30.0f;
    const auto rowWidth = 4.0f * pedalWidth + 3.0f * gap;
    const auto rowLeft = centreX - rowWidth * 0.5f;
    const auto pedalTop = 82.0f;

    // A USB lead runs behind the pedals, drops into each one and leaves to the
    // right, ending in a plug that is not plugged into anything yet.
    {
        const auto leadY = 69.5f;
        const auto firstX = rowLeft + pedalWidth * 0.5f;
        const auto lastX = rowLeft + rowWidth - pedalWidth * 0.5f;
        const auto plug = juce::Rectangle<float> (46.0f, 16.0f).withCentre ({ rowLeft + rowWidth + 62.0f, leadY });
        const auto cornerRadius = 6.0f;

        juce::Path lead;
        lead.startNewSubPath (firstX, pedalTop - 5.0f);
        lead.lineTo (firstX, leadY + cornerRadius);
        lead.quadraticTo (firstX, leadY, firstX + cornerRadius, leadY);
        lead.lineTo (plug.getX(), leadY);

        for (int i = 1; i < 4; ++i)
        {
            auto x = firstX + (lastX - firstX) * (float) i / 3.0f;
            lead.startNewSubPath (x, leadY);
            lead.lineTo (x, pedalTop - 5.0f);
        }

        g.setColour (Palette::comboOutline.withAlpha (0.7f));
        g.strokePath (lead, juce::PathStrokeType (1.2f));

        for (int i = 1; i < 4; ++i)
        {
            auto x = firstX + (lastX - firstX) * (float) i / 3.0f;
            g.fillEllipse (juce::Rectangle<float> (3.5f, 3.5f).withCentre ({ x, leadY }));
        }

        drawUsbPlug (g, plug, Palette::accent.withAlpha (0.9f));
    }

    for (int i = 0; i < 4; ++i)
        drawPedalSketch (g, { rowLeft + (float) i * (pedalWidth + gap), pedalTop, pedalWidth, pedalHeight }, names[i],
                         knobs[i], false);

    // A quiet frame round the status line, so the text has a place to sit.
    // It hugs the line closely enough to leave the two lines of help that
    // some statuses bring (from y = 353) clear between it and the rule below.
    drawAccentLine (g, 180.0f, 600.0f, 298.5f, Palette::comboOutline.withAlpha (0.45f));
    drawAccentLine (g, 180.0f, 600.0f, 351.5f, Palette::comboOutline.withAlpha (0.45f));

    drawAccentLine (g, 20.0f, area.getRight() - 20.0f, area.getBottom() - 24.5f,
                    Palette::comboOutline.withAlpha (0.5f));
    drawCornerMarks (g, area.reduced (10.0f), 14.0f, Palette::menuCornerMarks.withAlpha (0.7f));
}

void drawFirmwareButton (juce::Graphics& g, juce::Rectangle<float> area)
{
    drawRoundedButton (g, area, "Update Firmware");
}

//==============================================================================
// The lower half of every effect page: the patch list, with Save, Export and
// Import in its bar, the models list and the description box. The three
// frames share a top and a bottom, whatever the heights of the lists in them.
struct ListSection
{
    juce::Rectangle<float> patchList, saveButton, algorithmList, descriptionBox;
    float framesTop;
    juce::String modelsHeading;
    // Where the buttons share the heading's row, the heading goes to the
    // right; where they have a row of their own below it, to the left.
    juce::Justification patchHeadingSide = juce::Justification::right;
};

void drawListSection (juce::Graphics& g, const ListSection& lists)
{
    const auto framesBottom = lists.patchList.getBottom() + 5.0f;

    auto frameFor = [&] (juce::Rectangle<float> list)
    { return list.expanded (4.0f, 0.0f).withTop (lists.framesTop).withBottom (framesBottom); };
    auto wellFor = [&] (juce::Rectangle<float> list)
    { return list.expanded (2.0f, 2.0f).withBottom (framesBottom - 2.0f); };

    if (lists.saveButton.getY() < lists.framesTop + 4.0f)
        reportProblem ("the Save, Export and Import buttons stick out of the patch list's frame");

    drawListFrame (g, frameFor (lists.patchList), wellFor (lists.patchList), "Patch List", lists.patchHeadingSide);
    drawListFrame (g, frameFor (lists.algorithmList), wellFor (lists.algorithmList), lists.modelsHeading);
    drawListFrame (g, frameFor (lists.descriptionBox), wellFor (lists.descriptionBox), "Description");
}

//==============================================================================
// The AMP page, 741 x 517, drawn at twice its size. The rectangles are the
// bounds the page's resized() gives each control, so captions and wells are
// placed from the controls themselves and move with them.
namespace AmpPage
{
const juce::Rectangle<float> page { 0.0f, 0.0f, 741.0f, 517.0f };
const juce::Rectangle<float> versionLabel { 547.0f, 10.0f, 149.0f, 34.0f };
const juce::Rectangle<float> saveButton { 51.0f, 276.0f, 40.0f, 20.0f };
const juce::Rectangle<float> patchList { 51.0f, 302.0f, 249.0f, 185.0f };
const juce::Rectangle<float> algorithmList { 320.0f, 290.0f, 227.0f, 185.0f };
const juce::Rectangle<float> descriptionBox { 562.0f, 290.0f, 128.0f, 173.0f };
const juce::Rectangle<float> cabSwitch { 622.0f, 145.0f, 19.0f, 39.0f };
const juce::Rectangle<float> bypassSwitch { 368.0f, 216.0f, 39.0f, 19.0f };
const float knobX[] = { 75.0f, 179.0f, 282.0f, 385.0f, 489.0f };
const char* const knobCaptions[] = { "VOL", "BASS", "MIDDLE", "TREBLE", "GAIN" };

juce::Rectangle<float> knob (int index)
{
    return { knobX[index], 128.0f, 87.0f, 87.0f };
}
} // namespace AmpPage

void drawAmpPageBackground (juce::Graphics& g, juce::Rectangle<float> area)
{
    using namespace AmpPage;
    scaleToPage (g, area, page);
    drawTitledPanel (g, page, "AMP", versionLabel.getX(), 0xa3b1);

    // The lists' frames sit 4 px outside the lists; the deck above spans the
    // same width, so the page has one left and one right edge.
    const auto left = patchList.getX() - 4.0f;
    const auto right = descriptionBox.getRight() + 4.0f;

    const juce::Rectangle<float> deck (left, 92.0f, right - left, 154.0f);
    drawControlDeck (g, deck);

    for (int i = 0; i < 5; ++i)
        drawKnobWell (g, knob (i), knobCaptions[i]);

    // The cab switch belongs to no knob: a rule sets it apart, and a plate as
    // tall as the knobs' dials holds it level with them. Its caption shares
    // the knobs' caption row.
    const auto captionRow = knobCaptionArea (knob (0));
    const auto lastWell = knobDial (knob (4));
    const auto ruleX = (lastWell.centre.x + lastWell.radius + cabSwitch.getX()) * 0.5f;
    drawVerticalAccentLine (g, ruleX, deck.getY() + 12.0f, deck.getBottom() - 12.0f,
                            Palette::comboOutline.withAlpha (0.6f));

    drawSwitchWell (g, cabSwitch, cabSwitch.withSizeKeepingCentre (38.0f, 64.0f));
    drawControlCaption (g, "CAB SIM", captionRow.withX (cabSwitch.getCentreX() - captionRow.getWidth() * 0.5f));

    // Bypass: caption to the left of the switch, with a rule either side
    // running out to the deck's edge and to the cab section's rule, so the
    // pair reads as the foot of the knob row and not as one more value under
    // a knob.
    const auto bypassCaptionWidth = 52.0f;
    const juce::Rectangle<float> bypassCaption (bypassSwitch.getX() - 8.0f - bypassCaptionWidth,
                                                bypassSwitch.getCentreY() - controlCaptionHeight * 0.5f,
                                                bypassCaptionWidth, controlCaptionHeight);
    drawSwitchWell (g, bypassSwitch);
    drawControlCaption (g, "BYPASS", bypassCaption, juce::Justification::centredRight);

    const auto footY = bypassSwitch.getCentreY();
    drawAccentLine (g, deck.getX() + 14.0f, bypassCaption.getX() - 10.0f, footY,
                    Palette::comboOutline.withAlpha (0.45f));
    drawAccentLine (g, bypassSwitch.getRight() + 12.0f, ruleX - 8.0f, footY, Palette::comboOutline.withAlpha (0.45f));

    drawListSection (g, { patchList, saveButton, algorithmList, descriptionBox, 266.0f, "Amp Models" });
}

//==============================================================================
// The MOD and DLY pages, 741 x 536, drawn at twice their size. Their knobs
// sit higher than the AMP page's, and under them come two rows of captioned
// boxes for the combo boxes, the range sliders and the bypass switch. The
// first row starts one pixel under the knobs' value boxes, so the boxes are
// only as tall as their controls and carry their captions beside them.
//
// Every caption is entered in a LayoutCheck with the page's controls, so a
// caption that would end up under a control, or on another caption, stops
// the build instead of shipping.
namespace EffectPage
{
const juce::Rectangle<float> page { 0.0f, 0.0f, 741.0f, 536.0f };
const juce::Rectangle<float> versionLabel { 547.0f, 10.0f, 149.0f, 34.0f };
const juce::Rectangle<float> setButton { 697.0f, 10.0f, 34.0f, 34.0f };
const auto knobY = 112.0f, knobSize = 87.0f;

// The deck spans the list frames' width, as on the AMP page, and starts as
// far above the knobs' captions as the AMP page's does.
const auto deckLeft = 47.0f, deckRight = 694.0f;
const auto deckTopAboveCaptions = 17.0f;
const auto deckBelowLastRow = 8.0f;

juce::Rectangle<float> knob (float x)
{
    return { x, knobY, knobSize, knobSize };
}

struct Controls
{
    const char* title;
    juce::uint32 seed;
    const float* knobX;
    const char* const* knobCaptions;
    juce::Rectangle<float> saveButton, exportButton, importButton;
    juce::Rectangle<float> patchList, algorithmList, descriptionBox;
    float framesTop;
    juce::Justification patchHeadingSide;
};

juce::Rectangle<float> deckFor (float bottomOfLastRow)
{
    auto captionTop = knobCaptionArea (knob (0.0f)).getY();
    auto top = captionTop - deckTopAboveCaptions;
    return { deckLeft, top, deckRight - deckLeft, bottomOfLastRow + deckBelowLastRow - top };
}

// The panel with the page's title, and the controls every effect page has
// in the same places (the version label, the Set button, the buttons over
// the patch list and the lists), entered in the layout check.
void drawCommonParts (juce::Graphics& g, const Controls& page, LayoutCheck& layout)
{
    drawTitledPanel (g, EffectPage::page, page.title, versionLabel.getX(), page.seed);

    layout.control ("the version label", versionLabel);
    layout.control ("the Set button", setButton);
    layout.control ("the Save button", page.saveButton);
    layout.control ("the Export button", page.exportButton);
    layout.control ("the Import button", page.importButton);
    layout.control ("the patch list", page.patchList);
    layout.control ("the models list", page.algorithmList);
    layout.control ("the description box", page.descriptionBox);
}

void drawKnobs (juce::Graphics& g, const Controls& page, LayoutCheck& layout)
{
    for (int i = 0; i < 5; ++i)
    {
        auto bounds = knob (page.knobX[i]);
        drawKnobWell (g, bounds, page.knobCaptions[i]);
        layout.control ("knob " + juce::String (i), bounds);
        layout.caption (page.knobCaptions[i], controlCaptionBounds (page.knobCaptions[i], knobCaptionArea (bounds)));
    }
}

ControlBox drawBox (juce::Graphics& g, LayoutCheck& layout, const juce::String& controlName,
                    juce::Rectangle<float> control, const juce::String& caption, const ControlBoxStyle& style = {})
{
    // The whole of a box's tabs, not just their letters, must keep clear:
    // a tab under a neighbour's control or tab would look just as wrong.
    auto box = drawControlBox (g, control, caption, style);
    layout.control (controlName, control);
    layout.caption (caption, box.tab);

    if (style.tail.isNotEmpty())
        layout.caption (style.tail, box.tail);

    return box;
}

// The expression pedal's range: two sliders, one above the other, in one
// well, each named at its left end. The sliders' value boxes are at their
// right ends, so the names line up with the values.
ControlBox drawRangeBox (juce::Graphics& g, LayoutCheck& layout, const juce::String& caption,
                         juce::Rectangle<float> minSlider, juce::Rectangle<float> maxSlider)
{
    // The sliders draw their thumbs up to their left edge; the names stop
    // short of it by a gap as wide as the one they keep from the well's edge.
    const auto gap = 4.0f;
    const auto labelWidth = juce::jmax (controlLabelWidth ("Min"), controlLabelWidth ("Max"));

    ControlBoxStyle style;
    style.margin = 1.0f;
    style.leadRoom = labelWidth + gap * 2.0f - style.margin;

    auto box = drawBox (g, layout, "the range minimum slider", minSlider.getUnion (maxSlider), caption, style);
    layout.control ("the range maximum slider", maxSlider);

    auto labelFor = [&] (juce::Rectangle<float> slider)
    {
        return juce::Rectangle<float> (slider.getX() - gap - labelWidth,
                                       slider.getCentreY() - controlLabelHeight * 0.5f, labelWidth, controlLabelHeight);
    };

    layout.caption ("Min", drawControlLabel (g, "Min", labelFor (minSlider), juce::Justification::centredRight));
    layout.caption ("Max", drawControlLabel (g, "Max", labelFor (maxSlider), juce::Justification::centredRight));
    return box;
}

// The bypass switch sits in a slot like the AMP page's. It lights up and
// slides right when the effect is on, so ON goes on that side.
ControlBoxStyle bypassBoxStyle()
{
    ControlBoxStyle style;
    style.margin = 2.0f;
    style.wellCorner = -1.0f;
    style.tail = "ON";
    return style;
}

ControlBox drawBypassBox (juce::Graphics& g, LayoutCheck& layout, juce::Rectangle<float> bypassSwitch)
{
    return drawBox (g, layout, "the bypass switch", bypassSwitch, "BYPASS", bypassBoxStyle());
}

// Rules from the deck's edges to the ends of a row of boxes, as under the
// AMP page's knobs, so the row reads as the foot of the deck.
void drawFootRules (juce::Graphics& g, juce::Rectangle<float> deck, float rowLeft, float rowRight, float y)
{
    auto colour = Palette::comboOutline.withAlpha (0.45f);
    drawAccentLine (g, deck.getX() + 14.0f, rowLeft - 10.0f, y, colour);
    drawAccentLine (g, rowRight + 10.0f, deck.getRight() - 14.0f, y, colour);
}
} // namespace EffectPage

namespace ModPage
{
const float knobX[] = { 120.0f, 224.0f, 327.0f, 431.0f, 535.0f };
const char* const knobCaptions[] = { "E.LEVEL", "A", "B", "DEPTH", "RATE" };
const juce::Rectangle<float> inputModeCombo { 160.0f, 200.0f, 70.0f, 17.0f };
const juce::Rectangle<float> objectCombo { 360.0f, 200.0f, 70.0f, 17.0f };
const juce::Rectangle<float> rangeMinSlider { 575.0f, 200.0f, 100.0f, 12.0f };
const juce::Rectangle<float> rangeMaxSlider { 575.0f, 210.0f, 100.0f, 12.0f };
const juce::Rectangle<float> divideCombo { 295.0f, 235.0f, 70.0f, 17.0f };
const juce::Rectangle<float> bypassSwitch { 443.0f, 235.0f, 39.0f, 19.0f };

const EffectPage::Controls controls { "MOD",
                                      0x30d5,
                                      knobX,
                                      knobCaptions,
                                      { 51.0f, 290.0f, 40.0f, 20.0f },
                                      { 97.0f, 290.0f, 49.0f, 20.0f },
                                      { 152.0f, 290.0f, 49.0f, 20.0f },
                                      { 51.0f, 315.0f, 249.0f, 185.0f },
                                      { 320.0f, 300.0f, 227.0f, 185.0f },
                                      { 562.0f, 300.0f, 128.0f, 173.0f },
                                      278.0f,
                                      juce::Justification::right };
} // namespace ModPage

void drawModPageBackground (juce::Graphics& g, juce::Rectangle<float> area)
{
    using namespace ModPage;
    using namespace EffectPage;
    scaleToPage (g, area, page);

    LayoutCheck layout;
    drawCommonParts (g, controls, layout);

    // This page's version label sits in a window of its own.
    drawLabelWindow (g, versionLabel);

    const auto lastRow = layoutControlBox (bypassSwitch, "BYPASS", bypassBoxStyle());
    const auto deck = deckFor (lastRow.frame.getBottom());
    drawControlDeck (g, deck);
    drawKnobs (g, controls, layout);

    drawBox (g, layout, "the input mode box", inputModeCombo, "Input Mode");
    drawBox (g, layout, "the target box", objectCombo, "EXP Pedal Target");
    drawRangeBox (g, layout, "EXP Pedal Range", rangeMinSlider, rangeMaxSlider);

    auto division = drawBox (g, layout, "the division box", divideCombo, "Division");
    auto bypass = drawBypassBox (g, layout, bypassSwitch);
    drawFootRules (g, deck, division.frame.getX(), bypass.frame.getRight(), bypass.frame.getCentreY());

    drawListSection (g,
                     { controls.patchList, controls.saveButton, controls.algorithmList, controls.descriptionBox,
                       controls.framesTop, "Effect Models", controls.patchHeadingSide });
    layout.report();
}

namespace DlyPage
{
const float knobX[] = { 75.0f, 179.0f, 282.0f, 385.0f, 489.0f };
const char* const knobCaptions[] = { "MIX", "A", "B", "F.BACK", "TIME" };
const juce::Rectangle<float> trailSwitch { 622.0f, 131.0f, 19.0f, 39.0f };
const juce::Rectangle<float> inputModeCombo { 167.0f, 200.0f, 70.0f, 17.0f };
const juce::Rectangle<float> objectCombo { 360.0f, 200.0f, 70.0f, 17.0f };
const juce::Rectangle<float> rangeMinSlider { 575.0f, 200.0f, 100.0f, 12.0f };
const juce::Rectangle<float> rangeMaxSlider { 575.0f, 210.0f, 100.0f, 12.0f };
const juce::Rectangle<float> divideCombo { 198.0f, 235.0f, 70.0f, 17.0f };
const juce::Rectangle<float> bypassSwitch { 345.0f, 235.0f, 39.0f, 19.0f };
const juce::Rectangle<float> maxDelayCombo { 520.0f, 235.0f, 70.0f, 17.0f };

// The buttons over the patch list come below the height where the other
// two frames' lists already start, so they get a row of their own under
// the heading.
const EffectPage::Controls controls { "DLY",
                                      0xd1a7,
                                      knobX,
                                      knobCaptions,
                                      { 51.0f, 294.0f, 40.0f, 20.0f },
                                      { 97.0f, 294.0f, 49.0f, 20.0f },
                                      { 152.0f, 294.0f, 49.0f, 20.0f },
                                      { 51.0f, 320.0f, 249.0f, 185.0f },
                                      { 320.0f, 295.0f, 227.0f, 185.0f },
                                      { 562.0f, 295.0f, 128.0f, 173.0f },
                                      274.0f,
                                      juce::Justification::left };
} // namespace DlyPage

void drawDlyPageBackground (juce::Graphics& g, juce::Rectangle<float> area)
{
    using namespace DlyPage;
    using namespace EffectPage;
    scaleToPage (g, area, page);

    LayoutCheck layout;
    drawCommonParts (g, controls, layout);

    const auto lastRow = layoutControlBox (bypassSwitch, "BYPASS", bypassBoxStyle());
    const auto deck = deckFor (lastRow.frame.getBottom());
    drawControlDeck (g, deck);
    drawKnobs (g, controls, layout);

    // The trail switch belongs to no knob: as with the AMP page's cab
    // switch, a rule sets it apart and its caption shares the knobs' row.
    // Its plate starts level with the knobs' wells and is tall enough to
    // name the switch's two ends: trails on with the cap up, off with it
    // down.
    const auto captionRow = knobCaptionArea (knob (knobX[0]));
    const auto lastWell = knobDial (knob (knobX[4]));
    const auto ruleX = (lastWell.centre.x + lastWell.radius + trailSwitch.getX()) * 0.5f;
    drawVerticalAccentLine (g, ruleX, deck.getY() + 12.0f, inputModeCombo.getY() - 8.0f,
                            Palette::comboOutline.withAlpha (0.6f));

    const auto wellTop = captionRow.getBottom() + 3.0f;
    const auto endBand = trailSwitch.getY() - wellTop;
    const auto plate = juce::Rectangle<float> (trailSwitch.getCentreX() - 20.0f, wellTop, 40.0f,
                                               trailSwitch.getHeight() + endBand * 2.0f);
    drawSwitchWell (g, trailSwitch, plate);
    layout.control ("the trail switch", trailSwitch);

    const auto trailCaption = captionRow.withX (trailSwitch.getCentreX() - captionRow.getWidth() * 0.5f);
    drawControlCaption (g, "TRAIL", trailCaption);
    layout.caption ("TRAIL", controlCaptionBounds ("TRAIL", trailCaption));

    // The labels sit in the bands of the plate above and below the slot,
    // clear of the slot's chamfer.
    const auto slotMargin = 3.5f;
    const auto onArea = plate.withBottom (trailSwitch.getY() - slotMargin);
    const auto offArea = plate.withTop (trailSwitch.getBottom() + slotMargin);
    layout.caption ("ON", drawControlLabel (g, "ON", onArea));
    layout.caption ("OFF", drawControlLabel (g, "OFF", offArea));

    drawBox (g, layout, "the input mode box", inputModeCombo, "Input Models");
    drawBox (g, layout, "the target box", objectCombo, "Exp Pedal Target");
    drawRangeBox (g, layout, "Exp Pedal Range", rangeMinSlider, rangeMaxSlider);

    auto division = drawBox (g, layout, "the division box", divideCombo, "Division");
    drawBypassBox (g, layout, bypassSwitch);
    auto maxDelay = drawBox (g, layout, "the max delay box", maxDelayCombo, "Max Delay Time");
    drawFootRules (g, deck, division.frame.getX(), maxDelay.frame.getRight(), lastRow.frame.getCentreY());

    drawListSection (g,
                     { controls.patchList, controls.saveButton, controls.algorithmList, controls.descriptionBox,
                       controls.framesTop, "Effect Models", controls.patchHeadingSide });
    layout.report();
}

// The small buttons are shown at about 0.62 of their pictures' size, so
// their captions are as large as the height allows and slightly condensed.
ButtonStyle smallButtonStyle()
{
    ButtonStyle style;
    style.cornerSize = 8.0f;
    style.glowRadius = 3.0f;
    style.captionHeight = 17.0f;
    style.captionScale = 0.88f;
    style.captionPadding = 5.0f;
    return style;
}

void drawSaveButton (juce::Graphics& g, juce::Rectangle<float> area)
{
    drawRoundedButton (g, area, "SAVE", smallButtonStyle());
}

void drawExportButton (juce::Graphics& g, juce::Rectangle<float> area)
{
    drawRoundedButton (g, area, "EXPORT", smallButtonStyle());
}

void drawImportButton (juce::Graphics& g, juce::Rectangle<float> area)
{
    drawRoundedButton (g, area, "IMPORT", smallButtonStyle());
}

// The CAB page's IR buttons.
void drawAddButton (juce::Graphics& g, juce::Rectangle<float> area)
{
    drawRoundedButton (g, area, "ADD", smallButtonStyle());
}

void drawDeleteButton (juce::Graphics& g, juce::Rectangle<float> area)
{
    drawRoundedButton (g, area, "DELETE", smallButtonStyle());
}

void drawLoadIrButton (juce::Graphics& g, juce::Rectangle<float> area)
{
    drawRoundedButton (g, area, "LOAD IR FILE", smallButtonStyle());
}

void drawSaveIrButton (juce::Graphics& g, juce::Rectangle<float> area)
{
    drawRoundedButton (g, area, "SAVE IR FILE", smallButtonStyle());
}

template <int index>
void drawMicrophonePicture (juce::Graphics& g, juce::Rectangle<float> area)
{
    drawMicrophone (g, area, index);
}

void drawSetButton (juce::Graphics& g, juce::Rectangle<float> area)
{
    drawRoundIconButton (g, area, makeGear (area.getCentre(), area.getWidth() * 0.26f, 8));
}

// The bypass switch: off is dark with the cap on the left, on is lit with
// the cap on the right.
void drawBypassSwitchOff (juce::Graphics& g, juce::Rectangle<float> area)
{
    drawToggleSwitch (g, area, false, false);
}

void drawBypassSwitchOn (juce::Graphics& g, juce::Rectangle<float> area)
{
    drawToggleSwitch (g, area, true, true);
}

// The cab switch is lit with its cap up while not toggled, and dark with its
// cap down when toggled; the files are named for what they show.
void drawCabSwitchTopLit (juce::Graphics& g, juce::Rectangle<float> area)
{
    drawToggleSwitch (g, area, false, true);
}

void drawCabSwitchBottomDark (juce::Graphics& g, juce::Rectangle<float> area)
{
    drawToggleSwitch (g, area, true, false);
}

// The trail switch: off is dark with the cap down, on is lit with the cap up.
void drawTrailSwitchOff (juce::Graphics& g, juce::Rectangle<float> area)
{
    drawToggleSwitch (g, area, true, false);
}

void drawTrailSwitchOn (juce::Graphics& g, juce::Rectangle<float> area)
{
    drawToggleSwitch (g, area, false, true);
}

//==============================================================================
// The application icon: the maker's mark (drawTesselMark) on a rounded tile of
// the panel, for the desktop's menus and the window's title bar and taskbar
// button. It is written once, as SVG, because the desktop wants the scalable
// file too; the PNGs are that same SVG drawn at each size, so the two can
// never drift apart.
juce::String svgColour (juce::Colour colour)
{
    return "#" + colour.toDisplayString (false).toLowerCase();
}

juce::String svgNumber (float value)
{
    return juce::String (value, 2).trimCharactersAtEnd ("0").trimCharactersAtEnd (".");
}

juce::String svgDiamond (juce::Point<float> centre, float halfDiagonal)
{
    juce::String points;
    const juce::Point<float> corners[] = { { 0.0f, -1.0f }, { 1.0f, 0.0f }, { 0.0f, 1.0f }, { -1.0f, 0.0f } };

    for (auto corner : corners)
    {
        auto p = centre + corner * halfDiagonal;
        points << svgNumber (p.x) << "," << svgNumber (p.y) << " ";
    }

    return points.trimEnd();
}

juce::String appIconSvg()
{
    // Laid out on a 256 grid with a margin, as desktop icons are, so the tile
    // does not look larger than its neighbours in a menu.
    const auto size = 256.0f;
    const juce::Rectangle<float> tile (16.0f, 16.0f, 224.0f, 224.0f);
    const auto centre = tile.getCentre();

    // The mark's proportions, as drawTesselMark draws it on the pages.
    const auto half = 92.0f;
    const auto gap = half * 0.07f;
    const auto tileHalf = half * 0.5f - gap;
    const auto lit = centre + juce::Point<float> (0.0f, -half * 0.5f);
    const juce::Point<float> dark[] = { { half * 0.5f, 0.0f }, { 0.0f, half * 0.5f }, { -half * 0.5f, 0.0f } };

    juce::String svg;
    svg << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << svgNumber (size) << "\" height=\""
        << svgNumber (size) << "\" viewBox=\"0 0 " << svgNumber (size) << " " << svgNumber (size) << "\">\n"
        << "  <defs>\n"
        << "    <linearGradient id=\"panel\" gradientUnits=\"userSpaceOnUse\" x1=\"0\" y1=\"" << svgNumber (tile.getY())
        << "\" x2=\"0\" y2=\"" << svgNumber (tile.getBottom()) << "\">\n"
        << "      <stop offset=\"0\" stop-color=\"" << svgColour (Shades::deckTop) << "\"/>\n"
        << "      <stop offset=\"1\" stop-color=\"" << svgColour (Shades::panelBottom) << "\"/>\n"
        << "    </linearGradient>\n"
        << "    <linearGradient id=\"lit\" gradientUnits=\"userSpaceOnUse\" x1=\"0\" y1=\""
        << svgNumber (lit.y - tileHalf) << "\" x2=\"0\" y2=\"" << svgNumber (lit.y + tileHalf) << "\">\n"
        << "      <stop offset=\"0\" stop-color=\"" << svgColour (Shades::litTop) << "\"/>\n"
        << "      <stop offset=\"1\" stop-color=\"" << svgColour (Palette::knobFill) << "\"/>\n"
        << "    </linearGradient>\n"
        << "    <radialGradient id=\"glow\" gradientUnits=\"userSpaceOnUse\" cx=\"" << svgNumber (lit.x) << "\" cy=\""
        << svgNumber (lit.y) << "\" r=\"" << svgNumber (half * 0.75f) << "\">\n"
        << "      <stop offset=\"0\" stop-color=\"" << svgColour (Palette::progressBar)
        << "\" stop-opacity=\"0.45\"/>\n"
        << "      <stop offset=\"1\" stop-color=\"" << svgColour (Palette::progressBar) << "\" stop-opacity=\"0\"/>\n"
        << "    </radialGradient>\n"
        << "  </defs>\n"
        << "  <rect x=\"" << svgNumber (tile.getX()) << "\" y=\"" << svgNumber (tile.getY()) << "\" width=\""
        << svgNumber (tile.getWidth()) << "\" height=\"" << svgNumber (tile.getHeight()) << "\" rx=\"44\" ry=\"44\""
        << " fill=\"url(#panel)\" stroke=\"" << svgColour (Palette::comboOutline) << "\" stroke-width=\"6\"/>\n"
        << "  <circle cx=\"" << svgNumber (lit.x) << "\" cy=\"" << svgNumber (lit.y) << "\" r=\""
        << svgNumber (half * 0.75f) << "\" fill=\"url(#glow)\"/>\n";

    for (auto offset : dark)
        svg << "  <polygon points=\"" << svgDiamond (centre + offset, tileHalf) << "\" fill=\""
            << svgColour (Palette::knobTrack) << "\" stroke=\"" << svgColour (Palette::accent) << "\" stroke-width=\""
            << svgNumber (half * 0.06f) << "\" stroke-linejoin=\"miter\"/>\n";

    svg << "  <polygon points=\"" << svgDiamond (lit, tileHalf) << "\" fill=\"url(#lit)\"/>\n"
        << "</svg>\n";
    return svg;
}

void drawAppIcon (juce::Graphics& g, juce::Rectangle<float> area)
{
    auto xml = juce::XmlDocument::parse (appIconSvg());
    auto drawable = xml != nullptr ? juce::Drawable::createFromSVG (*xml) : nullptr;

    if (drawable == nullptr)
    {
        reportProblem ("the icon's SVG does not parse");
        return;
    }

    drawable->drawWithin (g, area, juce::RectanglePlacement::stretchToFit, 1.0f);
}

//==============================================================================
struct Picture
{
    const char* fileName;
    int width, height;
    bool hasTransparency;
    void (*draw) (juce::Graphics&, juce::Rectangle<float>);
};

// Every picture the editor ships. Page backgrounds are opaque; anything laid
// over a page (buttons, marks) keeps its alpha channel.
const Picture pictures[] = {
    { "no_device_background.png", 780, 408, false, drawNoDeviceBackground },
    { "firmware_button.png", 238, 58, true, drawFirmwareButton },
    { "amp_page_background.png", 1482, 1034, false, drawAmpPageBackground },
    { "set_button.png", 68, 68, true, drawSetButton },
    { "import_button.png", 78, 32, true, drawImportButton },
    { "export_button.png", 78, 32, true, drawExportButton },
    { "save_button.png", 64, 32, true, drawSaveButton },
    { "bypass_switch_off.png", 78, 38, true, drawBypassSwitchOff },
    { "bypass_switch_on.png", 78, 38, true, drawBypassSwitchOn },
    { "cab_switch_top_lit.png", 38, 78, true, drawCabSwitchTopLit },
    { "cab_switch_bottom_dark.png", 38, 78, true, drawCabSwitchBottomDark },
    { "mod_page_background.png", 1482, 1072, false, drawModPageBackground },
    { "dly_page_background.png", 1482, 1072, false, drawDlyPageBackground },
    { "trail_switch_off.png", 38, 78, true, drawTrailSwitchOff },
    { "trail_switch_on.png", 38, 78, true, drawTrailSwitchOn },
    { "app_icon_16.png", 16, 16, true, drawAppIcon },
    { "app_icon_32.png", 32, 32, true, drawAppIcon },
    { "app_icon_48.png", 48, 48, true, drawAppIcon },
    { "app_icon_64.png", 64, 64, true, drawAppIcon },
    { "app_icon_128.png", 128, 128, true, drawAppIcon },
    { "app_icon_256.png", 256, 256, true, drawAppIcon },
    { "cab_page_background.png", 1482, 1034, false, drawCabPageBackground },
    { "mic_pad.png", 354, 354, false, drawMicPad },
    { "room_label.png", 92, 34, true, drawRoomLabel },
    { "add_button.png", 56, 33, true, drawAddButton },
    { "delete_button.png", 78, 32, true, drawDeleteButton },
    { "load_ir_button.png", 150, 32, true, drawLoadIrButton },
    { "save_ir_button.png", 150, 32, true, drawSaveIrButton },
    { "mic_00.png", 154, 300, true, drawMicrophonePicture<0> },
    { "mic_01.png", 154, 300, true, drawMicrophonePicture<1> },
    { "mic_02.png", 154, 300, true, drawMicrophonePicture<2> },
    { "mic_03.png", 154, 300, true, drawMicrophonePicture<3> },
    { "mic_04.png", 154, 300, true, drawMicrophonePicture<4> },
    { "mic_05.png", 154, 300, true, drawMicrophonePicture<5> },
    { "mic_06.png", 154, 300, true, drawMicrophonePicture<6> },
    { "mic_07.png", 154, 300, true, drawMicrophonePicture<7> },
    { "mic_08.png", 154, 300, true, drawMicrophonePicture<8> },
    { "mic_09.png", 154, 300, true, drawMicrophonePicture<9> },
    { "mic_10.png", 154, 300, true, drawMicrophonePicture<10> },
    { "mic_11.png", 154, 300, true, drawMicrophonePicture<11> },
    { "mic_12.png", 154, 300, true, drawMicrophonePicture<12> },
    { "mic_13.png", 154, 300, true, drawMicrophonePicture<13> },
    { "mic_14.png", 154, 300, true, drawMicrophonePicture<14> },
    { "mic_15.png", 154, 300, true, drawMicrophonePicture<15> },
    { "mic_16.png", 154, 300, true, drawMicrophonePicture<16> },
    { "mic_17.png", 154, 300, true, drawMicrophonePicture<17> },
    { "mic_18.png", 154, 300, true, drawMicrophonePicture<18> },
    { "mic_19.png", 154, 300, true, drawMicrophonePicture<19> },
};

// Written as text beside the pictures.
const char* const scalableIconName = "app_icon.svg";

//==============================================================================
// Written beside the target and moved into place, so an interrupted build
// never leaves a truncated file that a later build would take as current.
juce::Result writeThroughTemporary (const juce::File& target, const std::function<bool (juce::OutputStream&)>& write)
{
    juce::TemporaryFile temporary (target);

    {
        juce::FileOutputStream stream (temporary.getFile());

        if (! stream.openedOk())
            return juce::Result::fail ("cannot open " + temporary.getFile().getFullPathName() + ": "
                                       + stream.getStatus().getErrorMessage());

        if (! write (stream))
            return juce::Result::fail ("encoding failed");

        stream.flush();

        if (stream.getStatus().failed())
            return juce::Result::fail (stream.getStatus().getErrorMessage());
    }

    if (! temporary.overwriteTargetFileWithTemporary())
        return juce::Result::fail ("cannot move the file into " + target.getFullPathName());

    return juce::Result::ok();
}

juce::Result writePicture (const Picture& picture, const juce::File& directory)
{
    juce::Image image (picture.hasTransparency ? juce::Image::ARGB : juce::Image::RGB, picture.width, picture.height,
                       true);

    {
        juce::Graphics g (image);
        picture.draw (g, image.getBounds().toFloat());
    }

    auto problems = takeProblems();

    if (! problems.isEmpty())
        return juce::Result::fail (problems.joinIntoString ("; "));

    return writeThroughTemporary (directory.getChildFile (picture.fileName),
                                  [&image] (juce::OutputStream& stream)
                                  { return juce::PNGImageFormat().writeImageToStream (image, stream); });
}

juce::Result checkAgainstExpectedNames (const juce::StringArray& expected)
{
    juce::StringArray drawn;

    for (auto& picture : pictures)
        drawn.add (picture.fileName);

    drawn.add (scalableIconName);

    juce::StringArray missing, extra;

    for (auto& name : expected)
        if (! drawn.contains (name))
            missing.add (name);

    for (auto& name : drawn)
        if (! expected.contains (name))
            extra.add (name);

    if (missing.isEmpty() && extra.isEmpty())
        return juce::Result::ok();

    juce::String message ("the picture table and the build's list of images differ.");

    if (! missing.isEmpty())
        message << " Not drawn here: " << missing.joinIntoString (", ") << ".";

    if (! extra.isEmpty())
        message << " Not listed in resources/CMakeLists.txt: " << extra.joinIntoString (", ") << ".";

    return juce::Result::fail (message);
}

} // namespace

//==============================================================================
int main (int argc, char* argv[])
{
    juce::ScopedJuceInitialiser_GUI juce;

    if (argc < 2)
    {
        std::cerr << "usage: tessel_art <output-dir> [expected-file-name...]" << std::endl;
        return 2;
    }

    auto fail = [] (const juce::String& message)
    {
        std::cerr << "tessel_art: " << message << std::endl;
        return 1;
    };

    if (argc > 2)
    {
        juce::StringArray expected;

        for (int i = 2; i < argc; ++i)
            expected.add (juce::String::fromUTF8 (argv[i]));

        if (auto result = checkAgainstExpectedNames (expected); result.failed())
            return fail (result.getErrorMessage());
    }

    auto directory = juce::File::getCurrentWorkingDirectory().getChildFile (juce::String::fromUTF8 (argv[1]));

    if (auto result = directory.createDirectory(); result.failed())
        return fail ("cannot create " + directory.getFullPathName() + ": " + result.getErrorMessage());

    if (auto result = checkTextRenders(); result.failed())
        return fail (result.getErrorMessage());

    for (auto& picture : pictures)
        if (auto result = writePicture (picture, directory); result.failed())
            return fail (juce::String (picture.fileName) + ": " + result.getErrorMessage());

    if (auto result = writeThroughTemporary (directory.getChildFile (scalableIconName),
                                             [] (juce::OutputStream& stream)
                                             { return stream.writeText (appIconSvg(), false, false, nullptr); });
        result.failed())
        return fail (juce::String (scalableIconName) + ": " + result.getErrorMessage());

    return 0;
}
