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

    /** Its product name without the manufacturer's prefix. */
    juce::String name;
};

std::map<HidDeviceRef, AttachedPedal> attachedPedals;

/** A device told about but never linked: a pedal waiting in its update
    mode, or one this user may not open. A removal that sends the window
    back to its no-device page must not forget it. */
struct WaitingDevice
{
    HidDeviceRef device = nullptr;
    juce::String name;
    bool updateMode = false;
};

/** In the order they were found, the newest last. */
std::vector<WaitingDevice> waitingDevices;

void forgetWaitingDevice (HidDeviceRef device)
{
    waitingDevices.erase (std::remove_if (waitingDevices.begin(), waitingDevices.end(),
                                          [device] (const WaitingDevice& d) { return d.device == device; }),
                          waitingDevices.end());
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

    /** Makes an attached pedal the live one, under a new number, and asks it to identify itself. */
    void linkPedal (HidDevice& device, AttachedPedal& pedal);

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
    waitingDevices.clear();
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
        forgetWaitingDevice (&device);
        waitingDevices.push_back ({ &device, name, true });
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
        forgetWaitingDevice (&device);
        waitingDevices.push_back ({ &device, name, false });
        window.pedalInaccessible (name);

        if (cab)
            window.cabPedalsChanged();

        return;
    }

    auto& pedal = attachedPedals[&device];
    pedal.buffer.reset (new uint8_t[HidPacket::size]());
    pedal.name = name;
    device.getStringProperty (HidDevice::devicePathKey, pedal.devicePath);

    linkPedal (device, pedal);

    if (cab)
        window.cabPedalsChanged();
}

void LiveLink::linkPedal (HidDevice& device, AttachedPedal& pedal)
{
    // Linked before the window hears of it, so that what the window starts
    // for the pedal belongs to it, and what it ends belongs to the one before.
    pedal.number = ++lastPedalNumber;
    deviceRef = &device;
    linkedNumber = pedal.number;
    nextSession();
    device.setInputListener (this, pedal.buffer.get(), HidPacket::size);

    window.pedalMatched (pedal.name);

    sendLiveFrame (HidPacket::command (Command::identify));
}

void LiveLink::Handle_DeviceRemovalCallback (HidDevice& device)
{
    // The manager keeps the device alive until this returns, and reports
    // from it can no longer arrive, so its buffer can go now.
    attachedPedals.erase (&device);
    forgetWaitingDevice (&device);
    const bool cab = attachedCabs.erase (&device) != 0;

    // A pedal that a newer one replaced goes quietly: the newer stays linked.
    const auto* linked = deviceRef.load();
    if (linked == nullptr || linked == &device)
    {
        deviceRef = nullptr;
        linkedNumber = 0;
        nextSession();
        window.pedalRemoved();

        // A pedal still attached (the one a newer pedal replaced) is served
        // again, as if it had just been plugged in: the newest of them.
        const auto newest =
            std::max_element (attachedPedals.begin(), attachedPedals.end(),
                              [] (const auto& a, const auto& b) { return a.second.number < b.second.number; });
        if (newest != attachedPedals.end())
        {
            linkPedal (*newest->first, newest->second);
        }
        else if (! waitingDevices.empty())
        {
            // The removal empties the no-device page. The device found last
            // that is still attached is told again: a pedal waiting in its
            // update mode gets its firmware button back (or the user, told to
            // unplug the other of two such pedals, could not update the one
            // left), and one this user may not open the advice on access.
            const auto waiting = waitingDevices.back();
            if (waiting.updateMode)
                window.updateModeDeviceFound (waiting.name);
            else
                window.pedalInaccessible (waiting.name);
        }
    }

    if (cab)
        window.cabPedalsChanged();
}
