#include <gtest/gtest.h>

#include "app/Application.h"
#include "app/KVNoDevice.h"
#include "app/MainContentComponent.h"
#include "device/LiveLink.h"
#include "support/EditorHarness.h"

using namespace tessel::test;

TEST (Startup, TheWindowOpensOnTheNoDevicePageAtItsFixedSize)
{
    resetLinkGlobals();
    tessel::sim::SimulatedUsbBus bus;
    hidManagerFactory = [&bus] { return bus.createHidManager(); };
    auto window = std::make_unique<JUCE_USBApplication::MainWindow> ("Tessel Editor");
    pumpPending();

    EXPECT_EQ (window->getName(), "Tessel Editor");
    EXPECT_TRUE (window->isVisible());
    EXPECT_TRUE (window->isUsingNativeTitleBar());
    EXPECT_FALSE (window->isResizable());
    const auto flags = window->getDesktopWindowStyleFlags();
    EXPECT_NE (flags & juce::ComponentPeer::windowHasMinimiseButton, 0);
    EXPECT_NE (flags & juce::ComponentPeer::windowHasCloseButton, 0);
    EXPECT_EQ (flags & (juce::ComponentPeer::windowHasMaximiseButton | juce::ComponentPeer::windowIsResizable), 0);

    auto& hub = *dynamic_cast<MainContentComponent*> (window->getContentComponent());
    auto& page = *hub.noDevice;
    EXPECT_EQ (hub.getBounds(), juce::Rectangle<int> (0, 0, 780, 408));
    EXPECT_TRUE (page.isVisible());
    EXPECT_EQ (page.statusLabel.getText(), "No Device Connected.");
    EXPECT_FALSE (page.firmwareButton.isVisible());
    // Both pictures are compiled in and at their drawn sizes.
    EXPECT_EQ (page.background.getImage().getBounds(), juce::Rectangle<int> (0, 0, 780, 408));
    EXPECT_EQ (page.firmwareButton.getNormalImage().getBounds(), juce::Rectangle<int> (0, 0, 238, 58));

    window = nullptr;
    pumpPending();
    hidManagerFactory = [] { return createPlatformHidManager(); };
    resetLinkGlobals();
}
