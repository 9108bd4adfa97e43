#include <gtest/gtest.h>

#include "app/MainContentComponent.h"
#include "support/EditorHarness.h"

using namespace tessel::sim;
using namespace tessel::test;

namespace
{
int brightness (juce::Colour c)
{
    return (c.getRed() + c.getGreen() + c.getBlue()) / 3;
}
} // namespace

TEST (NoDevicePage, ThePictureLightsNoPedalsLed)
{
    EditorHarness h;
    const auto picture = h.noDevicePage().background.getImage();
    ASSERT_EQ (picture.getBounds(), juce::Rectangle<int> (0, 0, 780, 408));

    // Where the picture puts the LED of the AMP, CAB, DLY and MOD pedal.
    for (int i = 0; i < 4; ++i)
    {
        const auto led = picture.getPixelAt (222 + 112 * i, 131);
        EXPECT_LT (brightness (led), 60) << "pedal " << i << ": " << led.toDisplayString (true);
    }
}

TEST (NoDevicePage, TheHelpUnderTheStatusLineStaysClearOfThePicturesRules)
{
    EditorHarness h;
    auto usb = PedalSimulator::create (kindAMP)->identity();
    usb.accessible = false;
    h.plugIn (std::make_shared<PedalSimulator> (kindAMP, usb));
    auto& page = h.noDevicePage();
    ASSERT_TRUE (page.hintLabel.getText().containsChar ('\n'));

    // The rules under the status line: rows much brighter than the rows
    // around them, across the middle of the picture.
    const auto picture = page.background.getImage();
    const auto rowBrightness = [&] (int y)
    {
        int sum = 0;
        for (int x = 200; x < 580; ++x)
            sum += brightness (picture.getPixelAt (x, y));
        return sum / 380;
    };
    std::vector<int> rules;
    for (int y = 280; y < picture.getHeight() - 3; ++y)
        if (rowBrightness (y) > rowBrightness (y - 3) + 20 && rowBrightness (y) > rowBrightness (y + 3) + 20)
            rules.push_back (y);
    ASSERT_EQ (rules.size(), 3u) << "two round the status line, one near the foot";

    // The rows the help's letters ink, on the page.
    const auto help = page.hintLabel.createComponentSnapshot (page.hintLabel.getLocalBounds(), false);
    std::vector<int> inked;
    for (int y = 0; y < help.getHeight(); ++y)
        for (int x = 0; x < help.getWidth(); ++x)
            if (help.getPixelAt (x, y).getAlpha() > 0x20)
            {
                inked.push_back (page.hintLabel.getY() + y);
                break;
            }
    ASSERT_FALSE (inked.empty());
    // At least three clear rows on each side, so the letters read as apart from the rules.
    EXPECT_GT (inked.front(), rules[1] + 3) << "below the frame round the status line";
    EXPECT_LT (inked.back(), rules[2] - 3) << "above the rule near the foot";
    EXPECT_GT (inked.back() - inked.front(), 20) << "both lines show";
}

TEST (NoDevicePage, APedalWaitingInItsUpdateModeGetsTheFirmwareButtonBackOnceNoPedalIsLinked)
{
    EditorHarness h;
    auto& page = h.noDevicePage();
    const auto waitingPedal = [&page] (const juce::String& name)
    {
        return page.isVisible() && page.firmwareButton.isVisible() && page.deviceName == name
            && page.statusLabel.getText() == "Device Connected." && page.hintLabel.getText().isEmpty();
    };

    // While a pedal is linked, the others coming and going leave its page alone.
    auto linked = h.connect (kindAMP, 3);
    auto waiting = PedalSimulator::createUpdateModeDevice ("TESSEL DLY");
    auto another = PedalSimulator::createUpdateModeDevice ("TESSEL MOD");
    h.plugIn (waiting);
    h.plugIn (another);
    h.unplug (another);
    EXPECT_TRUE (! page.isVisible() && h.hub().firstVisiblePage() == (uint32_t) kindAMP
                 && page.deviceName == "TESSEL AMP");

    h.unplug (linked);
    EXPECT_TRUE (waitingPedal ("TESSEL DLY"));

    // A pedal this user may not open comes and goes meanwhile.
    auto usb = PedalSimulator::create (kindMOD)->identity();
    usb.accessible = false;
    auto locked = std::make_shared<PedalSimulator> (kindMOD, usb);
    h.plugIn (locked);
    h.unplug (locked);
    EXPECT_TRUE (waitingPedal ("TESSEL DLY"));

    h.unplug (waiting);
    EXPECT_TRUE (! page.firmwareButton.isVisible() && page.statusLabel.getText() == "No Device Connected.");
}

TEST (NoDevicePage, APedalThisUserMayNotOpenIsToldAgainOnceTheLinkedPedalBesideItGoes)
{
    for (bool pluggedInFirst : { true, false })
    {
        EditorHarness h;
        auto usb = PedalSimulator::create (kindMOD)->identity();
        usb.accessible = false;
        auto locked = std::make_shared<PedalSimulator> (kindMOD, usb);
        if (pluggedInFirst)
            h.plugIn (locked);
        auto linked = h.connect (kindAMP, 3);
        if (! pluggedInFirst)
            h.plugIn (locked);

        h.unplug (linked);
        auto& page = h.noDevicePage();
        EXPECT_EQ (page.statusLabel.getText(), "Pedal found, but it cannot be opened.") << pluggedInFirst;
        EXPECT_TRUE (page.isVisible() && page.hintLabel.getText().contains ("udevadm trigger")) << pluggedInFirst;
    }
}
