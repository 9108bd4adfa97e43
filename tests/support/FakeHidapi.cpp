#include "support/FakeHidapi.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include <hidapi/hidapi.h>

using tessel::sim::PedalSimulator;
using tessel::sim::SimulatedUsbBus;

/** One open hidapi device: a reader of the pedal's reports with a queue of
    its own, which also hears when the pedal is pulled out. */
struct hid_device_ : public tessel::sim::ReportSink,
                     public SimulatedUsbBus::Listener
{
    hid_device_ (std::shared_ptr<PedalSimulator> p, SimulatedUsbBus* b)
        : pedal (std::move (p)),
          bus (b)
    {
    }

    void deliverReport (const HidPacket& report) override
    {
        change (
            [&]
            {
            // hidapi keeps a bounded queue and drops the oldest report.
            if (queue.size() >= 30)
                queue.pop_front();
            queue.push_back (report);
        });
    }

    void deviceAttached (std::shared_ptr<PedalSimulator>) override {}

    void deviceRemoved (std::shared_ptr<PedalSimulator> device) override
    {
        if (device == pedal)
            change ([this] { unplugged = true; });
    }

    template <typename Action>
    void change (Action action)
    {
        {
            const std::lock_guard<std::mutex> guard (lock);
            action();
        }
        arrived.notify_all();
    }

    /** Leaves the bus and the pedal; nothing reaches this handle afterwards. */
    void detach()
    {
        if (bus != nullptr)
            bus->removeListener (this);

        pedal->detachSink (this);
        bus = nullptr;
        change ([this] { unplugged = true; });
    }

    const std::shared_ptr<PedalSimulator> pedal;
    SimulatedUsbBus* bus;

    std::mutex lock;
    std::condition_variable arrived;
    std::deque<HidPacket> queue;
    bool unplugged = false;
};

namespace
{
// Lock order: this one, then the bus's, then a handle's. A handle's own
// callbacks (reports, unplugging) never take this one.
std::mutex fakeLock;
SimulatedUsbBus* currentBus = nullptr;
bool initialised = false;
tessel::sim::FakeHidapiCounts counts;
std::vector<HidPacket> writtenFrames;
std::vector<hid_device*> openDevices;
} // namespace

template <typename Action>
auto underFakeLock (Action action)
{
    const std::lock_guard<std::mutex> guard (fakeLock);
    return action();
}

namespace tessel::sim
{
void setFakeHidapiBus (SimulatedUsbBus* bus)
{
    underFakeLock (
        [bus]
        {
        if (bus != currentBus)
            for (auto* device : openDevices)
                device->detach();
        currentBus = bus;
    });
}

FakeHidapiCounts fakeHidapiCounts()
{
    return underFakeLock ([] { return counts; });
}
void resetFakeHidapiCounts()
{
    underFakeLock ([] { counts = {}; });
}
std::vector<HidPacket> takeFakeHidapiWrites()
{
    return underFakeLock ([] { return std::exchange (writtenFrames, {}); });
}
int fakeHidapiOpenHandles()
{
    return underFakeLock ([] { return (int) openDevices.size(); });
}
} // namespace tessel::sim

int hid_init()
{
    underFakeLock (
        []
        {
        initialised = true;
        ++counts.inits;
    });
    return 0;
}
int hid_exit()
{
    underFakeLock (
        []
        {
        initialised = false;
        ++counts.exits;
    });
    return 0;
}

namespace
{
/** As hidapi does: the first call after start or hid_exit initialises it. Under the fake's lock. */
void initialiseOnFirstUse()
{
    counts.inits += initialised ? 0 : 1;
    initialised = true;
}

/** The plugged devices that `matches` takes, in the order they were plugged. Under the fake's lock. */
template <typename Matcher>
std::vector<std::shared_ptr<PedalSimulator>> pluggedWhere (Matcher matches)
{
    std::vector<std::shared_ptr<PedalSimulator>> found;
    if (currentBus != nullptr)
        for (auto& pedal : currentBus->pluggedDevices())
            if (matches (*pedal))
                found.push_back (pedal);
    return found;
}

/** A new handle on a plugged device. Under the fake's lock. */
hid_device* openHandle (const std::shared_ptr<PedalSimulator>& pedal)
{
    auto* device = new hid_device_ (pedal, currentBus);
    currentBus->addListener (device);
    device->pedal->attachSink (device);

    // Pulled out while we were attaching: the handle is dead from the start.
    if (! currentBus->isPlugged (device->pedal))
        device->deviceRemoved (device->pedal);

    openDevices.push_back (device);
    ++counts.opens;
    return device;
}

wchar_t* copyOf (const juce::String& text)
{
    const auto wide = text.toWideCharPointer();
    const auto length = wcslen (wide);
    auto* copy = static_cast<wchar_t*> (calloc (length + 1, sizeof (wchar_t)));
    std::copy (wide, wide + length, copy);
    return copy;
}
} // namespace

hid_device* hid_open (unsigned short vendor_id, unsigned short product_id, const wchar_t*)
{
    const std::lock_guard<std::mutex> guard (fakeLock);
    initialiseOnFirstUse();

    const auto found =
        pluggedWhere ([&] (const PedalSimulator& pedal)
                      { return pedal.identity().vendorId == vendor_id && pedal.identity().productId == product_id; });
    return found.empty() ? nullptr : openHandle (found.front());
}

hid_device* hid_open_path (const char* path)
{
    const std::lock_guard<std::mutex> guard (fakeLock);
    initialiseOnFirstUse();

    const auto found = pluggedWhere ([&] (const PedalSimulator& pedal)
                                     { return path != nullptr && pedal.devicePath() == juce::String (path); });
    return found.empty() ? nullptr : openHandle (found.front());
}

std::function<void()> afterEnumeration;

void tessel::sim::afterNextFakeHidapiEnumeration (std::function<void()> action)
{
    underFakeLock ([&] { afterEnumeration = std::move (action); });
}

hid_device_info* hid_enumerate (unsigned short vendor_id, unsigned short product_id)
{
    std::unique_lock<std::mutex> guard (fakeLock);
    initialiseOnFirstUse();

    // 0 for either ID matches any, as in hidapi.
    const auto found = pluggedWhere (
        [&] (const PedalSimulator& pedal)
        {
        return (vendor_id == 0 || pedal.identity().vendorId == vendor_id)
            && (product_id == 0 || pedal.identity().productId == product_id);
    });

    // Built from the back, so the list keeps the plugging order.
    hid_device_info* first = nullptr;
    for (auto it = found.rbegin(); it != found.rend(); ++it)
    {
        const auto& usb = (*it)->identity();

        for (int collection = std::max (1, usb.topLevelCollections); --collection >= 0;)
        {
            auto* info = static_cast<hid_device_info*> (calloc (1, sizeof (hid_device_info)));
            info->path = strdup ((*it)->devicePath().toRawUTF8());
            info->vendor_id = (unsigned short) usb.vendorId;
            info->product_id = (unsigned short) usb.productId;
            info->serial_number = copyOf ({});
            info->manufacturer_string = copyOf (usb.manufacturer);
            info->product_string = copyOf (usb.product);
            info->usage = (unsigned short) (collection + 1);
            info->bus_type = HID_API_BUS_USB;
            info->next = first;
            first = info;
        }
    }

    const auto action = std::exchange (afterEnumeration, nullptr);
    guard.unlock();
    if (action != nullptr)
        action();
    return first;
}

void hid_free_enumeration (hid_device_info* devices)
{
    while (devices != nullptr)
    {
        auto* next = devices->next;
        free (devices->path);
        free (devices->serial_number);
        free (devices->manufacturer_string);
        free (devices->product_string);
        free (devices);
        devices = next;
    }
}

void hid_close (hid_device* device)
{
    if (device == nullptr)
        return;

    const std::lock_guard<std::mutex> guard (fakeLock);
    device->detach();
    openDevices.erase (std::remove (openDevices.begin(), openDevices.end(), device), openDevices.end());
    ++counts.closes;
    delete device;
}

int hid_write (hid_device* device, const unsigned char* data, size_t length)
{
    // Our pedals have no numbered reports: the leading byte is report ID 0,
    // which the system takes off; a non-zero one would reach the pedal as data.
    if (device == nullptr || data == nullptr || length < 1 || data[0] != 0)
        return -1;

    if (const std::lock_guard<std::mutex> guard (device->lock); device->unplugged)
        return -1;

    uint8_t report[HidPacket::size] {};
    std::memcpy (report, data + 1, std::min (length - 1, (size_t) HidPacket::size));
    underFakeLock (
        [&]
        {
        ++counts.writes;
        writtenFrames.push_back (HidPacket::fromBytes (report));
    });

    // The pedal answers at once, into this handle's queue among others.
    device->pedal->receive (report, HidPacket::size);
    return (int) length;
}

int hid_read_timeout (hid_device* device, unsigned char* data, size_t length, int milliseconds)
{
    if (device == nullptr || data == nullptr)
        return -1;

    std::unique_lock<std::mutex> guard (device->lock);
    const auto ready = [device] { return device->unplugged || ! device->queue.empty(); };

    if (milliseconds < 0)
        device->arrived.wait (guard, ready);
    else
        device->arrived.wait_for (guard, std::chrono::milliseconds (milliseconds), ready);

    if (device->unplugged)
        return -1;

    if (device->queue.empty())
        return 0;

    const auto count = std::min (length, (size_t) HidPacket::size);
    std::memcpy (data, device->queue.front().data(), count);
    device->queue.pop_front();
    return (int) count;
}
