#include "device/platform/LinuxHidParsing.h"

#include <cerrno>

namespace tessel::linuxhid
{
namespace
{
int hexDigitValue (char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';

    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;

    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;

    return -1;
}

bool isSpace (char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

std::string_view trimmed (std::string_view text)
{
    while (! text.empty() && isSpace (text.front()))
        text.remove_prefix (1);

    while (! text.empty() && isSpace (text.back()))
        text.remove_suffix (1);

    return text;
}

// sysfs text read straight from the file ends in a newline that libudev would
// have stripped; names are otherwise compared byte for byte.
std::string withoutTrailingNewlines (std::string text)
{
    while (! text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();

    return text;
}

std::optional<std::string> nameFromDatabase (const std::optional<std::string>& encoded,
                                             const std::optional<int32_t>& id)
{
    if (! encoded.has_value())
        return std::nullopt;

    auto decoded = decodeUdevEscapes (*encoded);

    // udev's usb_id writes the ID in hex where the device has no string.
    if (id.has_value() && parseUsbId (decoded) == id)
        return std::nullopt;

    return decoded;
}

std::optional<int32_t> firstId (const std::optional<std::string>& attribute, const std::optional<std::string>& property)
{
    if (attribute.has_value())
        if (auto id = parseUsbId (*attribute))
            return id;

    if (property.has_value())
        return parseUsbId (*property);

    return std::nullopt;
}
} // namespace

std::optional<int32_t> parseUsbId (std::string_view text)
{
    text = trimmed (text);

    if (text.empty() || text.size() > 4)
        return std::nullopt;

    int32_t value = 0;

    for (auto c : text)
    {
        const auto digit = hexDigitValue (c);

        if (digit < 0)
            return std::nullopt;

        value = value * 16 + digit;
    }

    return value;
}

std::string decodeUdevEscapes (std::string_view encoded)
{
    std::string decoded;
    decoded.reserve (encoded.size());

    for (size_t i = 0; i < encoded.size(); ++i)
    {
        if (encoded[i] == '\\' && i + 3 < encoded.size() && encoded[i + 1] == 'x')
        {
            const auto high = hexDigitValue (encoded[i + 2]);
            const auto low = hexDigitValue (encoded[i + 3]);

            if (high >= 0 && low >= 0)
            {
                decoded.push_back ((char) (high * 16 + low));
                i += 3;
                continue;
            }
        }

        decoded.push_back (encoded[i]);
    }

    return decoded;
}

HidProperties propertiesOf (const UsbParentText& parent)
{
    HidProperties properties;
    properties.vendorId = firstId (parent.idVendor, parent.vendorIdProperty);
    properties.productId = firstId (parent.idProduct, parent.modelIdProperty);

    if (parent.manufacturer.has_value())
        properties.manufacturer = withoutTrailingNewlines (*parent.manufacturer);
    else
        properties.manufacturer = nameFromDatabase (parent.vendorEncProperty, properties.vendorId);

    if (parent.product.has_value())
        properties.product = withoutTrailingNewlines (*parent.product);
    else
        properties.product = nameFromDatabase (parent.modelEncProperty, properties.productId);

    if (parent.sysPath.has_value() && ! parent.sysPath->empty())
        properties.usbDevice = parent.sysPath;

    return properties;
}

bool matchesManufacturer (const HidProperties& properties, std::string_view wantedManufacturer)
{
    return properties.manufacturer.has_value() && *properties.manufacturer == wantedManufacturer;
}

std::optional<int> delayBeforeOpenRetryMs (int errorNumber, int failedAttempts)
{
    constexpr int retryIntervalMs = 100;
    constexpr int maxRetries = 10;

    // ENOENT too: the node can lag a moment behind the event on some systems.
    const auto mayClearUp = errorNumber == EACCES || errorNumber == EPERM || errorNumber == ENOENT;

    if (! mayClearUp || failedAttempts > maxRetries)
        return std::nullopt;

    return retryIntervalMs;
}
} // namespace tessel::linuxhid
