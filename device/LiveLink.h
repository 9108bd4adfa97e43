#pragma once

#include <atomic>
#include <functional>
#include <memory>

#include "device/HidPacket.h"
#include "device/platform/HidManager.h"

class MainContentComponent;

// The live link: the one pedal the editor works with, followed through the
// platform's HID manager. Everything here runs on the message thread; the
// one exception is a sender called from a transfer job, which only reads
// deviceRef, hence the atomic.

/** The live pedal, or null while none is linked. */
extern std::atomic<HidDeviceRef> deviceRef;

/** Counts the pedals the live link has taken. A job that spans a removal
    compares it to tell the pedal it started with from one plugged in since
    (which may even get the same device reference). */
extern std::atomic<uint32_t> linkedPedalCount;

/** The HID manager of the live link, created once at start-up. */
extern HidManager* managerRef;

/** Where start-up gets its HID manager from; tests swap in a simulated one. */
extern std::function<std::unique_ptr<HidManager>()> hidManagerFactory;

/** Creates the HID manager, filters it to our manufacturer and registers the
    matching and removal callbacks with the hub as their context. A pedal that
    is already plugged in is reported once the message loop runs. */
void startLiveLink (MainContentComponent& hub);

/** Drops the HID manager (and with it every device it reported). */
void stopLiveLink();

/** The live sending path: sends the frame as output report 0 on deviceRef.
    With no pedal nothing is sent; a failed send prints "error". */
void sendLiveFrame (const HidPacket& packet);

void Handle_DeviceMatchingCallback (void* context, HidResult result, void* sender, HidDeviceRef device);
void Handle_DeviceRemovalCallback (void* context, HidResult result, void* sender, HidDeviceRef device);

/** Prints a device's text property followed by an empty line and hands it back. */
juce::String returnCFString (const juce::String& text);

/** Drops from the start of a product name every character that belongs to
    the set "KORVEL " (a set of characters, not a prefix). */
juce::String trimProductName (const juce::String& productName);
