#pragma once

#include <memory>
#include <string>
#include <vector>

#include "device/platform/DiskSession.h"
#include "device/platform/LinuxDiskParsing.h"
#include "device/platform/UdevWatch.h"

/** The disk layer on Linux. udev tells us which block devices exist, with
    their vendor, model and label; /proc/self/mountinfo tells us which of them
    are mounted and where. A disk appears once its file system is mounted (by
    the desktop, or `udisksctl mount`) and disappears when it is unmounted or
    removed. Everything happens on the message thread. */
class LinuxDiskSession final : public DiskSession
{
public:
    LinuxDiskSession();

    /** Stops watching and frees udev. No further notices. */
    ~LinuxDiskSession() override;

    void setListener (Listener* listener) override;
    bool open() override;

private:
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

    // Fd callbacks and posted messages hold this cell, which the destructor
    // empties, so none of them touches a session that has gone.
    std::shared_ptr<LinuxDiskSession*> lifetime;

    JUCE_DECLARE_NON_COPYABLE (LinuxDiskSession)
};
