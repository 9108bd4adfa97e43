#pragma once

#include <cstdint>
#include <memory>

#include <juce_core/juce_core.h>

// The small HID layer the live link stands on. It gives exactly what the
// editor needs of the operating system's HID manager: notices when a device of
// our manufacturer is attached or removed (with its IDs and strings), its
// 64-byte input reports delivered on the message thread, and a way to send a
// 64-byte output report. A Linux implementation (udev + /dev/hidraw) serves
// real users; tests use a simulated one fed by the pedal simulator.

using HidResult = int;
constexpr HidResult kHidSuccess = 0;
constexpr HidResult kHidError = -1;

enum class HidReportType
{
    input,
    output
};

class HidDevice;
using HidDeviceRef = HidDevice*;

/** One attached HID device. The manager owns it; a HidDeviceRef stays valid
    until the device has been removed and its removal notice has returned. */
class HidDevice
{
public:
    /** Hears one device's input reports. */
    class InputListener
    {
    public:
        virtual ~InputListener() = default;

        /** One input report of the device, copied into the buffer handed
            over with the listener and cut to its length, on the message
            thread. The next report reuses the buffer. */
        virtual void inputReportArrived (HidDevice& device, uint8_t* report, long reportLength) = 0;
    };

    virtual ~HidDevice() = default;

    // Property keys, as the OS names them.
    static constexpr const char* vendorIdKey = "VendorID";
    static constexpr const char* productIdKey = "ProductID";
    static constexpr const char* productKey = "Product";
    static constexpr const char* manufacturerKey = "Manufacturer";

    /** Text: the USB device the interface hangs from, the same text the
        disk layer gives for a volume of that device (DiskDescription::
        usbDevice). Missing when unknown. */
    static constexpr const char* usbDeviceKey = "USBDevice";

    /** Where hidapi finds this very device (hid_open_path): on Linux its
        /dev/hidrawN node. Two pedals of one kind share their IDs, so this
        is what tells them apart. */
    static constexpr const char* devicePathKey = "DevicePath";

    /** A numeric property; false when the device has none (or it isn't a number). */
    virtual bool getIntProperty (const char* key, int32_t& value) const = 0;

    /** A text property; false when the device has none. */
    virtual bool getStringProperty (const char* key, juce::String& value) const = 0;

    /** Sends one output report. The report ID goes on the wire in front of
        the data, so a 64-byte report with ID 0 travels as 65 bytes. */
    virtual HidResult setReport (HidReportType type, uint32_t reportID, const uint8_t* data, long length) = 0;

    /** From now on each input report of this device is copied into buffer
        (up to length bytes) and the listener told. A null listener stops
        the reading. */
    virtual void setInputListener (InputListener* listener, uint8_t* buffer, long length) = 0;

    /** False when the system shows the device but won't let this user open
        it (on Linux: no udev rule grants access to its node). Such a device
        is still reported, so the user can be told; every send to it fails. */
    virtual bool isAccessible() const { return true; }
};

/** Finds the devices of one manufacturer and follows them while the program runs. */
class HidManager
{
public:
    /** Hears the devices come and go. Every notice arrives on the message thread. */
    class Listener
    {
    public:
        virtual ~Listener() = default;

        /** A device of the wanted manufacturer is attached (or was when the
            manager opened). */
        virtual void deviceMatched (HidDevice& device) = 0;

        /** A matched device has been removed. It stays whole until this
            returns, then the manager deletes it. */
        virtual void deviceRemoved (HidDevice& device) = 0;
    };

    virtual ~HidManager() = default;

    /** Only devices whose manufacturer string is exactly this are reported. */
    virtual void setDeviceMatching (const juce::String& manufacturer) = 0;

    virtual void setListener (Listener* listener) = 0;

    /** Starts watching. Devices that are already attached are reported
        as matched once the message loop runs.
        Returns kHidSuccess, or kHidError when the layer cannot start. */
    virtual HidResult open() = 0;
};

/** The implementation for this platform: udev and /dev/hidraw on Linux. */
std::unique_ptr<HidManager> createPlatformHidManager();
