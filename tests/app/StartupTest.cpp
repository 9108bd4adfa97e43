#include <gtest/gtest.h>

#include "app/Application.h"
#include "app/KVNoDevice.h"
#include "app/MainContentComponent.h"
#include "device/LiveLink.h"
#include "support/EditorHarness.h"

using tessel::test::pumpPending;

namespace
{
/** The main window as start-up builds it, on a simulated USB bus. */
struct StartedWindow
{
    StartedWindow()
    {
        tessel::test::resetLinkGlobals();
        hidManagerFactory = [this] { return bus.createHidManager(); };
        window = std::make_unique<JUCE_USBApplication::MainWindow> ("Tessel Editor");
        pumpPending();
    }

    ~StartedWindow()
    {
        window = nullptr;
        pumpPending();
        hidManagerFactory = [] { return createPlatformHidManager(); };
        tessel::test::resetLinkGlobals();
    }

    MainContentComponent& hub() { return *dynamic_cast<MainContentComponent*> (window->getContentComponent()); }

    tessel::sim::SimulatedUsbBus bus;
    std::unique_ptr<JUCE_USBApplication::MainWindow> window;
};
} // namespace

TEST (Startup, TheWindowOpensOnTheNoDevicePageAtItsFixedSize)
{
    StartedWindow w;
    auto& window = *w.window;

    EXPECT_EQ (window.getName(), "Tessel Editor");
    EXPECT_TRUE (window.isVisible());
    EXPECT_TRUE (window.isUsingNativeTitleBar());
    EXPECT_FALSE (window.isResizable());

    auto* content = window.getContentComponent();
    ASSERT_NE (content, nullptr);
    EXPECT_EQ (content->getWidth(), 780);
    EXPECT_EQ (content->getHeight(), 408);

    const auto flags = window.getDesktopWindowStyleFlags();
    EXPECT_NE (flags & juce::ComponentPeer::windowHasMinimiseButton, 0);
    EXPECT_NE (flags & juce::ComponentPeer::windowHasCloseButton, 0);
    EXPECT_EQ (flags & juce::ComponentPeer::windowHasMaximiseButton, 0);
    EXPECT_EQ (flags & juce::ComponentPeer::windowIsResizable, 0);
}

TEST (Startup, TheNoDevicePageShowsItsStatusAndHidesTheFirmwareButton)
{
    StartedWindow w;
    auto& page = *w.hub().noDevice;

    EXPECT_TRUE (page.isVisible());
    EXPECT_EQ (page.getBounds(), juce::Rectangle<int> (0, 0, 780, 408));

    EXPECT_EQ (page.statusLabel.getText(), "No Device Connected.");
    EXPECT_EQ (page.statusLabel.getBounds(), juce::Rectangle<int> (100, 300, 580, 50));
    EXPECT_EQ (page.statusLabel.getJustificationType(), juce::Justification::centred);
    EXPECT_FLOAT_EQ (page.statusLabel.getFont().getHeight(), 25.0f);
    EXPECT_EQ (page.statusLabel.findColour (juce::Label::textColourId), juce::Colour (0xFF42BFAF));
    EXPECT_FALSE (page.statusLabel.isEditable());

    EXPECT_FALSE (page.firmwareButton.isVisible());
    EXPECT_EQ (page.firmwareButton.getBounds(), juce::Rectangle<int> (270, 215, 238, 58));
    EXPECT_EQ (page.firmwareButton.getButtonText(), "firmware");

    // Both pictures are compiled in and at their drawn sizes.
    EXPECT_EQ (page.background.getImage().getBounds(), juce::Rectangle<int> (0, 0, 780, 408));
    EXPECT_EQ (page.firmwareButton.getNormalImage().getBounds(), juce::Rectangle<int> (0, 0, 238, 58));
}

TEST (Startup, ProgressBarsAndScrollBarsTakeThePaletteColours)
{
    StartedWindow w;
    auto& look = juce::LookAndFeel::getDefaultLookAndFeel();
    EXPECT_EQ (look.findColour (juce::ProgressBar::foregroundColourId), juce::Colour (0xFF22E6DC));
    EXPECT_EQ (look.findColour (juce::ProgressBar::backgroundColourId), juce::Colour (0xFF166A66));
    EXPECT_EQ (look.findColour (juce::ScrollBar::thumbColourId), juce::Colour (0xFF166A66));
}

TEST (Startup, TheWindowFollowsThePedalAndComesBackWhenItIsUnplugged)
{
    StartedWindow w;
    auto pedal = tessel::sim::PedalSimulator::create (kindAMP);
    w.bus.plug (pedal);
    pumpPending();
    EXPECT_EQ (w.hub().noDevice->statusLabel.getText(), "Device Connected.");

    w.bus.unplug (pedal);
    pumpPending();
    EXPECT_EQ (w.hub().noDevice->statusLabel.getText(), "No Device Connected.");
    EXPECT_EQ (w.window->getContentComponent()->getWidth(), 780);
}
