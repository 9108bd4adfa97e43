#include <gtest/gtest.h>

#include "app/Application.h"
#include "app/KVNoDevice.h"
#include "app/MainContentComponent.h"
#include "device/LiveLink.h"
#include "support/EditorHarness.h"

using namespace tessel::test;

TEST (Startup, TheWindowOpensOnTheNoDevicePageAtItsFixedSizeAndFindsAPedalPluggedInBeforeOnceTheLoopRuns)
{
    resetLinkGlobals();
    tessel::sim::SimulatedUsbBus bus;
    bus.plug (tessel::sim::PedalSimulator::create (kindCAB));
    hidManagerFactory = [&bus] { return bus.createHidManager(); };
    auto window = std::make_unique<JUCE_USBApplication::MainWindow> ("Tessel Editor");

    EXPECT_EQ (window->getName(), "Tessel Editor");
    EXPECT_TRUE (window->isVisible() && window->isUsingNativeTitleBar() && ! window->isResizable());
    using Peer = juce::ComponentPeer;
    EXPECT_EQ (window->getDesktopWindowStyleFlags()
                   & (Peer::windowHasMinimiseButton | Peer::windowHasCloseButton | Peer::windowHasMaximiseButton
                      | Peer::windowIsResizable),
               Peer::windowHasMinimiseButton | Peer::windowHasCloseButton);

    auto& hub = *dynamic_cast<MainContentComponent*> (window->getContentComponent());
    auto& page = *hub.noDevice;
    EXPECT_EQ (hub.getBounds(), juce::Rectangle<int> (0, 0, 780, 408));
    EXPECT_TRUE (page.isVisible() && ! page.firmwareButton.isVisible());
    EXPECT_EQ (page.statusLabel.getText(), "No Device Connected.");
    EXPECT_EQ (deviceRef.load(), nullptr) << "found before the loop ran";
    EXPECT_TRUE (page.background.getImage().getBounds() == juce::Rectangle<int> (0, 0, 780, 408)
                 && page.firmwareButton.getNormalImage().getBounds() == juce::Rectangle<int> (0, 0, 238, 58))
        << "pictures compiled in at their drawn sizes";

    pumpPending();
    EXPECT_TRUE (deviceRef.load() != nullptr && page.statusLabel.getText() == "Device Connected.");

    window = nullptr;
    pumpPending();
    hidManagerFactory = [] { return createPlatformHidManager(); };
    resetLinkGlobals();
}
