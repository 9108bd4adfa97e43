#include "device/platform/UdevWatch.h"

#include <cerrno>

#include <libudev.h>

#include <juce_events/juce_events.h>

namespace
{
// Enough to drain a plug-in's burst without letting a flood hold up the UI.
constexpr int maxUdevEventsPerWakeUp = 32;
} // namespace

UdevWatch::~UdevWatch()
{
    release();
}

const char* UdevWatch::start (const char* subsystem, std::function<void()> readable,
                              const std::function<void (udev_device*)>& found)
{
    JUCE_ASSERT_MESSAGE_THREAD

    const auto fail = [this] (const char* why)
    {
        // The caller reports errno with the reason.
        const auto error = errno;
        release();
        errno = error;
        return why;
    };

    context = udev_new();

    if (context == nullptr)
        return fail ("cannot create a udev context");

    monitor = udev_monitor_new_from_netlink (context, "udev");

    if (monitor == nullptr)
        return fail ("cannot create a udev monitor");

    if (udev_monitor_filter_add_match_subsystem_devtype (monitor, subsystem, nullptr) < 0
        || udev_monitor_enable_receiving (monitor) < 0)
        return fail ("cannot receive udev events");

    const auto monitorFd = udev_monitor_get_fd (monitor);

    if (monitorFd < 0)
        return fail ("the udev monitor has no descriptor");

    juce::LinuxEventLoop::registerFdCallback (monitorFd, [readable = std::move (readable)] (int) { readable(); });
    watching = true;

    auto* enumerate = udev_enumerate_new (context);

    if (enumerate == nullptr)
        return fail ("cannot list the devices already there");

    if (udev_enumerate_add_match_subsystem (enumerate, subsystem) < 0 || udev_enumerate_scan_devices (enumerate) < 0)
    {
        udev_enumerate_unref (enumerate);
        return fail ("cannot list the devices already there");
    }

    udev_list_entry* listEntry;

    udev_list_entry_foreach (listEntry, udev_enumerate_get_list_entry (enumerate))
    {
        if (auto* device = udev_device_new_from_syspath (context, udev_list_entry_get_name (listEntry)))
        {
            found (device);
            udev_device_unref (device);
        }
    }

    udev_enumerate_unref (enumerate);
    return nullptr;
}

void UdevWatch::drain (const std::function<bool (udev_device*, const char*)>& handle)
{
    for (int count = 0; count < maxUdevEventsPerWakeUp; ++count)
    {
        auto* device = udev_monitor_receive_device (monitor);

        if (device == nullptr)
            return;

        const auto carryOn = handle (device, udev_device_get_action (device));
        udev_device_unref (device);

        // Not a member touched past this point if the owner went with `handle`.
        if (! carryOn)
            return;
    }
}

void UdevWatch::release()
{
    if (watching)
    {
        juce::LinuxEventLoop::unregisterFdCallback (udev_monitor_get_fd (monitor));
        watching = false;
    }

    if (monitor != nullptr)
        monitor = udev_monitor_unref (monitor);

    if (context != nullptr)
        context = udev_unref (context);
}

namespace tessel::udevtext
{
std::optional<std::string> textOrNothing (const char* text)
{
    if (text == nullptr)
        return std::nullopt;

    return std::string (text);
}
} // namespace tessel::udevtext
