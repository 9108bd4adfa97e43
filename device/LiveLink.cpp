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

// Moves on only when the link changes hands or the window gives the pedal up.
std::atomic<uint32_t> sessionGeneration { 0 };

/** The link has changed hands: every session begun before is over. */
void nextSession()
{
    ++linkGeneration;
    ++sessionGeneration;
}

// A pedal's input buffer belongs to the link for as long as the device is
// attached; a newer pedal gets its own. The entry is also the context of the
// pedal's input callback.
struct AttachedPedal
{
    HidDeviceRef device = nullptr;
    uint32_t number = 0;
    LiveLinkListener* listener = nullptr;
    std::unique_ptr<uint8_t[]> buffer;
};

std::map<HidDeviceRef, std::unique_ptr<AttachedPedal>> attachedPedals;

uint32_t lastPedalNumber = 0;
std::atomic<uint32_t> linkedNumber { 0 };

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
    // A pedal that a newer one replaced answers what it was asked before:
    // taken for the newer's, its answers would drive the newer's connection.
    const auto& pedal = *static_cast<AttachedPedal*> (context);
    if (pedal.device != deviceRef.load())
        return;

    pedal.listener->reportArrived (report, reportLength);
}
} // namespace

LinkSession::LinkSession()
    : device (deviceRef.load()), generation (linkGeneration.load()), session (sessionGeneration.load())
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

    managerRef->setDeviceMatching (Usb::manufacturer);
    managerRef->registerDeviceMatchingCallback (Handle_DeviceMatchingCallback, &listener);
    managerRef->registerDeviceRemovalCallback (Handle_DeviceRemovalCallback, &listener);

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
        if (number == 0 || pedal->number != number)
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

void endLinkSessions()
{
    nextSession();
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

    auto& pedal = attachedPedals[device];
    pedal = std::make_unique<AttachedPedal>();
    pedal->device = device;
    pedal->number = ++lastPedalNumber;
    pedal->listener = &listenerOf (context);
    pedal->buffer.reset (new uint8_t[HidPacket::size]());

    // Linked before the window hears of it, so that what the window starts
    // for the pedal belongs to it, and what it ends belongs to the one before.
    deviceRef = device;
    linkedNumber = pedal->number;
    nextSession();
    device->registerInputReportCallback (pedal->buffer.get(), HidPacket::size, deliverReport, pedal.get());

    listenerOf (context).pedalMatched (name);

    sendLiveFrame (HidPacket::command (Command::identify));
}

void Handle_DeviceRemovalCallback (void* context, HidResult, void*, HidDeviceRef device)
{
    // The manager keeps the device alive until this callback returns, and
    // reports from it can no longer arrive, so its buffer can go now.
    attachedPedals.erase (device);

    // A pedal that a newer one replaced goes quietly: the newer stays linked.
    const auto* linked = deviceRef.load();
    if (linked != nullptr && linked != device)
        return;

    deviceRef = nullptr;
    linkedNumber = 0;
    nextSession();
    listenerOf (context).pedalRemoved();
}
