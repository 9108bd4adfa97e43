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
using tessel::udevtext::textOrNothing;

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
    text.sysPath = textOrNothing (udev_device_get_syspath (usb));
    return text;
}
} // namespace

LinuxHidManager::LinuxHidManager()
    : lifetime (std::make_shared<LinuxHidManager*> (this))
{
}

LinuxHidManager::LinuxHidManager (std::function<std::vector<RecordedNode>()> recorded)
    : LinuxHidManager()
{
    recordedNodes = std::move (recorded);
}

LinuxHidManager::~LinuxHidManager()
{
    *lifetime = nullptr;
    laterCalls.cancelAll();

    // Each device stops watching and closes its node as it goes.
    entries.clear();
    releaseUdev();
}

void LinuxHidManager::setDeviceMatching (const juce::String& manufacturer)
{
    wantedManufacturer = manufacturer.toStdString();
}

HidResult LinuxHidManager::open()
{
    JUCE_ASSERT_MESSAGE_THREAD

    if (udevWatch.isStarted() || opened)
        return kHidSuccess;

    // Without JUCE's event loop our fds would never be watched, and the
    // devices found now could never be reported.
    if (juce::MessageManager::getInstanceWithoutCreating() == nullptr)
    {
        printf ("Tessel HID: no message loop to watch devices from; carrying on with no devices\n");
        return kHidError;
    }

    if (recordedNodes != nullptr)
    {
        opened = true;

        for (const auto& node : recordedNodes())
            nodeAppeared (node.usbParent, node.sysPath, node.devNode);

        return kHidSuccess;
    }

    std::weak_ptr<LinuxHidManager*> cell = lifetime;

    const auto readable = [cell]
    {
        if (auto owner = cell.lock())
            if (auto* manager = *owner)
                manager->handleMonitorEvents();
    };

    if (auto* why = udevWatch.start ("hidraw", readable, [this] (udev_device* hidraw) { deviceAppeared (hidraw); }))
        return giveUp (why);

    return kHidSuccess;
}

void LinuxHidManager::handleMonitorEvents()
{
    const auto alive = lifetime;

    udevWatch.drain (
        [this, &alive] (udev_device* hidraw, const char* action)
        {
        if (action != nullptr && std::strcmp (action, "add") == 0)
            deviceAppeared (hidraw);
        else if (action != nullptr && std::strcmp (action, "remove") == 0)
            deviceDisappeared (hidraw);

        // The listener is free to delete us when told of a removal.
        return *alive != nullptr;
    });
}

void LinuxHidManager::deviceAppeared (udev_device* hidraw)
{
    const auto* sysPath = udev_device_get_syspath (hidraw);
    const auto* devNode = udev_device_get_devnode (hidraw);

    if (sysPath != nullptr && devNode != nullptr && wantedManufacturer.has_value())
        nodeAppeared (readUsbParent (hidraw), sysPath, devNode);
}

void LinuxHidManager::nodeAppeared (const tessel::linuxhid::UsbParentText& usbParent, const std::string& sysPath,
                                    const std::string& devNode)
{
    if (! wantedManufacturer.has_value() || findBySysPath (sysPath) != nullptr)
        return;

    auto properties = tessel::linuxhid::propertiesOf (usbParent);

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
        laterCalls.after (*delay, [this, serial] { tryToOpen (serial); });
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
    // event: the listener hears of the device once the message loop runs.
    laterCalls.post ([this, serial] { report (serial); });
}

void LinuxHidManager::report (uint64_t serial)
{
    auto* entry = findBySerial (serial);

    // Unplugged before it was announced: nobody needs to hear of it.
    if (entry == nullptr || entry->removing || entry->reported)
        return;

    entry->reported = true;

    if (listener != nullptr)
        listener->deviceMatched (*entry->device);
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

    // The device is still whole while the listener is told; it goes afterwards.
    if (entry->reported && listener != nullptr)
        listener->deviceRemoved (*entry->device);

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
    udevWatch.release();
}

std::unique_ptr<HidManager> createPlatformHidManager()
{
    return std::make_unique<LinuxHidManager>();
}
