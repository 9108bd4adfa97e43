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

    // Owned by the block device; not to be unreferenced here.
    if (auto* scsi = udev_device_get_parent_with_subsystem_devtype (device, "scsi", "scsi_device"))
    {
        text.scsiVendor = textOrNothing (udev_device_get_sysattr_value (scsi, "vendor"));
        text.scsiModel = textOrNothing (udev_device_get_sysattr_value (scsi, "model"));
    }

    return text;
}
} // namespace

LinuxDiskSession::LinuxDiskSession()
    : lifetime (std::make_shared<LinuxDiskSession*> (this))
{
}

LinuxDiskSession::~LinuxDiskSession()
{
    *lifetime = nullptr;
    release();
}

void LinuxDiskSession::setListener (Listener* newListener)
{
    listener = newListener;
}

bool LinuxDiskSession::open()
{
    JUCE_ASSERT_MESSAGE_THREAD

    if (udevWatch.isStarted())
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

    juce::LinuxEventLoop::registerFdCallback (mountInfoFd, [cell] (int)
    {
        if (auto owner = cell.lock())
            if (auto* session = *owner)
                session->refresh();
    }, POLLPRI);

    watchingMountInfo = true;

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

    udevWatch.drain ([this, &changed] (udev_device* device, const char* action)
    {
        if (action != nullptr && std::strcmp (action, "remove") == 0)
            forget (device);
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

    std::weak_ptr<LinuxDiskSession*> cell = lifetime;

    juce::MessageManager::callAsync ([cell]
    {
        if (auto owner = cell.lock())
            if (auto* session = *owner)
                session->refresh();
    });
}

void LinuxDiskSession::refresh()
{
    refreshPending = false;

    auto now = tessel::linuxdisk::mountedDisks (blockDevices, tessel::linuxdisk::parseMountInfo (readMountInfo()));
    const auto changes = tessel::linuxdisk::changesBetween (mounted, now);
    mounted = std::move (now);

    const auto alive = lifetime;

    for (const auto& disk : changes.gone)
        if (*alive != nullptr && listener != nullptr)
            listener->diskDisappeared (disk);

    for (const auto& disk : changes.appeared)
        if (*alive != nullptr && listener != nullptr)
            listener->diskAppeared (disk);
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
