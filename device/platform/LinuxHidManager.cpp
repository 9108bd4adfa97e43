#include "device/platform/LinuxHidManager.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <libudev.h>
#include <unistd.h>

#include <juce_events/juce_events.h>

#include "device/platform/LinuxHidDevice.h"
#include "device/platform/LinuxHidParsing.h"

namespace
{
// As with input reports: drain a burst of plug events, but let the rest of
// the program run if udev floods us; poll() brings us back for the rest.
constexpr int maxUdevEventsPerWakeUp = 32;

std::optional<std::string> textOrNothing (const char* text)
{
    if (text == nullptr)
        return std::nullopt;

    return std::string (text);
}

tessel::linuxhid::UsbParentText readUsbParent (udev_device* hidraw)
{
    tessel::linuxhid::UsbParentText text;

    // Owned by the hidraw device; not to be unreferenced here.
    auto* usb = udev_device_get_parent_with_subsystem_devtype (hidraw, "usb", "usb_device");

    if (usb == nullptr)
        return text;

    text.idVendor = textOrNothing (udev_device_get_sysattr_value (usb, "idVendor"));
    text.idProduct = textOrNothing (udev_device_get_sysattr_value (usb, "idProduct"));
    text.manufacturer = textOrNothing (udev_device_get_sysattr_value (usb, "manufacturer"));
    text.product = textOrNothing (udev_device_get_sysattr_value (usb, "product"));
    text.vendorIdProperty = textOrNothing (udev_device_get_property_value (usb, "ID_VENDOR_ID"));
    text.modelIdProperty = textOrNothing (udev_device_get_property_value (usb, "ID_MODEL_ID"));
    text.vendorEncProperty = textOrNothing (udev_device_get_property_value (usb, "ID_VENDOR_ENC"));
    text.modelEncProperty = textOrNothing (udev_device_get_property_value (usb, "ID_MODEL_ENC"));
    return text;
}
} // namespace

LinuxHidManager::LinuxHidManager()
    : lifetime (std::make_shared<LinuxHidManager*> (this))
{
}

LinuxHidManager::~LinuxHidManager()
{
    *lifetime = nullptr;

    // Each device stops watching and closes its node as it goes.
    entries.clear();
    releaseUdev();
}

void LinuxHidManager::setDeviceMatching (const juce::String& manufacturer)
{
    wantedManufacturer = manufacturer.toStdString();
}

void LinuxHidManager::registerDeviceMatchingCallback (HidDeviceCallback callback, void* context)
{
    matchingCallback = callback;
    matchingContext = context;
}

void LinuxHidManager::registerDeviceRemovalCallback (HidDeviceCallback callback, void* context)
{
    removalCallback = callback;
    removalContext = context;
}

HidResult LinuxHidManager::open()
{
    JUCE_ASSERT_MESSAGE_THREAD

    if (udevContext != nullptr)
        return kHidSuccess;

    // Without JUCE's event loop our fds would never be watched, and the
    // devices found now could never be reported.
    if (juce::MessageManager::getInstanceWithoutCreating() == nullptr)
    {
        printf ("Tessel HID: no message loop to watch devices from; carrying on with no devices\n");
        return kHidError;
    }

    udevContext = udev_new();

    if (udevContext == nullptr)
        return giveUp ("cannot create a udev context");

    // The monitor listens before we look at what is already there, so a pedal
    // plugged in meanwhile shows up in one or the other (or both: the second
    // sighting of a path we already have is ignored).
    monitor = udev_monitor_new_from_netlink (udevContext, "udev");

    if (monitor == nullptr)
        return giveUp ("cannot create a udev monitor");

    if (udev_monitor_filter_add_match_subsystem_devtype (monitor, "hidraw", nullptr) < 0)
        return giveUp ("cannot filter udev events");

    if (udev_monitor_enable_receiving (monitor) < 0)
        return giveUp ("cannot receive udev events");

    const auto monitorFd = udev_monitor_get_fd (monitor);

    if (monitorFd < 0)
        return giveUp ("the udev monitor has no descriptor");

    std::weak_ptr<LinuxHidManager*> cell = lifetime;

    juce::LinuxEventLoop::registerFdCallback (monitorFd, [cell] (int)
    {
        if (auto owner = cell.lock())
            if (auto* manager = *owner)
                manager->handleMonitorEvents();
    });

    watchingMonitor = true;

    auto* enumerate = udev_enumerate_new (udevContext);

    if (enumerate == nullptr)
        return giveUp ("cannot list hidraw devices");

    if (udev_enumerate_add_match_subsystem (enumerate, "hidraw") < 0 || udev_enumerate_scan_devices (enumerate) < 0)
    {
        udev_enumerate_unref (enumerate);
        return giveUp ("cannot list hidraw devices");
    }

    udev_list_entry* listEntry;

    udev_list_entry_foreach (listEntry, udev_enumerate_get_list_entry (enumerate))
    {
        if (auto* hidraw = udev_device_new_from_syspath (udevContext, udev_list_entry_get_name (listEntry)))
        {
            deviceAppeared (hidraw);
            udev_device_unref (hidraw);
        }
    }

    udev_enumerate_unref (enumerate);
    return kHidSuccess;
}

void LinuxHidManager::handleMonitorEvents()
{
    const auto alive = lifetime;

    for (int count = 0; count < maxUdevEventsPerWakeUp; ++count)
    {
        auto* hidraw = udev_monitor_receive_device (monitor);

        if (hidraw == nullptr)
            return;

        const auto* action = udev_device_get_action (hidraw);

        if (action != nullptr && std::strcmp (action, "add") == 0)
            deviceAppeared (hidraw);
        else if (action != nullptr && std::strcmp (action, "remove") == 0)
            deviceDisappeared (hidraw);

        udev_device_unref (hidraw);

        // A removal callback is free to delete us.
        if (*alive == nullptr)
            return;
    }
}

void LinuxHidManager::deviceAppeared (udev_device* hidraw)
{
    const auto* sysPath = udev_device_get_syspath (hidraw);
    const auto* devNode = udev_device_get_devnode (hidraw);

    if (sysPath == nullptr || devNode == nullptr || ! wantedManufacturer.has_value())
        return;

    if (findBySysPath (sysPath) != nullptr)
        return;

    auto properties = tessel::linuxhid::propertiesOf (readUsbParent (hidraw));

    if (! tessel::linuxhid::matchesManufacturer (properties, *wantedManufacturer))
        return;

    auto entry = std::make_unique<Entry>();
    entry->serial = nextSerial++;
    entry->device = std::make_unique<LinuxHidDevice> (std::move (properties), sysPath, devNode);

    const auto serial = entry->serial;
    entries.push_back (std::move (entry));
    tryToOpen (serial);
}

void LinuxHidManager::tryToOpen (uint64_t serial)
{
    auto* entry = findBySerial (serial);

    if (entry == nullptr || entry->removing)
        return;

    const auto& devNode = entry->device->getDevNode();
    const auto fd = ::open (devNode.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);

    if (fd >= 0)
    {
        entry->device->adoptFd (fd);
        reportLater (serial);
        return;
    }

    const auto error = errno;

    if (auto delay = tessel::linuxhid::delayBeforeOpenRetryMs (error, ++entry->failedOpens))
    {
        std::weak_ptr<LinuxHidManager*> cell = lifetime;

        juce::Timer::callAfterDelay (*delay, [cell, serial]
        {
            if (auto owner = cell.lock())
                if (auto* manager = *owner)
                    manager->tryToOpen (serial);
        });

        return;
    }

    // Still reported: the editor can tell the user a pedal is there but out of
    // reach (most likely the udev rule isn't installed); writes to it fail.
    printf ("Tessel HID: cannot open %s: %s\n", devNode.c_str(), std::strerror (error));

    if (error == EACCES || error == EPERM)
        printf ("Tessel HID: is 60-tessel-editor.rules installed in /usr/lib/udev/rules.d or /etc/udev/rules.d?\n");

    reportLater (serial);
}

void LinuxHidManager::reportLater (uint64_t serial)
{
    // Never from inside open(), and never while we're half way through a udev
    // event: the callback sees the device once the message loop runs.
    std::weak_ptr<LinuxHidManager*> cell = lifetime;

    juce::MessageManager::callAsync ([cell, serial]
    {
        if (auto owner = cell.lock())
            if (auto* manager = *owner)
                manager->report (serial);
    });
}

void LinuxHidManager::report (uint64_t serial)
{
    auto* entry = findBySerial (serial);

    // Unplugged before it was announced: nobody needs to hear of it.
    if (entry == nullptr || entry->removing || entry->reported)
        return;

    entry->reported = true;

    if (matchingCallback != nullptr)
        matchingCallback (matchingContext, kHidSuccess, static_cast<HidManager*> (this), entry->device.get());
}

void LinuxHidManager::deviceDisappeared (udev_device* hidraw)
{
    // The node and its parent have left sysfs by now, so we go by the path
    // we noted when the device came.
    const auto* sysPath = udev_device_get_syspath (hidraw);

    if (sysPath == nullptr)
        return;

    auto* entry = findBySysPath (sysPath);

    if (entry == nullptr)
        return;

    entry->removing = true;
    const auto serial = entry->serial;
    const auto alive = lifetime;

    // The device is still whole while the callback runs; it goes afterwards.
    if (entry->reported && removalCallback != nullptr)
        removalCallback (removalContext, kHidSuccess, static_cast<HidManager*> (this), entry->device.get());

    if (*alive != nullptr)
        eraseBySerial (serial);
}

LinuxHidManager::Entry* LinuxHidManager::findBySerial (uint64_t serial)
{
    for (auto& entry : entries)
        if (entry->serial == serial)
            return entry.get();

    return nullptr;
}

LinuxHidManager::Entry* LinuxHidManager::findBySysPath (const std::string& sysPath)
{
    for (auto& entry : entries)
        if (! entry->removing && entry->device->getSysPath() == sysPath)
            return entry.get();

    return nullptr;
}

void LinuxHidManager::eraseBySerial (uint64_t serial)
{
    for (auto it = entries.begin(); it != entries.end(); ++it)
    {
        if ((*it)->serial == serial)
        {
            // Moved out first, so the device's destructor never runs while
            // the list is being changed.
            auto gone = std::move (*it);
            entries.erase (it);
            return;
        }
    }
}

HidResult LinuxHidManager::giveUp (const char* why)
{
    const auto error = errno;
    printf ("Tessel HID: %s (%s); carrying on with no devices\n", why, std::strerror (error));
    releaseUdev();
    return kHidError;
}

void LinuxHidManager::releaseUdev()
{
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

std::unique_ptr<HidManager> createPlatformHidManager()
{
    return std::make_unique<LinuxHidManager>();
}
