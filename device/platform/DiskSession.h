#pragma once

#include <memory>

#include <juce_core/juce_core.h>

// The small disk layer the pedal volume watcher stands on. It gives what the
// editor needs of the operating system's disk notices: a disk has appeared
// (its file system is mounted and readable) with the device's vendor and
// model, the volume's name and where it is mounted, and a disk has gone
// (unmounted or pulled out). Where nothing mounts a new disk by itself (no
// desktop automounter), it also tells of disks attached but not mounted, and
// mounts one when asked. A Linux implementation (udev and
// /proc/self/mountinfo) serves real users; tests use a simulated one.

/** What the layer knows of one mounted disk. */
struct DiskDescription
{
    /** The kernel's name for the device ("sdb1"), for diagnostics. */
    juce::String bsdName;

    /** The device's vendor and model as the drive reports them, without the
        blanks a SCSI inquiry pads them with. Empty when unknown. */
    juce::String deviceVendor;
    juce::String deviceModel;

    /** The file system's label; empty when it has none. */
    juce::String volumeName;

    /** Where the file system is mounted, without a closing separator. */
    juce::String mountPath;

    /** The USB device the disk hangs from (on Linux its sysfs path), the
        same text a pedal's HID interface gives as HidDevice::usbDeviceKey;
        empty when unknown. Tells apart the volumes of two CAB pedals. */
    juce::String usbDevice {};
};

/** Why a mount asked for did not happen, as far as the user's own way of
    mounting the volume goes. */
enum class MountFailure
{
    /** The system could not or would not mount it (refused, failed, gone). */
    refused,

    /** Nothing on the system bus mounts disks: udisks2, and with it
        udisksctl, is not installed. */
    noUDisks2
};

/** Follows the machine's disks while the program runs. All notices arrive on
    the message thread. */
class DiskSession
{
public:
    class Listener
    {
    public:
        virtual ~Listener() = default;
        virtual void diskAppeared (const DiskDescription& disk) = 0;
        virtual void diskDisappeared (const DiskDescription& disk) = 0;

        /** A disk with a file system is attached but nobody has mounted it
            (its mount path is empty). Told once each time it is attached;
            the listener may ask for it to be mounted. */
        virtual void diskNotMounted (const DiskDescription&) {}

        /** A mount asked for did not happen; `why` is for the diagnostics. */
        virtual void diskMountFailed (const DiskDescription&, const juce::String& /*why*/, MountFailure) {}
    };

    virtual ~DiskSession() = default;

    virtual void setListener (Listener* listener) = 0;

    /** Starts watching. Disks already mounted are reported as appeared once
        the message loop runs. Returns false when the layer cannot start; the
        program then carries on without disk notices. */
    virtual bool open() = 0;

    /** Asks the system to mount a disk told as not mounted, as a file
        manager would. Returns at once: success arrives as diskAppeared with
        the mount path, failure as diskMountFailed. */
    virtual void mount (const DiskDescription& disk) = 0;
};

/** The implementation for this platform: udev and mountinfo on Linux. */
std::unique_ptr<DiskSession> createPlatformDiskSession();
