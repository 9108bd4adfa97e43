#pragma once

#include <atomic>
#include <functional>
#include <memory>

#include "device/HidPacket.h"
#include "device/platform/HidManager.h"

/** What the live link tells the window above it. The link only finds and
    follows the pedal; what a pedal or a report means for the window is
    decided up there. Every call comes on the message thread. */
class LiveLinkListener
{
public:
    virtual ~LiveLinkListener() = default;

    /** A pedal in its normal mode has been matched and linked (it is
        deviceRef already, and linkedPedal() numbers it); `name` is its
        product name without the manufacturer's prefix. The identify command
        goes out once this returns. Told again, right after pedalRemoved, for
        the newest pedal still attached, under a new number. */
    virtual void pedalMatched (const juce::String& name) = 0;

    /** A pedal waiting in its update mode has been found; it is not linked.
        Told again, right after pedalRemoved, when no pedal is linked in its
        stead and it is the device found last of those still attached (it or
        one this user may not open), since the removal empties the no-device
        page. */
    virtual void updateModeDeviceFound (const juce::String& name) = 0;

    /** One input report from the linked pedal, checksum not yet checked.
        A pedal that a newer one replaced may still be attached and sending:
        its reports are never told. */
    virtual void reportArrived (uint8_t* report, long reportLength) = 0;

    /** A pedal has been found that this user may not open; it is not
        linked. Told again after a removal as updateModeDeviceFound is. */
    virtual void pedalInaccessible (const juce::String& name) = 0;

    /** The linked pedal has been removed, or, with none linked, any device
        that was told about. The removal of a pedal that a newer one has
        replaced is not told: the newer stays linked. */
    virtual void pedalRemoved() = 0;

    /** A CAB pedal has been attached or removed, linked or not, openable or
        not; attachedCabPedals() counts them now. Told after the notice of
        the same change above, if any. */
    virtual void cabPedalsChanged() {}
};

/** Which pedal was linked when an operation began. An operation that waits
    for the user (a prompt, a chooser) or sends a run of frames asks it
    afterwards whether that pedal is still linked and has taken every frame
    sent since; the message loop runs during a modal wait, so the pedal may
    have gone or been replaced meanwhile. */
class LinkSession
{
public:
    LinkSession();

    /** True while the same pedal is linked and no send to it has failed. */
    bool isIntact() const;

    /** True while the same pedal is linked and the window still works with
        it: no other pedal has been linked since, and the window has not
        given it up (endLinkSessions). A failed send alone doesn't end it.
        What a job or timer started for a pedal does to a page, or sends,
        at its end asks this first. */
    bool isCurrent() const;

private:
    HidDeviceRef device;
    uint32_t generation;
    uint32_t session;
};

// The live link: the one pedal the editor works with, followed through the
// platform's HID manager. Everything here runs on the message thread; the
// one exception is a sender called from a transfer job, which only reads
// deviceRef, hence the atomic.

/** The live pedal, or null while none is linked. */
extern std::atomic<HidDeviceRef> deviceRef;

/** The kind of the identified pedal (a DeviceKind). Only the identity reply
    writes it; after a removal it keeps the last kind until the next one. */
extern uint32_t Device;

/** The HID manager of the live link, created once at start-up. */
extern HidManager* managerRef;

/** Where start-up gets its HID manager from; tests swap in a simulated one. */
extern std::function<std::unique_ptr<HidManager>()> hidManagerFactory;

/** Creates the HID manager, filters it to our manufacturer and starts
    following the pedals for the listener. A pedal that is already plugged in
    is reported once the message loop runs. */
void startLiveLink (LiveLinkListener& listener);

/** Drops the HID manager (and with it every device it reported). */
void stopLiveLink();

/** The live sending path: sends the frame as output report 0 on deviceRef.
    With no pedal nothing is sent; a failed send prints "error" and ends
    every LinkSession open at the time. */
void sendLiveFrame (const HidPacket& packet);

/** The number the link gave the pedal it has now (each pedal linked gets a
    new one, never reused), or 0 while none is linked. */
uint32_t linkedPedal();

/** Sends the frame to the pedal with this number, linked or not, as long as
    it is still attached; returns whether it went out. A pedal that a newer
    one replaced can still be told to stop what it was doing. */
bool sendFrameToPedal (uint32_t pedal, const HidPacket& packet);

/** Where hidapi finds the pedal with this number (its device path), while
    it is attached; empty when it has gone or the platform doesn't say. The
    transfer jobs open their pedal by it: a second pedal of the same kind has
    the same IDs. */
juce::String devicePathOfPedal (uint32_t pedal);

/** Ends every LinkSession open now (neither intact nor current any more),
    though the pedal stays linked: the window has given it up (its volume
    went, it never answered). */
void endLinkSessions();

/** The USB device the linked pedal hangs from (HidDevice::usbDeviceKey), by
    which its volume is known; empty while none is linked or it is not known.
    Message thread only. */
juce::String linkedPedalUsbDevice();

/** How many CAB pedals are attached now, linked or not, openable or not.
    A pedal is counted once however many HID interfaces it shows: by the USB
    device they hang from, where the platform says. Message thread only. */
int attachedCabPedals();

/** Prints a device's text property followed by an empty line and hands it back. */
juce::String returnCFString (const juce::String& text);

/** Drops from the start of a product name every character that belongs to
    the set "KORVEL " (a set of characters, not a prefix). */
juce::String trimProductName (const juce::String& productName);
