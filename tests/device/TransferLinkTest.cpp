#include <gtest/gtest.h>

#include "device/ProtocolCodes.h"
#include "device/TransferLink.h"
#include "support/EditorHarness.h"
#include "support/FakeHidapi.h"
#include "support/SimulatedUsbBus.h"

using namespace tessel::sim;

namespace
{
template <typename Action>
int millisecondsTaken (Action&& action)
{
    const auto start = std::chrono::steady_clock::now();
    action();
    return (int) std::chrono::duration_cast<std::chrono::milliseconds> (std::chrono::steady_clock::now() - start)
        .count();
}

/** Bytes with no blank block in them, like a volume image. */
std::vector<uint8_t> patternedImage (size_t size)
{
    std::vector<uint8_t> image (size);
    for (size_t i = 0; i < size; ++i)
        image[i] = (uint8_t) ((i * 7 + i / 251) % 255);
    return image;
}

/** A bare bus with the fake hidapi looking at it; no editor, no live link. */
class TransferLinkTest : public ::testing::Test
{
protected:
    TransferLinkTest()
    {
        CloseUsbHid();
        setFakeHidapiBus (&bus);
        resetFakeHidapiCounts();
    }
    ~TransferLinkTest() override
    {
        CloseUsbHid();
        setFakeHidapiBus (nullptr);
    }
    std::shared_ptr<PedalSimulator> plugCab()
    {
        auto pedal = PedalSimulator::create (kindCAB);
        bus.plug (pedal);
        return pedal;
    }

    static int open() { return OpenUsbHid (Usb::korvelVendorId, Usb::cabProductId); }
    static int write (const std::vector<uint8_t>& image, int block, unsigned count = FlashWrite::blockSize)
    {
        return DEVICE_EXTERN_FLASH_WRITE (image.data(), block, count);
    }

    const juce::ScopedValueSetter<int> quickWrites { TransferTimeouts::flashWriteMs, 200 };
    const juce::ScopedValueSetter<int> quickStates { TransferTimeouts::transferStateMs, 200 };
    SimulatedUsbBus bus;
};

using TransferLink = TransferLinkTest;
} // namespace

TEST_F (TransferLink, OpensOnlyTheCabOnceSendsTheTransferStateGivesUpOnASilentPedalAndClosingShutsHidapiDown)
{
    EXPECT_EQ (open(), 0);
    bus.plug (PedalSimulator::create (kindAMP));
    EXPECT_EQ (open(), 0) << "a pedal of another kind is not the one asked for";
    EXPECT_TRUE (handle.load() == nullptr && fakeHidapiOpenHandles() == 0);

    auto first = plugCab();
    auto second = plugCab();
    EXPECT_TRUE (open() == 1 && open() == 1 && fakeHidapiCounts().opens == 1);

    HIDAPI_DEVICEHID_DEBUG_TRANS_STATE (1);
    HIDAPI_DEVICEHID_DEBUG_TRANS_STATE (0);
    EXPECT_EQ (tessel::test::takeSentFrames (*first),
               (std::vector<std::vector<int>> { { Command::transferState, 1 }, { Command::transferState, 0 } }));
    EXPECT_TRUE (second->receivedFrames().empty());

    first->injectFault (Fault::noAnswer, Command::transferState);
    const auto taken = millisecondsTaken ([] { HIDAPI_DEVICEHID_DEBUG_TRANS_STATE (1); });
    EXPECT_TRUE (taken >= 150 && taken < 2000 && handle.load() != nullptr)
        << taken << " ms; the answer is not looked at, so the link stays open";

    CloseUsbHid();
    CloseUsbHid();
    EXPECT_TRUE (handle.load() == nullptr && fakeHidapiOpenHandles() == 0 && fakeHidapiCounts().closes == 1
                 && fakeHidapiCounts().exits == 1)
        << "closing a closed link calls nothing";

    const auto initsBefore = fakeHidapiCounts().inits;
    EXPECT_TRUE (open() == 1 && fakeHidapiCounts().inits == initsBefore + 1) << "hidapi starts again after a close";
    bus.unplug (first);
    bus.unplug (second);
    EXPECT_LT (millisecondsTaken ([] { HIDAPI_DEVICEHID_DEBUG_TRANS_STATE (0); }), 150)
        << "a pedal that is gone is not waited for";
}

TEST_F (TransferLink, FlashWriteBlankBlocksAreSkippedAndTheRestLandAtTheirAddressesTheShortLastOneAtTheTop)
{
    auto pedal = plugCab();
    ASSERT_EQ (open(), 1);

    const std::vector<uint8_t> blank (3 * FlashWrite::blockSize, 0xff);
    EXPECT_TRUE (write (blank, 1) == 1 && write (blank, 2, 20) == 1 && fakeHidapiCounts().writes == 0);

    const auto image = patternedImage (10 * FlashWrite::blockSize);
    for (int block = 0; block < 10; ++block)
        ASSERT_EQ (write (image, block), 1) << block;
    EXPECT_EQ (pedal->externalFlash(), image);
    pedal->clearReceivedFrames();

    // One written byte anywhere in a block is enough to send it.
    for (int position : { 0, 27, 53 })
    {
        SCOPED_TRACE (position);
        auto oneByte = blank;
        oneByte[(size_t) (2 * FlashWrite::blockSize + position)] = 0x5A;
        EXPECT_EQ (write (oneByte, 2), 1);
        const auto frames = pedal->takeReceivedFrames();
        EXPECT_TRUE (frames.size() == 1 && frames[0][6 + position] == 0x5A);
    }

    // The volume image's short last block goes to the top of the flash.
    const auto volume = patternedImage (8 * 1024 * 1024);
    EXPECT_EQ (write (volume, 155344, 32), 1);

    const auto frame = pedal->takeReceivedFrames().at (0);
    EXPECT_TRUE (frame.length() == 36 && frame.hasValidChecksum()
                 && juce::ByteOrder::littleEndianInt (frame.data() + 2) == 8388576u);
    EXPECT_TRUE (std::equal (volume.end() - 32, volume.end(), frame.data() + 6));
    EXPECT_TRUE (
        std::all_of (frame.data() + 38, frame.data() + HidPacket::checksumOffset, [] (uint8_t b) { return b == 0; }));
}

TEST_F (TransferLink, FlashWriteAFailedBlockGivesMinusElevenPromptlyAndOnlyABadChecksumClosesTheLink)
{
    auto pedal = plugCab();
    ASSERT_EQ (open(), 1);
    const auto image = patternedImage (3 * FlashWrite::blockSize);

    EXPECT_TRUE (write (image, -1) == -11 && pedal->receivedFrames().empty());

    // Faults queue up: block 0 goes unanswered, block 1 gets a strange answer.
    pedal->injectFault (Fault::noAnswer, Command::flashWrite);
    pedal->injectFault (Fault::wrongCode, Command::flashWrite);
    EXPECT_LT (millisecondsTaken ([&] { EXPECT_EQ (write (image, 0), -11); }), 2000);
    EXPECT_EQ (write (image, 1), -11);
    EXPECT_EQ (write (image, 2), 1) << "the link still works";

    pedal->injectFault (Fault::badChecksum, Command::flashWrite);
    EXPECT_EQ (write (image, 0), -11);
    EXPECT_TRUE (handle.load() == nullptr && fakeHidapiOpenHandles() == 0 && fakeHidapiCounts().exits == 1);

    // Pulled out mid-transfer: every block fails from then on, at once.
    ASSERT_EQ (open(), 1);
    pedal->clearReceivedFrames();
    pedal->injectFault (Fault::unplug, Command::flashWrite, 1);
    EXPECT_EQ (write (image, 0), 1);
    const auto taken = millisecondsTaken ([&] { EXPECT_TRUE (write (image, 1) == -11 && write (image, 2) == -11); });
    EXPECT_LT (taken, 150) << "a vanished pedal is noticed at once, not after a time-out";
    EXPECT_EQ (pedal->receivedFrames().size(), 2u) << "nothing is sent to a pedal that is gone";
}

TEST_F (TransferLink, WithNoPathAPedalListedOncePerReportCollectionOpensButTwoPedalsDoNot)
{
    const auto opensWithoutPath = [] { return OpenUsbHid (Usb::korvelVendorId, Usb::cabProductId, ""); };

    auto usb = PedalSimulator::create (kindCAB)->identity();
    usb.topLevelCollections = 2;
    auto pedal = std::make_shared<PedalSimulator> (kindCAB, usb);
    bus.plug (pedal);

    ASSERT_EQ (opensWithoutPath(), 1) << "one pedal, however often hidapi lists it";
    HIDAPI_DEVICEHID_DEBUG_TRANS_STATE (1);
    EXPECT_EQ (pedal->receivedFrames().size(), 1u);
    CloseUsbHid();

    resetFakeHidapiCounts();
    plugCab();
    EXPECT_EQ (opensWithoutPath(), transferLinkAmbiguous);
    EXPECT_TRUE (handle.load() == nullptr && fakeHidapiCounts().opens == 0);
}

TEST_F (TransferLink, WithNoPathThePedalOpenedIsTheOneCountedNotOneThatCameAfter)
{
    // Between the count and the open, the counted pedal is pulled out and another plugged in.
    auto counted = plugCab();
    afterNextFakeHidapiEnumeration (
        [&]
        {
        bus.unplug (counted);
        plugCab();
    });

    EXPECT_EQ (OpenUsbHid (Usb::korvelVendorId, Usb::cabProductId, ""), 0);
    EXPECT_TRUE (handle.load() == nullptr && fakeHidapiOpenHandles() == 0);
}
