#pragma once

#include <functional>
#include <optional>
#include <string>

#include <juce_core/juce_core.h>

struct udev;
struct udev_device;
struct udev_monitor;

/** One udev subsystem watched from the message thread: the devices already
    there, then every add and remove. Both Linux layers (hidraw nodes and
    block devices) stand on it. */
class UdevWatch
{
public:
    UdevWatch() = default;
    ~UdevWatch();

    /** Starts listening before it lists what is there, so a device plugged in
        meanwhile is seen in one or the other (or both: owners ignore a second
        sighting). `readable` runs on the message thread whenever events wait;
        `found` is called for each device already present. Gives the reason it
        failed, or nullptr; on failure nothing is left watched. */
    const char* start (const char* subsystem, std::function<void()> readable,
                       const std::function<void (udev_device*)>& found);

    /** Hands waiting events to `handle` with their action ("add", "remove",
        "change", or nullptr). A flood is taken a burst at a time; poll() brings
        us back for the rest. `handle` returns false to stop at once: it may
        have destroyed this watch's owner. */
    void drain (const std::function<bool (udev_device* device, const char* action)>& handle);

    bool isStarted() const noexcept { return context != nullptr; }

    void release();

private:
    udev* context = nullptr;
    udev_monitor* monitor = nullptr;
    bool watching = false;

    JUCE_DECLARE_NON_COPYABLE (UdevWatch)
};

namespace tessel::udevtext
{
/** udev gives nullptr for a missing attribute; we keep "missing" apart from "empty". */
std::optional<std::string> textOrNothing (const char* text);
} // namespace tessel::udevtext
