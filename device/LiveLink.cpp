#include "device/LiveLink.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <vector>

#include "device/ProtocolCodes.h"

uint32_t Device = kindNone;

std::atomic<HidDeviceRef> deviceRef { nullptr };
HidManager* managerRef = nullptr;
std::function<std::unique_ptr<HidManager>()> hidManagerFactory = [] { return createPlatformHidManager(); };

namespace
{
std::unique_ptr<HidManager> liveManager;

// Moves on whenever the link changes hands or a frame fails to reach the
// pedal, which ends every LinkSession begun before.
std::atomic<uint32_t> linkGeneration { 0 };

// Moves on only when the link changes hands or the window gives the pedal up.
std::atomic<uint32_t> sessionGeneration { 0 };

/** The link has changed hands: every session begun before is over. */
void nextSession()
{
    ++linkGeneration;
    ++sessionGeneration;
}

// A pedal's input buffer belongs to the link for as long as the device is
// attached; a newer pedal gets its own.
struct AttachedPedal
{
    uint32_t number = 0;
    std::unique_ptr<uint8_t[]> buffer;

    /** Where the transfer link finds this pedal; empty when the platform doesn't say. */
    juce::String devicePath;
};

std::map<HidDeviceRef, AttachedPedal> attachedPedals;

/** A pedal waiting in its update mode: never linked, but a removal that
    sends the window back to its no-device page must not forget it. */
struct WaitingDevice
{
    HidDeviceRef device = nullptr;
    juce::String name;
};

/** In the order they were found, the newest last. */
std::vector<WaitingDevice> updateModeDevices;

void forgetUpdateModeDevice (HidDeviceRef device)
{
    updateModeDevices.erase (std::remove_if (updateModeDevices.begin(), updateModeDevices.end(),
                                             [device] (const WaitingDevice& d) { return d.device == device; }),
                             updateModeDevices.end());
}
// Every CAB interface attached, with the USB device it hangs from (empty
// when not known), whether the link could open it or not: another CAB
// pedal's volume must not be taken for the linked one's.
std::map<HidDeviceRef, juce::String> attachedCabs;

uint32_t lastPedalNumber = 0;
std::atomic<uint32_t> linkedNumber { 0 };

bool readId (HidDevice& device, const char* key, int& id)
{
    int32_t value = 0;
    if (! device.getIntProperty (key, value))
        return false;

    id = value & 0xffff;
    return true;
}

juce::String productNameOf (HidDevice& device)
{
    juce::String product;
    device.getStringProperty (HidDevice::productKey, product);
    return returnCFString (product);
}

/** What the HID manager and every linked pedal tell: devices coming and
    going, and input reports, which reach the window straight on. */
class LiveLink final : public HidManager::Listener,
                       public HidDevice::InputListener
{
public:
    explicit LiveLink (LiveLinkListener& windowToTell)
        : window (windowToTell)
    {
    }

private:
    void deviceMatched (HidDevice& device) override { Handle_DeviceMatchingCallback (device); }
    void deviceRemoved (HidDevice& device) override { Handle_DeviceRemovalCallback (device); }

    void inputReportArrived (HidDevice& device, uint8_t* report, long reportLength) override
    {
        // A pedal that a newer one replaced answers what it was asked before:
        // taken for the newer's, its answers would drive the newer's connection.
        if (&device == deviceRef.load())
            window.reportArrived (report, reportLength);
    }

    void Handle_DeviceMatchingCallback (HidDevice& device);
    void Handle_DeviceRemovalCallback (HidDevice& device);

    LiveLinkListener& window;
};

// Outlives the manager, which tells it, and the devices, which the manager owns.
std::unique_ptr<LiveLink> liveLink;
} // namespace

LinkSession::LinkSession()
    : device (deviceRef.load()),
      generation (linkGeneration.load()),
      session (sessionGeneration.load())
{
}

bool LinkSession::isIntact() const
{
    return isCurrent() && linkGeneration.load() == generation;
}

bool LinkSession::isCurrent() const
{
    return device != nullptr && deviceRef.load() == device && sessionGeneration.load() == session;
}

void startLiveLink (LiveLinkListener& listener)
{
    stopLiveLink();

    liveManager = hidManagerFactory();
    managerRef = liveManager.get();

    if (managerRef == nullptr)
        return;

    liveLink = std::make_unique<LiveLink> (listener);
    managerRef->setDeviceMatching (Usb::manufacturer);
    managerRef->setListener (liveLink.get());

    if (managerRef->open() != kHidSuccess)
        printf ("The USB device watcher could not start; no pedal will be found.\n");
}

void stopLiveLink()
{
    deviceRef = nullptr;
    linkedNumber = 0;
    nextSession();
    managerRef = nullptr;
    liveManager.reset();
    attachedPedals.clear();
    updateModeDevices.clear();
    attachedCabs.clear();
    liveLink.reset();
}

void sendLiveFrame (const HidPacket& packet)
{
    auto* device = deviceRef.load();
    if (device == nullptr)
        return;

    if (device->setReport (HidReportType::output, 0, packet.data(), HidPacket::size) != kHidSuccess)
    {
        printf ("error");
        ++linkGeneration;
    }
}

uint32_t linkedPedal()
{
    return linkedNumber.load();
}

bool sendFrameToPedal (uint32_t number, const HidPacket& packet)
{
    for (const auto& [device, pedal] : attachedPedals)
    {
        if (number == 0 || pedal.number != number)
            continue;

        if (device == deviceRef.load())
        {
            sendLiveFrame (packet);
            return true;
        }

        if (device->setReport (HidReportType::output, 0, packet.data(), HidPacket::size) == kHidSuccess)
            return true;

        printf ("error");
        return false;
    }

    return false;
}

juce::String devicePathOfPedal (uint32_t number)
{
    for (const auto& [device, pedal] : attachedPedals)
        if (number != 0 && pedal.number == number)
            return pedal.devicePath;

    return {};
}

void endLinkSessions()
{
    nextSession();
}

juce::String linkedPedalUsbDevice()
{
    juce::String usbDevice;

    if (auto* device = deviceRef.load();
        device == nullptr || ! device->getStringProperty (HidDevice::usbDeviceKey, usbDevice))
        return {};

    return usbDevice;
}

int attachedCabPedals()
{
    juce::StringArray usbDevices;
    int unknown = 0;

    for (const auto& [device, usbDevice] : attachedCabs)
    {
        if (usbDevice.isEmpty())
            ++unknown;
        else
            usbDevices.addIfNotAlreadyThere (usbDevice);
    }

    return usbDevices.size() + unknown;
}

juce::String returnCFString (const juce::String& text)
{
    const auto utf8 = text.toStdString();
    printf ("%.*s\n\n", (int) utf8.size(), utf8.c_str());
    return text;
}

juce::String trimProductName (const juce::String& productName)
{
    return productName.trimCharactersAtStart ("KORVEL ");
}

void LiveLink::Handle_DeviceMatchingCallback (HidDevice& device)
{
    int vendorId = 0, productId = 0;
    if (! readId (device, HidDevice::vendorIdKey, vendorId) || ! readId (device, HidDevice::productIdKey, productId))
        return;

    if (vendorId == Usb::updateModeVendorId && productId == Usb::updateModeProductId)
    {
        // A pedal in its update mode is told about but never linked.
        const auto name = productNameOf (device);
        forgetUpdateModeDevice (&device);
        updateModeDevices.push_back ({ &device, name });
        window.updateModeDeviceFound (name);
        return;
    }

    if (vendorId != Usb::korvelVendorId || productId < Usb::firstPedalProductId || productId > Usb::lastPedalProductId)
        return;

    const auto name = trimProductName (productNameOf (device));
    const bool cab = productId == Usb::cabProductId;

    if (cab)
        device.getStringProperty (HidDevice::usbDeviceKey, attachedCabs[&device]);

    if (! device.isAccessible())
    {
        window.pedalInaccessible (name);

        if (cab)
            window.cabPedalsChanged();

        return;
    }

    auto& pedal = attachedPedals[&device];
    pedal.number = ++lastPedalNumber;
    pedal.buffer.reset (new uint8_t[HidPacket::size]());
    device.getStringProperty (HidDevice::devicePathKey, pedal.devicePath);

    // Linked before the window hears of it, so that what the window starts
    // for the pedal belongs to it, and what it ends belongs to the one before.
    deviceRef = &device;
    linkedNumber = pedal.number;
    nextSession();
    device.setInputListener (this, pedal.buffer.get(), HidPacket::size);

    window.pedalMatched (name);

    sendLiveFrame (HidPacket::command (Command::identify));

    if (cab)
        window.cabPedalsChanged();
}

void LiveLink::Handle_DeviceRemovalCallback (HidDevice& device)
{
    // The manager keeps the device alive until this returns, and reports
    // from it can no longer arrive, so its buffer can go now.
    attachedPedals.erase (&device);
    forgetUpdateModeDevice (&device);
    const bool cab = attachedCabs.erase (&device) != 0;

    // A pedal that a newer one replaced goes quietly: the newer stays linked.
    const auto* linked = deviceRef.load();
    if (linked == nullptr || linked == &device)
    {
        deviceRef = nullptr;
        linkedNumber = 0;
        nextSession();
        window.pedalRemoved();

        // The removal empties the no-device page. A pedal still waiting in its
        // update mode must get its firmware button back, or the user, told to
        // unplug the other of two such pedals, could not update the one left.
        if (! updateModeDevices.empty())
            window.updateModeDeviceFound (updateModeDevices.back().name);
    }

    if (cab)
        window.cabPedalsChanged();
}
