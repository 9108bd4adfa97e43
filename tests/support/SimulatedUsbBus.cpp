#include "support/SimulatedUsbBus.h"

#include <juce_events/juce_events.h>

namespace tessel::sim
{
namespace
{
std::atomic<int> offThreadSends { 0 };

/** One device as the simulated HID manager presents it to the live link. */
class SimulatedHidDevice : public HidDevice,
                           public ReportSink,
                           public std::enable_shared_from_this<SimulatedHidDevice>
{
public:
    SimulatedHidDevice (std::shared_ptr<PedalSimulator> p, SimulatedUsbBus& b)
        : pedal (std::move (p)),
          bus (b)
    {
    }

    bool isAccessible() const override { return pedal->identity().accessible; }

    bool getIntProperty (const char* key, int32_t& value) const override
    {
        const bool vendor = std::strcmp (key, vendorIdKey) == 0, product = std::strcmp (key, productIdKey) == 0;
        value = vendor ? pedal->identity().vendorId : product ? pedal->identity().productId : value;
        return vendor || product;
    }

    bool getStringProperty (const char* key, juce::String& value) const override
    {
        if (std::strcmp (key, usbDeviceKey) == 0)
        {
            value = pedal->identity().usbDevice;
            return value.isNotEmpty();
        }

        if (std::strcmp (key, devicePathKey) == 0)
        {
            value = pedal->devicePath();
            return true;
        }

        const bool product = std::strcmp (key, productKey) == 0, maker = std::strcmp (key, manufacturerKey) == 0;
        value = product ? pedal->identity().product : maker ? pedal->identity().manufacturer : value;
        return product || maker;
    }

    HidResult setReport (HidReportType type, uint32_t, const uint8_t* data, long length) override
    {
        // Pulled out is gone at once, as for hidraw, even before the removal notice has been handled.
        if (! attached || ! isAccessible() || ! bus.isPlugged (pedal) || type != HidReportType::output
            || length != HidPacket::size)
            return kHidError;

        if (! juce::MessageManager::existsAndIsCurrentThread())
            ++offThreadSends;

        pedal->receive (data, length);
        return kHidSuccess;
    }

    void setInputListener (InputListener* listener, uint8_t* buffer, long length) override
    {
        input = { buffer, length, listener };
    }

    void deliverReport (const HidPacket& report) override
    {
        // Reports reach the live link on the message thread, in order.
        juce::MessageManager::callAsync (
            [weakSelf = weak_from_this(), report]
            {
            auto self = weakSelf.lock();
            if (self == nullptr || ! self->attached || self->input.listener == nullptr)
                return;

            const auto count = std::min<long> (self->input.length, HidPacket::size);
            std::memcpy (self->input.buffer, report.data(), (size_t) count);
            self->input.listener->inputReportArrived (*self, self->input.buffer, count);
        });
    }

    std::shared_ptr<PedalSimulator> pedal;
    SimulatedUsbBus& bus;
    std::atomic<bool> attached { true };

private:
    struct
    {
        uint8_t* buffer;
        long length;
        InputListener* listener;
    } input {};
};

class SimulatedHidManager : public HidManager,
                            private SimulatedUsbBus::Listener
{
public:
    explicit SimulatedHidManager (SimulatedUsbBus& b)
        : bus (b)
    {
    }

    ~SimulatedHidManager() override
    {
        bus.removeListener (this);
        for (auto& d : devices)
            detach (*d);
    }

    void setDeviceMatching (const juce::String& m) override { manufacturer = m; }

    void setListener (HidManager::Listener* listenerToTell) override { listener = listenerToTell; }

    HidResult open() override
    {
        bus.addListener (this);
        for (auto& device : bus.pluggedDevices())
            deviceAttached (device);
        return kHidSuccess;
    }

private:
    /** Runs on the message thread, as udev's notices do, unless the manager has gone by then. */
    template <typename Action>
    void post (Action action)
    {
        juce::MessageManager::callAsync (
            [alive = std::weak_ptr<bool> (token), action]
            {
            if (! alive.expired())
                action();
        });
    }

    void deviceAttached (std::shared_ptr<PedalSimulator> pedal) override
    {
        post (
            [this, pedal]
            {
            if (pedal->identity().manufacturer != manufacturer || find (pedal) != devices.end())
                return;

            devices.push_back (std::make_shared<SimulatedHidDevice> (pedal, bus));
            pedal->attachSink (devices.back().get());
            if (listener != nullptr)
                listener->deviceMatched (*devices.back());
        });
    }

    void deviceRemoved (std::shared_ptr<PedalSimulator> pedal) override
    {
        post (
            [this, pedal]
            {
            if (auto it = find (pedal); it != devices.end())
            {
                auto device = *it;
                devices.erase (it);
                detach (*device);
                if (listener != nullptr)
                    listener->deviceRemoved (*device);
            }
        });
    }

    std::vector<std::shared_ptr<SimulatedHidDevice>>::iterator find (const std::shared_ptr<PedalSimulator>& pedal)
    {
        return std::find_if (devices.begin(), devices.end(), [&] (auto& d) { return d->pedal == pedal; });
    }

    static void detach (SimulatedHidDevice& device)
    {
        device.attached = false;
        device.pedal->detachSink (&device);
    }

    SimulatedUsbBus& bus;
    juce::String manufacturer;
    HidManager::Listener* listener = nullptr;
    std::vector<std::shared_ptr<SimulatedHidDevice>> devices;
    std::shared_ptr<bool> token = std::make_shared<bool>();
};
} // namespace

int liveLinkSendsOffTheMessageThread()
{
    return offThreadSends;
}

void SimulatedUsbBus::plug (std::shared_ptr<PedalSimulator> device)
{
    const std::lock_guard<std::recursive_mutex> guard (lock);
    if (std::find (devices.begin(), devices.end(), device) != devices.end())
        return;

    device->onUnplugRequested = [this, weakDevice = std::weak_ptr<PedalSimulator> (device)]
    {
        if (auto d = weakDevice.lock())
            unplug (d);
    };

    devices.push_back (device);
    listeners.tell ([&] (Listener& l) { l.deviceAttached (device); });
}

void SimulatedUsbBus::unplug (const std::shared_ptr<PedalSimulator>& device)
{
    const std::lock_guard<std::recursive_mutex> guard (lock);
    if (! isPlugged (device))
        return;

    devices.erase (std::find (devices.begin(), devices.end(), device));
    listeners.tell ([&] (Listener& l) { l.deviceRemoved (device); });
}

std::unique_ptr<HidManager> SimulatedUsbBus::createHidManager()
{
    return std::make_unique<SimulatedHidManager> (*this);
}
} // namespace tessel::sim
