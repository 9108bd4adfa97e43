#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "device/platform/DiskSession.h"

// Watches the machine's disks for the CAB pedal's own USB volume, which holds
// its impulse responses and their index. Every CAB pedal plugged in brings a
// volume of its own; the one in force is the linked pedal's, told by the USB
// device both hang from. Whoever owns the watcher (the hub) hears when that
// volume has come and when it has gone; every other disk only leaves a line
// in the diagnostics.

namespace PedalVolume
{
constexpr const char* deviceVendor = "KORVEL";
constexpr const char* deviceModel = "TESSEL";
} // namespace PedalVolume

/** True for the pedal's volume: vendor and model exactly ours (whole,
    case-sensitive) and a volume name to go by. */
bool isPedalVolume (const DiskDescription& disk);

/** The pedal's disk by its vendor and model alone, mounted or not. */
bool isPedalDisk (const DiskDescription& disk);

/** Where the linked pedal's volume is mounted, with a closing "/"; empty
    while it is not mounted, or no pedal volume can be told to be its. Safe
    to call from any thread. */
juce::String disk_Name();

/** Whether no pedal volume is in force although one that may be the linked
    pedal's is mounted: two or more are, and no USB device tells which is
    its. Safe to call from any thread. */
bool pedalVolumeUntold();

/** The volume name of the last pedal volume put in force; empty before the first. */
juce::String diskName();

/** Where start-up gets its disk layer from; tests swap in simulated disks. */
extern std::function<std::unique_ptr<DiskSession>()> diskSessionFactory;

class PedalVolumeWatcher : private DiskSession::Listener
{
public:
    class Listener
    {
    public:
        virtual ~Listener() = default;

        /** The linked pedal's volume is mounted; disk_Name() now gives its
            path. Not told when a newly linked pedal finds its volume already
            there (see followPedal). */
        virtual void pedalVolumeAppeared() = 0;

        /** The linked pedal's own volume was unmounted or pulled out. Other
            disks, other pedals' volumes among them, never cause this. */
        virtual void pedalVolumeGone() = 0;

        /** The volume in force is still mounted but can no longer be told
            to be the linked pedal's (another pedal volume came, or another
            CAB pedal): none is in force now, and what was read from it must
            not be taken for the pedal's. pedalVolumeAppeared follows once
            one can be told again. */
        virtual void pedalVolumeWithdrawn() {}

        /** The pedal's volume is attached but could not be mounted for us
            (no udisks2, or it refused); `devicePath` ("/dev/sdb1") is what
            the user would mount by hand, and `failure` says whether udisks2
            is there to do it with. Told again, with an empty `devicePath`
            when nothing of it is known, each time another pedal is linked:
            one pedal's unmounted volume is not another's. */
        virtual void pedalVolumeNotMounted (const juce::String& /*devicePath*/, MountFailure) {}
    };

    PedalVolumeWatcher (std::unique_ptr<DiskSession> session, Listener& listener);

    /** Stops listening; disk_Name() is empty afterwards. No further notices. */
    ~PedalVolumeWatcher() override;

    /** Starts the session; see DiskSession::open. */
    bool open();

    /** Whether the linked pedal's volume is mounted (disk_Name() not empty). */
    bool hasPedalVolume() const { return pedalVolume.has_value(); }

    /** Another pedal has been linked, or none: `usbDevice` is the USB device
        its HID interface hangs from (HidDevice::usbDeviceKey), empty when
        none is linked or it is not known; `cabPedals` is how many CAB
        pedals are attached now (attachedCabPedals). Its volume, if already
        mounted, is in force at once, without a notice: whoever links a pedal
        starts its connection afresh and asks hasPedalVolume(). */
    void followPedal (const juce::String& usbDevice, int cabPedals);

    /** A CAB pedal has been attached or removed without the link changing
        hands; `cabPedals` is how many are attached now. The volume in force
        follows, with the notices of a disk coming or going. */
    void countCabPedals (int cabPedals);

private:
    void diskAppeared (const DiskDescription& disk) override { hello_disk (disk); }
    void diskDisappeared (const DiskDescription& disk) override { goodbye_disk (disk); }
    void diskNotMounted (const DiskDescription& disk) override;
    void diskMountFailed (const DiskDescription& disk, const juce::String& why, MountFailure failure) override;

    void hello_disk (const DiskDescription& disk);
    void goodbye_disk (const DiskDescription& disk);

    /** The linked pedal's volume among pedalVolumes, or none. */
    std::optional<DiskDescription> volumeOfLinkedPedal() const;

    /** Whether this pedal disk can be the linked pedal's. */
    bool mayBeLinkedPedals (const DiskDescription& disk) const;

    void putInForce (const std::optional<DiskDescription>& volume);

    /** Puts the linked pedal's volume in force and tells of the change:
        appeared when it is another than before (or is `arrived`), withdrawn
        when none is any more. */
    void decideVolumeInForce (const DiskDescription* arrived = nullptr);

    std::unique_ptr<DiskSession> session;
    Listener& listener;

    /** Every pedal volume mounted, in the order they came. */
    std::vector<DiskDescription> pedalVolumes;

    /** The one in force: the linked pedal's. */
    std::optional<DiskDescription> pedalVolume;

    /** Pedal disks attached that could not be mounted, and why. */
    std::vector<std::pair<DiskDescription, MountFailure>> unmountedPedalDisks;

    void forgetUnmounted (const DiskDescription& disk);

    juce::String linkedUsbDevice;

    /** CAB pedals attached; 0 until told. */
    int cabPedalsAttached = 0;

    JUCE_DECLARE_NON_COPYABLE (PedalVolumeWatcher)
};
