#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The decisions the Linux HID layer makes from text that udev and sysfs give
// it, kept apart from libudev and /dev/hidraw so they can be checked on
// recorded text on any machine.

namespace tessel::linuxhid
{
/** A USB vendor or product ID as sysfs writes it in idVendor/idProduct
    ("7c5a", sometimes with a trailing newline when read raw): one to four hex
    digits of either case. Anything else gives nothing. */
std::optional<int32_t> parseUsbId (std::string_view text);

/** Undoes udev's escaping in properties such as ID_VENDOR_ENC and ID_MODEL_ENC,
    where every byte udev considers unsafe (spaces, slashes, backslashes...)
    is written as \xNN. A backslash that doesn't start a well-formed escape is
    kept as it is. The result is the original bytes, normally UTF-8. */
std::string decodeUdevEscapes (std::string_view encoded);

/** What udev shows us about the USB device a hidraw node belongs to. Each field
    is empty when the attribute or property isn't there; all of them are empty
    when the node has no USB parent at all (Bluetooth, I2C, uhid...). */
struct UsbParentText
{
    // The parent's sysfs attributes, read as plain text.
    std::optional<std::string> idVendor;
    std::optional<std::string> idProduct;
    std::optional<std::string> manufacturer;
    std::optional<std::string> product;

    // The same parent's properties from udev's database (ID_VENDOR_ID,
    // ID_MODEL_ID, ID_VENDOR_ENC, ID_MODEL_ENC), present when udevd has
    // processed the device.
    std::optional<std::string> vendorIdProperty;
    std::optional<std::string> modelIdProperty;
    std::optional<std::string> vendorEncProperty;
    std::optional<std::string> modelEncProperty;

    // The parent's own sysfs path: which USB device the node hangs from.
    std::optional<std::string> sysPath {};
};

/** The properties a device shows through HidDevice; empty ones are missing. */
struct HidProperties
{
    std::optional<int32_t> vendorId;
    std::optional<int32_t> productId;
    std::optional<std::string> manufacturer;
    std::optional<std::string> product;

    // The USB device's sysfs path (HidDevice::usbDeviceKey).
    std::optional<std::string> usbDevice {};
};

/** Works out a device's properties. The sysfs attributes are what we trust;
    udev's database only fills in what sysfs didn't give (udev copies it from
    the same USB descriptors). udev puts the hex ID in ID_VENDOR_ENC or
    ID_MODEL_ENC when the device has no such string; that stand-in is not
    taken for a name. */
HidProperties propertiesOf (const UsbParentText& parent);

/** True when the device's manufacturer string is exactly the wanted one. A
    device without a manufacturer string never matches. */
bool matchesManufacturer (const HidProperties& properties, std::string_view wantedManufacturer);

/** After opening /dev/hidrawN failed with errorNumber for the failedAttempts-th
    time, how long to wait before trying again; nothing once it's time to give
    up. Right after a pedal is plugged in the node can exist before udev has
    given the logged-in user access to it, so permission errors are retried for
    about a second; other errors aren't going to go away. */
std::optional<int> delayBeforeOpenRetryMs (int errorNumber, int failedAttempts);
} // namespace tessel::linuxhid
