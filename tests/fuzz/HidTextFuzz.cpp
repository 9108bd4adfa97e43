#include "FuzzSupport.h"

#include "device/ProtocolCodes.h"
#include "device/platform/LinuxHidParsing.h"

// What sysfs and udev's database say about the USB parent of a hidraw node:
// any device can be plugged in, and its descriptor strings are the maker's.

using namespace tessel::linuxhid;
using namespace tessel::fuzz;

namespace
{
void checkId (const std::optional<int32_t>& id)
{
    require (! id.has_value() || (*id >= 0 && *id <= 0xffff), "a USB ID outside 16 bits");
}

void seeds (SeedWriter& out)
{
    SeedBytes pedal, databaseOnly;
    for (auto* text : { "7c5a\n", "0003\n", Usb::manufacturer, "KORVEL TESSEL AMP\n", "7c5a", "0003", "KORVEL-TESSEL",
                        "KORVEL\\x20TESSEL\\x20AMP" })
        pedal.byte (1).text (text);
    out.add (pedal);

    databaseOnly.byte (0).byte (0).byte (0).byte (0);
    for (auto* text : { "0483", "5730", "0483", "TESSEL\\x20AMP" })
        databaseOnly.byte (1).text (text);
    out.add (databaseOnly);
}

void run (Input& input)
{
    UsbParentText parent;
    for (auto field : { &UsbParentText::idVendor, &UsbParentText::idProduct, &UsbParentText::manufacturer,
                        &UsbParentText::product, &UsbParentText::vendorIdProperty, &UsbParentText::modelIdProperty,
                        &UsbParentText::vendorEncProperty, &UsbParentText::modelEncProperty })
        parent.*field = input.maybeText();

    for (auto& text : { parent.idVendor, parent.vendorIdProperty, parent.vendorEncProperty })
        if (text.has_value())
        {
            checkId (parseUsbId (*text));
            require (decodeUdevEscapes (*text).size() <= text->size(), "decoding made a text longer");
        }

    const auto properties = propertiesOf (parent);
    checkId (properties.vendorId);
    checkId (properties.productId);
    matchesManufacturer (properties, Usb::manufacturer);
}
} // namespace

const tessel::fuzz::Target tessel::fuzz::target { false, seeds, run };
