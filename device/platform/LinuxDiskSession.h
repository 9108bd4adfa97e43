#pragma once

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "device/platform/DiskSession.h"
#include "device/platform/LinuxDiskParsing.h"
#include "device/platform/OwnedCalls.h"
#include "device/platform/UDisks2Mounter.h"
#include "device/platform/UdevWatch.h"

/** The disk layer on Linux. udev tells us which block devices exist, with
    their vendor, model and label; /proc/self/mountinfo tells us which of them
    are mounted and where. A disk appears once its file system is mounted (by
    the desktop, `udisksctl mount`, or udisks2 at our own request) and
    disappears when it is unmounted or removed. A disk with a file system
    that is still unmounted a moment after it was attached is told as not
    mounted, once per attachment. Everything happens on the message thread. */
class LinuxDiskSession final : public DiskSession
{
public:
    /** How long a newly attached disk is left to the desktop's own
        automounter before it counts as not mounted. */
    static inline int automountGraceMs = 1500;

    LinuxDiskSession();

    /** A session that takes its block devices from `recorded` instead of
        udev (which knows no USB volume on a machine without its daemon);
        the mount table and udisks2 are the real ones. */
    explicit LinuxDiskSession (std::function<std::vector<tessel::linuxdisk::BlockDeviceText>()> recorded);

    /** Stops watching and frees udev. No further notices. */
    ~LinuxDiskSession() override;

    void setListener (Listener* listener) override;
    bool open() override;

    /** Asks udisks2 to mount the disk; what it answers is the disk's mount
        path from then on, until the disk goes or the mount table shows it
        unmounted after having shown it mounted. */
    void mount (const DiskDescription& disk) override;

private:
    void mountAnswered (const std::string& deviceNumber, const DiskDescription& disk, const MountAnswer& answer);
    void tellNotMounted (const std::vector<tessel::linuxdisk::MountEntry>& mounts);
    void tellIfStillNotMounted (const std::string& deviceNumber);
    std::vector<tessel::linuxdisk::MountEntry> currentMounts();

    void handleMonitorEvents();
    void remember (udev_device* device);
    void forget (udev_device* device);
    void refreshLater();
    void refresh();
    std::string readMountInfo();
    bool giveUp (const char* why);
    void release();

    UdevWatch udevWatch;
    int mountInfoFd = -1;
    bool watchingMountInfo = false;
    bool refreshPending = false;

    Listener* listener = nullptr;
    std::vector<tessel::linuxdisk::BlockDeviceText> blockDevices;
    std::vector<DiskDescription> mounted;
    std::function<std::vector<tessel::linuxdisk::BlockDeviceText>()> recordedDevices;

    // Devices already told as not mounted (or waiting out the grace), so
    // that a volume the user unmounts is not mounted again behind their back.
    std::set<std::string> toldNotMounted;

    // Mount paths udisks2 answered, by device number.
    struct AnsweredMount
    {
        std::string mountPoint;
        bool seenInMountTable = false;
    };

    std::map<std::string, AnsweredMount> answeredMounts;
    UDisks2Mounter mounter;

    // Fd callbacks and udisks2's answers hold this cell, which the
    // destructor empties, so none of them touches a session that has gone.
    std::shared_ptr<LinuxDiskSession*> lifetime;

    // The grace timers and posted refreshes; they go with the session.
    OwnedCalls laterCalls;

    JUCE_DECLARE_NON_COPYABLE (LinuxDiskSession)
};
