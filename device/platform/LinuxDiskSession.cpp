#include "device/platform/LinuxDiskSession.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <libudev.h>
#include <poll.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <juce_events/juce_events.h>

namespace
{
constexpr const char* mountInfoPath = "/proc/self/mountinfo";

using tessel::udevtext::textOrNothing;

std::string deviceNumberOf (udev_device* device)
{
    const auto number = udev_device_get_devnum (device);
    return std::to_string (major (number)) + ":" + std::to_string (minor (number));
}

tessel::linuxdisk::BlockDeviceText readBlockDevice (udev_device* device)
{
    tessel::linuxdisk::BlockDeviceText text;
    text.deviceNumber = deviceNumberOf (device);
    text.kernelName = textOrNothing (udev_device_get_sysname (device)).value_or (std::string());
    text.vendorEncProperty = textOrNothing (udev_device_get_property_value (device, "ID_VENDOR_ENC"));
    text.modelEncProperty = textOrNothing (udev_device_get_property_value (device, "ID_MODEL_ENC"));
    text.labelEncProperty = textOrNothing (udev_device_get_property_value (device, "ID_FS_LABEL_ENC"));
    text.labelProperty = textOrNothing (udev_device_get_property_value (device, "ID_FS_LABEL"));
    text.fsUsageProperty = textOrNothing (udev_device_get_property_value (device, "ID_FS_USAGE"));

    // Owned by the block device; not to be unreferenced here.
    if (auto* scsi = udev_device_get_parent_with_subsystem_devtype (device, "scsi", "scsi_device"))
    {
        text.scsiVendor = textOrNothing (udev_device_get_sysattr_value (scsi, "vendor"));
        text.scsiModel = textOrNothing (udev_device_get_sysattr_value (scsi, "model"));
    }

    // The same USB device as the pedal's HID interface: its sysfs path is
    // what tells two CAB pedals' volumes apart. Owned by the block device too.
    if (auto* usb = udev_device_get_parent_with_subsystem_devtype (device, "usb", "usb_device"))
        text.usbDeviceSysPath = textOrNothing (udev_device_get_syspath (usb));

    return text;
}
} // namespace

LinuxDiskSession::LinuxDiskSession()
    : lifetime (std::make_shared<LinuxDiskSession*> (this))
{
}

LinuxDiskSession::LinuxDiskSession (std::function<std::vector<tessel::linuxdisk::BlockDeviceText>()> recorded)
    : LinuxDiskSession()
{
    recordedDevices = std::move (recorded);
}

LinuxDiskSession::~LinuxDiskSession()
{
    *lifetime = nullptr;
    laterCalls.cancelAll();
    release();
}

void LinuxDiskSession::setListener (Listener* newListener)
{
    listener = newListener;
}

bool LinuxDiskSession::open()
{
    JUCE_ASSERT_MESSAGE_THREAD

    if (udevWatch.isStarted() || watchingMountInfo)
        return true;

    if (juce::MessageManager::getInstanceWithoutCreating() == nullptr)
    {
        printf ("Tessel disks: no message loop to watch disks from; carrying on without the pedal's volume\n");
        return false;
    }

    std::weak_ptr<LinuxDiskSession*> cell = lifetime;

    // The kernel flags mountinfo with POLLPRI on every mount and unmount.
    mountInfoFd = ::open (mountInfoPath, O_RDONLY | O_CLOEXEC);

    if (mountInfoFd < 0)
        return giveUp ("cannot read the mount table");

    juce::LinuxEventLoop::registerFdCallback (
        mountInfoFd,
        [cell] (int)
        {
        if (auto owner = cell.lock())
            if (auto* session = *owner)
                session->refresh();
        },
        POLLPRI);

    watchingMountInfo = true;

    if (recordedDevices != nullptr)
    {
        blockDevices = recordedDevices();
        refreshLater();
        return true;
    }

    const auto readable = [cell]
    {
        if (auto owner = cell.lock())
            if (auto* session = *owner)
                session->handleMonitorEvents();
    };

    if (auto* why = udevWatch.start ("block", readable, [this] (udev_device* device) { remember (device); }))
        return giveUp (why);

    // Never from inside open(): the volumes already mounted are announced
    // once the message loop runs.
    refreshLater();
    return true;
}

void LinuxDiskSession::handleMonitorEvents()
{
    bool changed = false;

    udevWatch.drain (
        [this, &changed] (udev_device* device, const char* action)
        {
        if (action != nullptr && std::strcmp (action, "remove") == 0)
        {
            forget (device);

            // Attached again, it is a new volume to the user.
            const auto number = deviceNumberOf (device);
            toldNotMounted.erase (number);
            answeredMounts.erase (number);
        }
        else
            remember (device);

        changed = true;
        return true;
    });

    if (changed)
        refresh();
}

void LinuxDiskSession::remember (udev_device* device)
{
    forget (device);
    blockDevices.push_back (readBlockDevice (device));
}

void LinuxDiskSession::forget (udev_device* device)
{
    const auto number = deviceNumberOf (device);

    blockDevices.erase (std::remove_if (blockDevices.begin(), blockDevices.end(),
                                        [&] (const auto& known) { return known.deviceNumber == number; }),
                        blockDevices.end());
}

void LinuxDiskSession::refreshLater()
{
    if (std::exchange (refreshPending, true))
        return;

    laterCalls.post ([this] { refresh(); });
}

void LinuxDiskSession::refresh()
{
    refreshPending = false;

    const auto mounts = currentMounts();
    auto now = tessel::linuxdisk::mountedDisks (blockDevices, mounts);
    const auto changes = tessel::linuxdisk::changesBetween (mounted, now);
    mounted = std::move (now);

    const auto alive = lifetime;

    for (const auto& disk : changes.gone)
        if (*alive != nullptr && listener != nullptr)
            listener->diskDisappeared (disk);

    for (const auto& disk : changes.appeared)
        if (*alive != nullptr && listener != nullptr)
            listener->diskAppeared (disk);

    if (*alive != nullptr)
        tellNotMounted (mounts);
}

std::vector<tessel::linuxdisk::MountEntry> LinuxDiskSession::currentMounts()
{
    const auto table = tessel::linuxdisk::parseMountInfo (readMountInfo());
    std::vector<tessel::linuxdisk::MountEntry> mounts;

    // What udisks2 answered comes first, so that it is the path we give. Once
    // the mount table has shown such a mount and then no longer does, the
    // volume has been unmounted.
    for (auto answered = answeredMounts.begin(); answered != answeredMounts.end();)
    {
        const bool inTable = std::any_of (table.begin(), table.end(),
                                          [&] (const auto& entry) { return entry.deviceNumber == answered->first; });

        if (inTable)
            answered->second.seenInMountTable = true;
        else if (answered->second.seenInMountTable)
        {
            answered = answeredMounts.erase (answered);
            continue;
        }

        mounts.push_back ({ answered->first, answered->second.mountPoint });
        ++answered;
    }

    mounts.insert (mounts.end(), table.begin(), table.end());
    return mounts;
}

void LinuxDiskSession::tellNotMounted (const std::vector<tessel::linuxdisk::MountEntry>& mounts)
{
    for (const auto& device : blockDevices)
    {
        const auto& number = device.deviceNumber;

        // Each attachment is considered once: a volume that was mounted and
        // is unmounted later was unmounted on purpose, and stays so.
        if (toldNotMounted.count (number) != 0)
            continue;

        const bool isMounted = std::any_of (mounts.begin(), mounts.end(),
                                            [&] (const auto& entry) { return entry.deviceNumber == number; });

        if (! isMounted && tessel::linuxdisk::unmountedFileSystems ({ device }, mounts).empty())
            continue;

        toldNotMounted.insert (number);

        if (isMounted)
            continue;

        // A desktop mounts a new volume by itself within a moment; asking
        // udisks2 as well would only race it. The wait goes with the session.
        laterCalls.after (automountGraceMs, [this, number] { tellIfStillNotMounted (number); });
    }
}

void LinuxDiskSession::tellIfStillNotMounted (const std::string& deviceNumber)
{
    const auto device = std::find_if (blockDevices.begin(), blockDevices.end(),
                                      [&] (const auto& known) { return known.deviceNumber == deviceNumber; });

    if (device == blockDevices.end() || listener == nullptr)
        return;

    const auto disks = tessel::linuxdisk::unmountedFileSystems ({ *device }, currentMounts());

    if (! disks.empty())
        listener->diskNotMounted (disks.front());
}

void LinuxDiskSession::mount (const DiskDescription& disk)
{
    JUCE_ASSERT_MESSAGE_THREAD

    std::weak_ptr<LinuxDiskSession*> cell = lifetime;
    const auto device =
        std::find_if (blockDevices.begin(), blockDevices.end(),
                      [&] (const auto& known) { return known.kernelName == disk.bsdName.toStdString(); });

    if (device == blockDevices.end())
    {
        laterCalls.post (
            [this, disk]
            {
            if (listener != nullptr)
                listener->diskMountFailed (disk, "the device is gone", MountFailure::refused);
        });
        return;
    }

    const auto number = device->deviceNumber;

    mounter.mount (juce::String (number),
                   [cell, number, disk] (MountAnswer answer)
                   {
        if (auto owner = cell.lock())
            if (auto* session = *owner)
                session->mountAnswered (number, disk, answer);
    });
}

void LinuxDiskSession::mountAnswered (const std::string& deviceNumber, const DiskDescription& disk,
                                      const MountAnswer& answer)
{
    const bool stillAttached = std::any_of (blockDevices.begin(), blockDevices.end(),
                                            [&] (const auto& known) { return known.deviceNumber == deviceNumber; });

    if (! stillAttached)
        return;

    if (answer.mounted())
    {
        answeredMounts[deviceNumber] = { answer.mountPath.toStdString(), false };
        refresh();
    }
    else if (listener != nullptr)
    {
        listener->diskMountFailed (disk, answer.why, answer.failure);
    }
}

std::string LinuxDiskSession::readMountInfo()
{
    // Reading it from the start is also what clears the pending POLLPRI.
    std::string text;

    if (mountInfoFd < 0)
        return text;

    char buffer[8192];
    off_t offset = 0;

    for (;;)
    {
        const auto count = ::pread (mountInfoFd, buffer, sizeof (buffer), offset);

        if (count < 0 && errno == EINTR)
            continue;

        if (count <= 0)
            break;

        text.append (buffer, (size_t) count);
        offset += count;
    }

    return text;
}

bool LinuxDiskSession::giveUp (const char* why)
{
    const auto error = errno;
    printf ("Tessel disks: %s (%s); carrying on without the pedal's volume\n", why, std::strerror (error));
    release();
    return false;
}

void LinuxDiskSession::release()
{
    if (watchingMountInfo)
    {
        juce::LinuxEventLoop::unregisterFdCallback (mountInfoFd);
        watchingMountInfo = false;
    }

    if (mountInfoFd >= 0)
    {
        ::close (mountInfoFd);
        mountInfoFd = -1;
    }

    udevWatch.release();
}

std::unique_ptr<DiskSession> createPlatformDiskSession()
{
    return std::make_unique<LinuxDiskSession>();
}
