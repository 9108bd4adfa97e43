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
// As with the HID layer: drain a burst of events, but let the rest of the
// program run if udev floods us; poll() brings us back for the rest.
constexpr int maxUdevEventsPerWakeUp = 32;

constexpr const char* mountInfoPath = "/proc/self/mountinfo";

std::optional<std::string> textOrNothing (const char* text)
{
    if (text == nullptr)
        return std::nullopt;

    return std::string (text);
}

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

    if (udevContext != nullptr)
        return true;

    if (juce::MessageManager::getInstanceWithoutCreating() == nullptr)
    {
        printf ("Tessel disks: no message loop to watch disks from; carrying on without the pedal's volume\n");
        return false;
    }

    udevContext = udev_new();

    if (udevContext == nullptr)
        return giveUp ("cannot create a udev context");

    // The monitor listens before we look at what is already there, so a
    // volume plugged in meanwhile is seen in one or the other.
    monitor = udev_monitor_new_from_netlink (udevContext, "udev");

    if (monitor == nullptr)
        return giveUp ("cannot create a udev monitor");

    if (udev_monitor_filter_add_match_subsystem_devtype (monitor, "block", nullptr) < 0
        || udev_monitor_enable_receiving (monitor) < 0)
        return giveUp ("cannot receive udev events");

    const auto monitorFd = udev_monitor_get_fd (monitor);

    if (monitorFd < 0)
        return giveUp ("the udev monitor has no descriptor");

    std::weak_ptr<LinuxDiskSession*> cell = lifetime;

    juce::LinuxEventLoop::registerFdCallback (monitorFd, [cell] (int)
    {
        if (auto owner = cell.lock())
            if (auto* session = *owner)
                session->handleMonitorEvents();
    });

    watchingMonitor = true;

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

    auto* enumerate = udev_enumerate_new (udevContext);

    if (enumerate == nullptr)
        return giveUp ("cannot list block devices");

    if (udev_enumerate_add_match_subsystem (enumerate, "block") < 0 || udev_enumerate_scan_devices (enumerate) < 0)
    {
        udev_enumerate_unref (enumerate);
        return giveUp ("cannot list block devices");
    }

    udev_list_entry* listEntry;

    udev_list_entry_foreach (listEntry, udev_enumerate_get_list_entry (enumerate))
    {
        if (auto* device = udev_device_new_from_syspath (udevContext, udev_list_entry_get_name (listEntry)))
        {
            remember (device);
            udev_device_unref (device);
        }
    }

    udev_enumerate_unref (enumerate);

    // Never from inside open(): the volumes already mounted are announced
    // once the message loop runs.
    refreshLater();
    return true;
}

void LinuxDiskSession::handleMonitorEvents()
{
    bool changed = false;

    for (int count = 0; count < maxUdevEventsPerWakeUp; ++count)
    {
        auto* device = udev_monitor_receive_device (monitor);

        if (device == nullptr)
            break;

        const auto* action = udev_device_get_action (device);

        if (action != nullptr && std::strcmp (action, "remove") == 0)
            forget (device);
        else
            remember (device);

        udev_device_unref (device);
        changed = true;
    }

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

    if (watchingMonitor)
    {
        juce::LinuxEventLoop::unregisterFdCallback (udev_monitor_get_fd (monitor));
        watchingMonitor = false;
    }

    if (monitor != nullptr)
        monitor = udev_monitor_unref (monitor);

    if (udevContext != nullptr)
        udevContext = udev_unref (udevContext);
}

std::unique_ptr<DiskSession> createPlatformDiskSession()
{
    return std::make_unique<LinuxDiskSession>();
}
