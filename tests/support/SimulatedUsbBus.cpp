#include "support/SimulatedUsbBus.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include <juce_events/juce_events.h>

namespace tessel::sim
{
namespace
{
/** One device as the simulated HID manager presents it to the live link. */
class SimulatedHidDevice : public HidDevice,
                           public ReportSink,
                           public std::enable_shared_from_this<SimulatedHidDevice>
{
public:
    SimulatedHidDevice (std::shared_ptr<PedalSimulator> p, SimulatedUsbBus& b) : pedal (std::move (p)), bus (b) {}

    bool isAccessible() const override { return pedal->identity().accessible; }

    bool getIntProperty (const char* key, int32_t& value) const override
    {
        const auto& usb = pedal->identity();
        if (std::strcmp (key, vendorIdKey) == 0) { value = usb.vendorId; return true; }
        if (std::strcmp (key, productIdKey) == 0) { value = usb.productId; return true; }
        return false;
    }

    bool getStringProperty (const char* key, juce::String& value) const override
    {
        const auto& usb = pedal->identity();
        if (std::strcmp (key, productKey) == 0) { value = usb.product; return true; }
        if (std::strcmp (key, manufacturerKey) == 0) { value = usb.manufacturer; return true; }
        return false;
    }

    HidResult setReport (HidReportType type, uint32_t, const uint8_t* data, long length) override
    {
        // Pulled out is gone at once, as for hidraw, even before the removal
        // notice has been handled.
        if (! attached || ! isAccessible() || ! bus.isPlugged (pedal)
            || type != HidReportType::output || length != HidPacket::size)
            return kHidError;

        pedal->receive (data, length);
        return kHidSuccess;
    }

    void registerInputReportCallback (uint8_t* buffer, long length, HidReportCallback callback, void* context) override
    {
        inputBuffer = buffer;
        inputLength = length;
        inputCallback = callback;
        inputContext = context;
    }

    void deliverReport (const HidPacket& report) override
    {
        // Reports reach the live link on the message thread, in order.
        std::weak_ptr<SimulatedHidDevice> weakSelf = shared_from_this();
        juce::MessageManager::callAsync ([weakSelf, report]
        {
            if (auto self = weakSelf.lock())
                self->handOver (report);
        });
    }

    void handOver (const HidPacket& report)
    {
        if (! attached || inputCallback == nullptr || inputBuffer == nullptr)
            return;

        const auto count = std::min<long> (inputLength, HidPacket::size);
        std::memcpy (inputBuffer, report.data(), (size_t) count);
        inputCallback (inputContext, kHidSuccess, this, HidReportType::input, 0, inputBuffer, count);
    }

    std::shared_ptr<PedalSimulator> pedal;
    SimulatedUsbBus& bus;
    std::atomic<bool> attached { true };

private:
    uint8_t* inputBuffer = nullptr;
    long inputLength = 0;
    HidReportCallback inputCallback = nullptr;
    void* inputContext = nullptr;
};

/** The state the posted calls reach through a weak pointer, so a call that
    runs after the manager has gone does nothing. */
struct ManagerCore
{
    explicit ManagerCore (SimulatedUsbBus& b) : bus (b) {}

    SimulatedUsbBus& bus;
    juce::String manufacturer;
    HidDeviceCallback matchingCallback = nullptr;
    void* matchingContext = nullptr;
    HidDeviceCallback removalCallback = nullptr;
    void* removalContext = nullptr;

    std::vector<std::shared_ptr<SimulatedHidDevice>> devices;

    void attach (const std::shared_ptr<PedalSimulator>& pedal)
    {
        if (pedal->identity().manufacturer != manufacturer)
            return;

        for (auto& d : devices)
            if (d->pedal == pedal)
                return;

        auto device = std::make_shared<SimulatedHidDevice> (pedal, bus);
        devices.push_back (device);
        pedal->attachSink (device.get());

        if (matchingCallback != nullptr)
            matchingCallback (matchingContext, kHidSuccess, this, device.get());
    }

    void remove (const std::shared_ptr<PedalSimulator>& pedal)
    {
        auto it = std::find_if (devices.begin(), devices.end(), [&] (auto& d) { return d->pedal == pedal; });
        if (it == devices.end())
            return;

        auto device = *it;
        devices.erase (it);
        device->attached = false;
        pedal->detachSink (device.get());

        if (removalCallback != nullptr)
            removalCallback (removalContext, kHidSuccess, this, device.get());
    }

    void detachAll()
    {
        for (auto& d : devices)
        {
            d->attached = false;
            d->pedal->detachSink (d.get());
        }
        devices.clear();
    }
};

class SimulatedHidManager : public HidManager,
                            private SimulatedUsbBus::Listener
{
public:
    explicit SimulatedHidManager (SimulatedUsbBus& b) : bus (b) {}

    ~SimulatedHidManager() override
    {
        bus.removeListener (this);
        core->detachAll();
    }

    void setDeviceMatching (const juce::String& manufacturer) override { core->manufacturer = manufacturer; }

    void registerDeviceMatchingCallback (HidDeviceCallback callback, void* context) override
    {
        core->matchingCallback = callback;
        core->matchingContext = context;
    }

    void registerDeviceRemovalCallback (HidDeviceCallback callback, void* context) override
    {
        core->removalCallback = callback;
        core->removalContext = context;
    }

    HidResult open() override
    {
        bus.addListener (this);
        for (auto& device : bus.pluggedDevices())
            deviceAttached (device);
        return kHidSuccess;
    }

private:
    void deviceAttached (std::shared_ptr<PedalSimulator> device) override
    {
        std::weak_ptr<ManagerCore> weakCore = core;
        juce::MessageManager::callAsync ([weakCore, device]
        {
            if (auto c = weakCore.lock())
                c->attach (device);
        });
    }

    void deviceRemoved (std::shared_ptr<PedalSimulator> device) override
    {
        std::weak_ptr<ManagerCore> weakCore = core;
        juce::MessageManager::callAsync ([weakCore, device]
        {
            if (auto c = weakCore.lock())
                c->remove (device);
        });
    }

    SimulatedUsbBus& bus;
    std::shared_ptr<ManagerCore> core = std::make_shared<ManagerCore> (bus);
};
} // namespace

SimulatedUsbBus::SimulatedUsbBus() = default;
SimulatedUsbBus::~SimulatedUsbBus() = default;

void SimulatedUsbBus::plug (std::shared_ptr<PedalSimulator> device)
{
    const std::lock_guard<std::recursive_mutex> guard (lock);
    if (std::find (devices.begin(), devices.end(), device) != devices.end())
        return;

    std::weak_ptr<PedalSimulator> weakDevice = device;
    device->onUnplugRequested = [this, weakDevice]
    {
        if (auto d = weakDevice.lock())
            unplug (d);
    };

    devices.push_back (device);
    for (auto* l : listeners)
        l->deviceAttached (device);
}

void SimulatedUsbBus::unplug (const std::shared_ptr<PedalSimulator>& device)
{
    const std::lock_guard<std::recursive_mutex> guard (lock);
    auto it = std::find (devices.begin(), devices.end(), device);
    if (it == devices.end())
        return;

    devices.erase (it);
    for (auto* l : listeners)
        l->deviceRemoved (device);
}

std::vector<std::shared_ptr<PedalSimulator>> SimulatedUsbBus::pluggedDevices() const
{
    const std::lock_guard<std::recursive_mutex> guard (lock);
    return devices;
}

bool SimulatedUsbBus::isPlugged (const std::shared_ptr<PedalSimulator>& device) const
{
    const std::lock_guard<std::recursive_mutex> guard (lock);
    return std::find (devices.begin(), devices.end(), device) != devices.end();
}

std::unique_ptr<HidManager> SimulatedUsbBus::createHidManager()
{
    return std::make_unique<SimulatedHidManager> (*this);
}

void SimulatedUsbBus::addListener (Listener* listener)
{
    const std::lock_guard<std::recursive_mutex> guard (lock);
    listeners.push_back (listener);
}

void SimulatedUsbBus::removeListener (Listener* listener)
{
    const std::lock_guard<std::recursive_mutex> guard (lock);
    listeners.erase (std::remove (listeners.begin(), listeners.end(), listener), listeners.end());
}
} // namespace tessel::sim
