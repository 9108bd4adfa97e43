#pragma once

#include "device/platform/DiskSession.h"

namespace tessel::sim
{
/** The disks of the simulated machine. Each disk's volume is a temporary
    directory, which stays (with what was written to it) until this object
    goes, so a volume can be unmounted and mounted again. Sessions hear of
    changes on the message thread, as the real layer reports them. Used from
    the message thread. */
class SimulatedDisks
{
public:
    SimulatedDisks();
    ~SimulatedDisks();
    /** Adds a disk, mounted unless it is to be filled first; returns its
        number. `usbDevice` is the USB device it hangs from (empty: not known). */
    int add (const juce::String& vendor, const juce::String& model, const juce::String& volumeName,
             bool mountNow = true, const juce::String& usbDevice = {});

    /** The CAB pedal's volume, as its inquiry names it; `usbDevice` is its
        pedal's (UsbIdentity::usbDevice), empty when not known. */
    int addPedalVolume (const juce::String& volumeName = "TESSEL", bool mountNow = true,
                        const juce::String& usbDevice = {});

    void unmount (int disk);
    void mount (int disk);
    juce::File volumeRoot (int disk) const;
    /** A disk layer that sees these disks. */
    std::unique_ptr<DiskSession> createSession();

    struct State;

private:
    std::shared_ptr<State> state;
};
} // namespace tessel::sim
