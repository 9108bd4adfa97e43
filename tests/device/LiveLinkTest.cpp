#include <gtest/gtest.h>

#include "device/LiveLink.h"
#include "device/ProtocolCodes.h"
#include "app/ReplyDecoder.h"
#include "support/EditorHarness.h"

using tessel::sim::PedalSimulator;
using tessel::sim::UsbIdentity;
using tessel::test::EditorHarness;
using tessel::test::pumpPending;

namespace
{
std::shared_ptr<PedalSimulator> deviceWith (int vendorId, int productId, juce::String product,
                                            juce::String manufacturer = Usb::manufacturer)
{
    UsbIdentity usb;
    usb.vendorId = vendorId;
    usb.productId = productId;
    usb.product = std::move (product);
    usb.manufacturer = std::move (manufacturer);
    return std::make_shared<PedalSimulator> (kindAMP, usb);
}

juce::String status (EditorHarness& h)
{
    return h.noDevicePage().statusLabel.getText();
}
} // namespace

TEST (LiveLink, APluggedPedalIsLinkedAndAskedToIdentifyItself)
{
    EditorHarness h;
    EXPECT_EQ (status (h), "No Device Connected.");

    auto pedal = h.plugIn (kindDLY);

    EXPECT_EQ (status (h), "Device Connected.");
    EXPECT_FALSE (h.noDevicePage().firmwareButton.isVisible());
    EXPECT_NE (deviceRef.load(), nullptr);

    const auto frames = pedal->receivedFrames();
    ASSERT_FALSE (frames.empty());
    EXPECT_EQ (frames[0].code(), Command::identify);
    EXPECT_EQ (frames[0].length(), 0);
    EXPECT_EQ (frames[0].storedChecksum(), 0x19);

    // The answer names the model; from there the decoder takes over.
    EXPECT_EQ (Device, (uint32_t) kindDLY);
}

TEST (LiveLink, PedalsOfEveryKindAreTakenAndIdentified)
{
    for (auto kind : { kindAMP, kindMOD, kindDLY, kindCAB })
    {
        SCOPED_TRACE ((int) kind);
        EditorHarness h;
        h.plugIn (kind);
        EXPECT_EQ (Device, (uint32_t) kind);
    }
}

TEST (LiveLink, DevicesOutsideThePedalTableAreIgnored)
{
    struct Case
    {
        const char* why;
        int vendorId, productId;
        const char* manufacturer;
    };

    const Case cases[] = {
        { "product 2", Usb::korvelVendorId, 2, Usb::manufacturer },
        { "product 7", Usb::korvelVendorId, 7, Usb::manufacturer },
        { "other vendor", 0x1234, 3, Usb::manufacturer },
        { "update-mode product under our vendor", Usb::korvelVendorId, Usb::updateModeProductId, Usb::manufacturer },
        { "another manufacturer's pedal", Usb::korvelVendorId, 3, "KORVEL" },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.why);
        EditorHarness h;
        auto device = deviceWith (c.vendorId, c.productId, "KORVEL TESSEL AMP", c.manufacturer);
        h.plugIn (device);

        EXPECT_EQ (status (h), "No Device Connected.");
        EXPECT_EQ (deviceRef.load(), nullptr);
        EXPECT_TRUE (device->receivedFrames().empty());
        EXPECT_EQ (h.noDevicePage().deviceName, "");
    }
}

TEST (LiveLink, ProductNamesLoseLeadingCharactersOfTheMakersNameNotAPrefix)
{
    EXPECT_EQ (trimProductName ("KORVEL OVERDRIVE"), "DRIVE");
    EXPECT_EQ (trimProductName ("KORVEL TESSEL AMP"), "TESSEL AMP");
    EXPECT_EQ (trimProductName ("TESSEL CAB"), "TESSEL CAB");
    EXPECT_EQ (trimProductName ("korvel amp"), "korvel amp");
    EXPECT_EQ (trimProductName ("LOVE"), "");

    EditorHarness h;
    h.plugIn (deviceWith (Usb::korvelVendorId, 4, "KORVEL OVERDRIVE"));
    EXPECT_EQ (h.noDevicePage().deviceName, "DRIVE");
}

TEST (LiveLink, AnUpdateModeDeviceShowsTheFirmwareButtonButIsNeverLinked)
{
    EditorHarness h;
    auto device = PedalSimulator::createUpdateModeDevice ("KORVEL TESSEL MOD");
    h.plugIn (device);

    EXPECT_EQ (status (h), "Device Connected.");
    EXPECT_TRUE (h.noDevicePage().firmwareButton.isVisible());
    // The update-mode name is kept whole: firmware files are checked against it.
    EXPECT_EQ (h.noDevicePage().deviceName, "KORVEL TESSEL MOD");
    EXPECT_EQ (deviceRef.load(), nullptr);
    EXPECT_TRUE (device->receivedFrames().empty());

    h.unplug (device);
    EXPECT_EQ (status (h), "No Device Connected.");
    EXPECT_FALSE (h.noDevicePage().firmwareButton.isVisible());
    EXPECT_EQ (deviceRef.load(), nullptr);
}

TEST (LiveLink, UnpluggingALinkedPedalReturnsToTheNoDevicePage)
{
    EditorHarness h;
    auto pedal = h.plugIn (kindAMP);
    h.hub().names.add ("Clean");

    h.unplug (pedal);

    EXPECT_EQ (deviceRef.load(), nullptr);
    EXPECT_EQ (status (h), "No Device Connected.");
    EXPECT_TRUE (h.noDevicePage().isVisible());
    EXPECT_EQ (h.hub().getWidth(), 780);
    EXPECT_EQ (h.hub().getHeight(), 408);
    EXPECT_TRUE (h.hub().names.isEmpty());

    // The kind is remembered until the next identity reply.
    EXPECT_EQ (Device, (uint32_t) kindAMP);

    // The pedal no longer hears anything.
    pedal->clearReceivedFrames();
    sendLiveFrame (HidPacket::command (Command::save));
    EXPECT_TRUE (pedal->receivedFrames().empty());

    // A report still in flight from the pulled pedal changes nothing.
    pedal->sendReport (HidPacket::command (Reply::identity, { 'V', 'Q', 'M', '-', '2' }));
    pumpPending();
    EXPECT_EQ (Device, (uint32_t) kindAMP);
}

TEST (LiveLink, ANewerPedalReplacesTheOlderAndOnlyItsOwnRemovalUnlinksIt)
{
    EditorHarness h;
    auto first = h.plugIn (kindAMP);
    auto second = h.plugIn (kindMOD);

    EXPECT_EQ (Device, (uint32_t) kindMOD);
    first->clearReceivedFrames();
    second->clearReceivedFrames();

    sendLiveFrame (HidPacket::command (Command::save));
    EXPECT_TRUE (first->receivedFrames().empty());
    EXPECT_EQ (second->receivedFrames().size(), 1u);

    // Pulling out the older one leaves the newer linked, and it still answers.
    const auto* linked = deviceRef.load();
    h.unplug (first);
    EXPECT_EQ (deviceRef.load(), linked);
    EXPECT_EQ (h.hub().firstVisiblePage(), (uint32_t) kindMOD);
    sendLiveFrame (HidPacket::command (Command::save));
    EXPECT_EQ (second->receivedFrames().size(), 2u);

    h.unplug (second);
    EXPECT_EQ (deviceRef.load(), nullptr);
    EXPECT_EQ (status (h), "No Device Connected.");
}

TEST (LiveLink, APedalPluggedInBeforeStartIsFoundOnceTheMessageLoopRuns)
{
    tessel::test::resetLinkGlobals();
    tessel::sim::SimulatedUsbBus bus;
    auto pedal = PedalSimulator::create (kindCAB);
    bus.plug (pedal);

    hidManagerFactory = [&bus] { return bus.createHidManager(); };
    {
        MainContentComponent hub;
        EXPECT_EQ (deviceRef.load(), nullptr) << "found before the loop ran";
        pumpPending();
        EXPECT_NE (deviceRef.load(), nullptr);
        EXPECT_EQ (hub.noDevice->statusLabel.getText(), "Device Connected.");
    }
    pumpPending();
    hidManagerFactory = [] { return createPlatformHidManager(); };
    tessel::test::resetLinkGlobals();
}
