#include "device/LiveLink.h"

#include <cstdio>
#include <map>

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

// Each pedal's input buffer belongs to the link for as long as the device is
// attached; a newer pedal gets its own.
std::map<HidDeviceRef, std::unique_ptr<uint8_t[]>> inputBuffers;

bool readId (HidDeviceRef device, const char* key, int& id)
{
    int32_t value = 0;
    if (! device->getIntProperty (key, value))
        return false;

    id = value & 0xffff;
    return true;
}

juce::String productNameOf (HidDeviceRef device)
{
    juce::String product;
    device->getStringProperty (HidDevice::productKey, product);
    return returnCFString (product);
}

LiveLinkListener& listenerOf (void* context)
{
    return *static_cast<LiveLinkListener*> (context);
}

void deliverReport (void* context, HidResult, void*, HidReportType, uint32_t, uint8_t* report, long reportLength)
{
    listenerOf (context).reportArrived (report, reportLength);
}
} // namespace

LinkSession::LinkSession()
    : device (deviceRef.load()), generation (linkGeneration.load())
{
}

bool LinkSession::isIntact() const
{
    return device != nullptr && deviceRef.load() == device && linkGeneration.load() == generation;
}

void startLiveLink (LiveLinkListener& listener)
{
    stopLiveLink();

    liveManager = hidManagerFactory();
    managerRef = liveManager.get();

    if (managerRef == nullptr)
        return;

    managerRef->setDeviceMatching (Usb::manufacturer);
    managerRef->registerDeviceMatchingCallback (Handle_DeviceMatchingCallback, &listener);
    managerRef->registerDeviceRemovalCallback (Handle_DeviceRemovalCallback, &listener);

    if (managerRef->open() != kHidSuccess)
        printf ("The USB device watcher could not start; no pedal will be found.\n");
}

void stopLiveLink()
{
    deviceRef = nullptr;
    ++linkGeneration;
    managerRef = nullptr;
    liveManager.reset();
    inputBuffers.clear();
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

void Handle_DeviceMatchingCallback (void* context, HidResult, void*, HidDeviceRef device)
{
    if (device == nullptr)
        return;

    int vendorId = 0, productId = 0;
    if (! readId (device, HidDevice::vendorIdKey, vendorId) || ! readId (device, HidDevice::productIdKey, productId))
        return;

    if (vendorId == Usb::updateModeVendorId && productId == Usb::updateModeProductId)
    {
        // A pedal in its update mode is told about but never linked.
        listenerOf (context).updateModeDeviceFound (productNameOf (device));
        return;
    }

    if (vendorId != Usb::korvelVendorId || productId < Usb::firstPedalProductId || productId > Usb::lastPedalProductId)
        return;

    const auto name = trimProductName (productNameOf (device));

    if (! device->isAccessible())
    {
        listenerOf (context).pedalInaccessible (name);
        return;
    }

    listenerOf (context).pedalMatched (name);

    deviceRef = device;
    ++linkGeneration;

    auto& buffer = inputBuffers[device];
    buffer.reset (new uint8_t[HidPacket::size]());
    device->registerInputReportCallback (buffer.get(), HidPacket::size, deliverReport, context);

    sendLiveFrame (HidPacket::command (Command::identify));
}

void Handle_DeviceRemovalCallback (void* context, HidResult, void*, HidDeviceRef device)
{
    // The manager keeps the device alive until this callback returns, and
    // reports from it can no longer arrive, so its buffer can go now.
    inputBuffers.erase (device);

    // A pedal that a newer one replaced goes quietly: the newer stays linked.
    const auto* linked = deviceRef.load();
    if (linked != nullptr && linked != device)
        return;

    deviceRef = nullptr;
    ++linkGeneration;
    listenerOf (context).pedalRemoved();
}
