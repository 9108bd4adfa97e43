/*  tessel_art: draws the editor's pictures at build time.

        tessel_art <output-dir> [expected-file-name...]

    Every picture is a row in the table at the bottom of this file: a file
    name, a size and a function that draws it. The build passes the names it
    expects to compile in, so a picture added to one list and not the other
    stops the build here instead of surfacing as a missing resource at run time.
*/

#include "tools/art/ArtKit.h"

#include <iostream>

namespace
{

using namespace tessel::art;

//==============================================================================
// The page shown while no pedal is plugged in. The editor draws its status
// line over (100, 300, 580, 50) and sometimes the firmware button over
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
    drawCaption (g, "KORVEL", {36.0f, 18.0f, 200.0f, 22.0f}, 17.0f, Palette::accent, juce::Justification::centredLeft,
                 true, 0.42f);
    drawCaption (g, "Tessel Editor", {444.0f, 15.0f, 300.0f, 28.0f}, 24.0f, Palette::lightText,
                 juce::Justification::centredRight);
    drawAccentLine (g, 20.0f, area.getRight() - 20.0f, 52.5f, Palette::comboOutline.withAlpha (0.8f));

    // The pedal family. Only the first has its LED lit, which makes the row
    // read as a set rather than a pattern.
    const char* const names[] = {"AMP", "CAB", "DLY", "MOD"};
    const int knobs[] = {3, 2, 3, 3};
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
        const auto plug = juce::Rectangle<float> (46.0f, 16.0f).withCentre ({rowLeft + rowWidth + 62.0f, leadY});
        const auto cornerRadius = 6.0f;

        juce::Path lead;
        lead.startNewSubPath (firstX, pedalTop - 5.0f);
        lead.lineTo (firstX, leadY + cornerRadius);
        lead.quadraticTo (firstX, leadY, firstX + cornerRadius, leadY);
        lead.lineTo (plug.getX(), leadY);

        for (int i = 1; i < 4; ++i)
        {
            auto x = firstX + (lastX - firstX) * (float)i / 3.0f;
            lead.startNewSubPath (x, leadY);
            lead.lineTo (x, pedalTop - 5.0f);
        }

        g.setColour (Palette::comboOutline.withAlpha (0.7f));
        g.strokePath (lead, juce::PathStrokeType (1.2f));

        for (int i = 1; i < 4; ++i)
        {
            auto x = firstX + (lastX - firstX) * (float)i / 3.0f;
            g.fillEllipse (juce::Rectangle<float> (3.5f, 3.5f).withCentre ({x, leadY}));
        }

        drawUsbPlug (g, plug, Palette::accent.withAlpha (0.9f));
    }

    for (int i = 0; i < 4; ++i)
        drawPedalSketch (g, {rowLeft + (float)i * (pedalWidth + gap), pedalTop, pedalWidth, pedalHeight}, names[i],
                         knobs[i], i == 0);

    // A quiet frame round the status line, so the text has a place to sit.
    drawAccentLine (g, 180.0f, 600.0f, 292.5f, Palette::comboOutline.withAlpha (0.45f));
    drawAccentLine (g, 180.0f, 600.0f, 357.5f, Palette::comboOutline.withAlpha (0.45f));

    drawAccentLine (g, 20.0f, area.getRight() - 20.0f, area.getBottom() - 24.5f,
                    Palette::comboOutline.withAlpha (0.5f));
    drawCornerMarks (g, area.reduced (10.0f), 14.0f, Palette::menuCornerMarks.withAlpha (0.7f));
}

void drawFirmwareButton (juce::Graphics& g, juce::Rectangle<float> area)
{
    drawRoundedButton (g, area, "Update Firmware");
}

//==============================================================================
// The AMP page, 741 x 517, drawn at twice its size. The rectangles are the
// bounds the page's resized() gives each control, so captions and wells are
// placed from the controls themselves and move with them.
namespace AmpPage
{
const juce::Rectangle<float> page{0.0f, 0.0f, 741.0f, 517.0f};
const juce::Rectangle<float> versionLabel{547.0f, 10.0f, 149.0f, 34.0f};
const juce::Rectangle<float> saveButton{51.0f, 276.0f, 40.0f, 20.0f};
const juce::Rectangle<float> patchList{51.0f, 302.0f, 249.0f, 185.0f};
const juce::Rectangle<float> algorithmList{320.0f, 290.0f, 227.0f, 185.0f};
const juce::Rectangle<float> descriptionBox{562.0f, 290.0f, 128.0f, 173.0f};
const juce::Rectangle<float> cabSwitch{622.0f, 145.0f, 19.0f, 39.0f};
const juce::Rectangle<float> bypassSwitch{368.0f, 216.0f, 39.0f, 19.0f};
const float knobX[] = {75.0f, 179.0f, 282.0f, 385.0f, 489.0f};
const char* const knobCaptions[] = {"VOL", "BASS", "MIDDLE", "TREBLE", "GAIN"};

juce::Rectangle<float> knob (int index)
{
    return {knobX[index], 128.0f, 87.0f, 87.0f};
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

    // The three boxes share a top and a bottom, whatever the heights of the
    // lists in them. The patch list's bar also holds Save, Export and Import,
    // so its heading goes to the right.
    const auto framesTop = 266.0f;
    const auto framesBottom = patchList.getBottom() + 5.0f;

    auto frameFor = [&] (juce::Rectangle<float> list)
    { return list.expanded (4.0f, 0.0f).withTop (framesTop).withBottom (framesBottom); };
    auto wellFor = [&] (juce::Rectangle<float> list)
    { return list.expanded (2.0f, 2.0f).withBottom (framesBottom - 2.0f); };

    if (saveButton.getY() < framesTop + 4.0f)
        reportProblem ("the Save, Export and Import buttons stick out of the patch list's frame");

    drawListFrame (g, frameFor (patchList), wellFor (patchList), "Patch List", juce::Justification::right);
    drawListFrame (g, frameFor (algorithmList), wellFor (algorithmList), "Amp Models");
    drawListFrame (g, frameFor (descriptionBox), wellFor (descriptionBox), "Description");
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
    {"no_device_background.png", 780, 408, false, drawNoDeviceBackground},
    {"firmware_button.png", 238, 58, true, drawFirmwareButton},
    {"amp_page_background.png", 1482, 1034, false, drawAmpPageBackground},
    {"set_button.png", 68, 68, true, drawSetButton},
    {"import_button.png", 78, 32, true, drawImportButton},
    {"export_button.png", 78, 32, true, drawExportButton},
    {"save_button.png", 64, 32, true, drawSaveButton},
    {"bypass_switch_off.png", 78, 38, true, drawBypassSwitchOff},
    {"bypass_switch_on.png", 78, 38, true, drawBypassSwitchOn},
    {"cab_switch_top_lit.png", 38, 78, true, drawCabSwitchTopLit},
    {"cab_switch_bottom_dark.png", 38, 78, true, drawCabSwitchBottomDark},
};

//==============================================================================
juce::Result writePicture (const Picture& picture, const juce::File& directory)
{
    juce::Image image (picture.hasTransparency ? juce::Image::ARGB : juce::Image::RGB, picture.width, picture.height,
                       true);

    {
        juce::Graphics g (image);
        picture.draw (g, image.getBounds().toFloat());
    }

    auto problems = takeProblems();

    if (!problems.isEmpty())
        return juce::Result::fail (problems.joinIntoString ("; "));

    // Written beside the target and moved into place, so an interrupted build
    // never leaves a truncated PNG that a later build would take as current.
    auto target = directory.getChildFile (picture.fileName);
    juce::TemporaryFile temporary (target);

    {
        juce::FileOutputStream stream (temporary.getFile());

        if (!stream.openedOk())
            return juce::Result::fail ("cannot open " + temporary.getFile().getFullPathName() + ": " +
                                       stream.getStatus().getErrorMessage());

        juce::PNGImageFormat png;

        if (!png.writeImageToStream (image, stream))
            return juce::Result::fail ("PNG encoding failed");

        stream.flush();

        if (stream.getStatus().failed())
            return juce::Result::fail (stream.getStatus().getErrorMessage());
    }

    if (!temporary.overwriteTargetFileWithTemporary())
        return juce::Result::fail ("cannot move the picture into " + target.getFullPathName());

    return juce::Result::ok();
}

juce::Result checkAgainstExpectedNames (const juce::StringArray& expected)
{
    juce::StringArray drawn;

    for (auto& picture : pictures)
        drawn.add (picture.fileName);

    juce::StringArray missing, extra;

    for (auto& name : expected)
        if (!drawn.contains (name))
            missing.add (name);

    for (auto& name : drawn)
        if (!expected.contains (name))
            extra.add (name);

    if (missing.isEmpty() && extra.isEmpty())
        return juce::Result::ok();

    juce::String message ("the picture table and the build's list of images differ.");

    if (!missing.isEmpty())
        message << " Not drawn here: " << missing.joinIntoString (", ") << ".";

    if (!extra.isEmpty())
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

    return 0;
}
