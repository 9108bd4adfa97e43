#include <gtest/gtest.h>

#include "device/LiveLink.h"
#include "device/ProtocolCodes.h"
#include "app/ReplyDecoder.h"
#include "support/EditorHarness.h"

using namespace tessel::sim;
using namespace tessel::test;

static juce::String status (EditorHarness& h)
{
    return h.noDevicePage().statusLabel.getText();
}

TEST (LiveLink, APluggedPedalIsLinkedAndAskedToIdentifyItselfAndUnpluggingItUnlinks)
{
    EditorHarness h;
    EXPECT_EQ (status (h), "No Device Connected.");

    auto pedal = h.plugIn (kindDLY);
    EXPECT_EQ (status (h), "Device Connected.");
    EXPECT_EQ (h.noDevicePage().deviceName, "TESSEL DLY");
    EXPECT_TRUE (deviceRef.load() != nullptr && ! h.noDevicePage().firmwareButton.isVisible());

    const auto frames = pedal->receivedFrames();
    EXPECT_TRUE (! frames.empty() && frames[0].bytes == HidPacket::command (Command::identify).bytes);

    ASSERT_NE (h.hub().connection, nullptr);
    h.unplug (pedal);
    EXPECT_TRUE (deviceRef.load() == nullptr && h.noDevicePage().isVisible() && h.hub().connection == nullptr)
        << "the hub has disconnected";

    // The pedal no longer hears anything, and a report still in flight from it changes nothing.
    pedal->clearReceivedFrames();
    sendLiveFrame (HidPacket::command (Command::save));
    pedal->sendReport (HidPacket::command (Reply::identity, { 'V', 'Q', 'M', '-', '2' }));
    pumpPending();
    EXPECT_TRUE (pedal->receivedFrames().empty() && Device == (uint32_t) kindDLY);
}

TEST (LiveLink, DevicesOutsideThePedalTableAreIgnoredAndAnUpdateModeOneOnlyShowsTheFirmwareButton)
{
    const std::tuple<const char*, int, int, const char*> cases[] = {
        { "product 2", Usb::korvelVendorId, 2, Usb::manufacturer },
        { "product 7", Usb::korvelVendorId, 7, Usb::manufacturer },
        { "other vendor", 0x1234, 3, Usb::manufacturer },
        { "update-mode product under our vendor", Usb::korvelVendorId, Usb::updateModeProductId, Usb::manufacturer },
        { "another manufacturer's pedal", Usb::korvelVendorId, 3, "KORVEL" },
    };

    for (const auto& [why, vendorId, productId, manufacturer] : cases)
    {
        SCOPED_TRACE (why);
        EditorHarness h;
        auto device = std::make_shared<PedalSimulator> (
            kindAMP, UsbIdentity { vendorId, productId, manufacturer, "KORVEL TESSEL AMP" });
        h.plugIn (device);

        EXPECT_EQ (status (h), "No Device Connected.");
        EXPECT_TRUE (deviceRef.load() == nullptr && device->receivedFrames().empty()
                     && h.noDevicePage().deviceName.isEmpty());
    }

    EditorHarness h;
    auto device = PedalSimulator::createUpdateModeDevice ("KORVEL TESSEL MOD");
    h.plugIn (device);
    EXPECT_EQ (status (h), "Device Connected.");
    // The update-mode name is kept whole: firmware files are checked against it.
    EXPECT_EQ (h.noDevicePage().deviceName, "KORVEL TESSEL MOD");
    EXPECT_TRUE (h.noDevicePage().firmwareButton.isVisible() && deviceRef.load() == nullptr
                 && device->receivedFrames().empty());

    h.unplug (device);
    EXPECT_TRUE (status (h) == "No Device Connected." && ! h.noDevicePage().firmwareButton.isVisible());
}

TEST (LiveLink, ProductNamesLoseLeadingCharactersOfTheMakersNameNotAPrefix)
{
    const std::pair<const char*, const char*> names[] = { { "KORVEL OVERDRIVE", "DRIVE" },
                                                          { "KORVEL TESSEL AMP", "TESSEL AMP" },
                                                          { "TESSEL CAB", "TESSEL CAB" },
                                                          { "korvel amp", "korvel amp" },
                                                          { "LOVE", "" } };
    for (auto [product, trimmed] : names)
        EXPECT_EQ (trimProductName (product), trimmed);
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
    EXPECT_TRUE (first->receivedFrames().empty() && second->receivedFrames().size() == 1u);

    // Pulling out the older one leaves the newer linked, and it still answers.
    const auto* linked = deviceRef.load();
    h.unplug (first);
    EXPECT_TRUE (deviceRef.load() == linked && h.hub().firstVisiblePage() == (uint32_t) kindMOD);
    sendLiveFrame (HidPacket::command (Command::save));
    const auto frames = second->receivedFrames();
    EXPECT_EQ (std::count_if (frames.begin(), frames.end(), [] (auto& f) { return f.code() == Command::save; }), 2);

    h.unplug (second);
    EXPECT_TRUE (deviceRef.load() == nullptr && status (h) == "No Device Connected.");
}
