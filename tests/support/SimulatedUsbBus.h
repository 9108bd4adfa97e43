#pragma once

#include "device/platform/HidManager.h"
#include "support/PedalSimulator.h"

namespace tessel::sim
{
/** How many reports have gone out on a live link from a thread other than
    the message thread, which owns the link and lets go of a removed device. */
int liveLinkSendsOffTheMessageThread();

/** The USB bus of the simulated machine: which devices are plugged in.
    The simulated HID manager follows it as the real one follows udev. */
class SimulatedUsbBus
{
public:
    /** Plugs a device in; a running HID manager hears of it on the message thread. */
    void plug (std::shared_ptr<PedalSimulator> device);

    /** Pulls a device out; may be called from any thread. */
    void unplug (const std::shared_ptr<PedalSimulator>& device);

    std::vector<std::shared_ptr<PedalSimulator>> pluggedDevices() const
    {
        const std::lock_guard<std::recursive_mutex> guard (lock);
        return devices;
    }
    bool isPlugged (const std::shared_ptr<PedalSimulator>& device) const
    {
        const std::lock_guard<std::recursive_mutex> guard (lock);
        return std::find (devices.begin(), devices.end(), device) != devices.end();
    }

    /** A HID manager that sees this bus's devices. */
    std::unique_ptr<HidManager> createHidManager();

    class Listener
    {
    public:
        virtual ~Listener() = default;
        virtual void deviceAttached (std::shared_ptr<PedalSimulator> device) = 0;
        virtual void deviceRemoved (std::shared_ptr<PedalSimulator> device) = 0;
    };

    void addListener (Listener* listener) { listeners.add (listener); }
    void removeListener (Listener* listener) { listeners.remove (listener); }

private:
    mutable std::recursive_mutex lock;
    std::vector<std::shared_ptr<PedalSimulator>> devices;
    Observers<Listener> listeners;
};
} // namespace tessel::sim
