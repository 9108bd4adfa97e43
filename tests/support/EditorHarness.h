#pragma once

#include <memory>

#include "app/KVNoDevice.h"
#include "app/MainContentComponent.h"
#include "support/MessagePump.h"
#include "support/SimulatedUsbBus.h"

namespace tessel::test
{
/** The editor's hub wired to a simulated USB bus instead of the machine's,
    with the link's process-wide state reset around it. */
class EditorHarness
{
public:
    EditorHarness();
    ~EditorHarness();

    /** Plugs a pedal in and waits until the live link has taken it. */
    std::shared_ptr<sim::PedalSimulator> plugIn (DeviceKind kind);

    /** Plugs a device in and runs the message loop until its notice has been handled. */
    void plugIn (const std::shared_ptr<sim::PedalSimulator>& device);

    /** Pulls a device out and runs the message loop until its removal has been handled. */
    void unplug (const std::shared_ptr<sim::PedalSimulator>& device);

    MainContentComponent& hub() { return *content; }
    KVNoDevice& noDevicePage() { return *content->noDevice; }

    sim::SimulatedUsbBus bus;

private:
    std::unique_ptr<MainContentComponent> content;
};

/** Resets the link's globals to how the program starts. */
void resetLinkGlobals();
} // namespace tessel::test
