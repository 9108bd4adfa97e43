#include <gtest/gtest.h>

#include <chrono>

#include "device/ProtocolCodes.h"
#include "device/TransferLink.h"
#include "support/FakeHidapi.h"
#include "support/SimulatedUsbBus.h"

using tessel::sim::Fault;
using tessel::sim::PedalSimulator;
using tessel::sim::SimulatedUsbBus;
using tessel::sim::fakeHidapiCounts;
using tessel::sim::fakeHidapiOpenHandles;

namespace
{
constexpr unsigned short cabVendor = Usb::korvelVendorId;
constexpr unsigned short cabProduct = Usb::cabProductId;

/** A bare bus with the fake hidapi looking at it; no editor, no live link. */
class TransferLinkTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        CloseUsbHid();
        tessel::sim::setFakeHidapiBus (&bus);
        tessel::sim::resetFakeHidapiCounts();

        // Short enough that a silent pedal costs the tests little.
        TransferTimeouts::flashWriteMs = 200;
        TransferTimeouts::transferStateMs = 200;
    }

    void TearDown() override
    {
        CloseUsbHid();
        tessel::sim::setFakeHidapiBus (nullptr);
        TransferTimeouts::flashWriteMs = savedFlashWriteMs;
        TransferTimeouts::transferStateMs = savedTransferStateMs;
    }

    std::shared_ptr<PedalSimulator> plugCab()
    {
        auto pedal = PedalSimulator::create (kindCAB);
        bus.plug (pedal);
        return pedal;
    }

    static int millisecondsTaken (const std::function<void()>& action)
    {
        const auto start = std::chrono::steady_clock::now();
        action();
        return (int) std::chrono::duration_cast<std::chrono::milliseconds> (std::chrono::steady_clock::now() - start).count();
    }

    SimulatedUsbBus bus;

private:
    const int savedFlashWriteMs = TransferTimeouts::flashWriteMs;
    const int savedTransferStateMs = TransferTimeouts::transferStateMs;
};

using TransferLink = TransferLinkTest;
using TransferLinkFlashWriter = TransferLinkTest;

/** A volume image the size of the CAB pedal's flash, with no blank block in it. */
std::vector<uint8_t> patternedImage (size_t size = 8 * 1024 * 1024)
{
    std::vector<uint8_t> image (size);
    for (size_t i = 0; i < size; ++i)
        image[i] = (uint8_t) ((i * 7 + i / 251) % 255);
    return image;
}

std::vector<HidPacket> framesWithCode (const PedalSimulator& pedal, uint8_t code)
{
    std::vector<HidPacket> frames;
    for (auto& frame : pedal.receivedFrames())
        if (frame.code() == code)
            frames.push_back (frame);
    return frames;
}
} // namespace

//==============================================================================
TEST_F (TransferLink, WithNoPedalPluggedInNothingIsOpened)
{
    EXPECT_EQ (OpenUsbHid (cabVendor, cabProduct), 0);
    EXPECT_EQ (handle.load(), nullptr);
    EXPECT_EQ (fakeHidapiOpenHandles(), 0);

    // A pedal of another kind is not the one asked for.
    bus.plug (PedalSimulator::create (kindAMP));
    EXPECT_EQ (OpenUsbHid (cabVendor, cabProduct), 0);
    EXPECT_EQ (handle.load(), nullptr);
}

TEST_F (TransferLink, OpeningTwiceKeepsTheFirstPedal)
{
    auto first = plugCab();
    auto second = plugCab();

    EXPECT_EQ (OpenUsbHid (cabVendor, cabProduct), 1);
    auto* opened = handle.load();
    EXPECT_EQ (OpenUsbHid (cabVendor, cabProduct), 1);

    EXPECT_EQ (handle.load(), opened);
    EXPECT_EQ (fakeHidapiCounts().opens, 1);

    HIDAPI_DEVICEHID_DEBUG_TRANS_STATE (1);
    EXPECT_EQ (framesWithCode (*first, Command::transferState).size(), 1u);
    EXPECT_TRUE (second->receivedFrames().empty());
}

TEST_F (TransferLink, ClosingShutsHidapiDownAndTheNextOpenStartsItAgain)
{
    plugCab();
    ASSERT_EQ (OpenUsbHid (cabVendor, cabProduct), 1);

    CloseUsbHid();
    EXPECT_EQ (handle.load(), nullptr);
    EXPECT_EQ (fakeHidapiOpenHandles(), 0);
    EXPECT_EQ (fakeHidapiCounts().closes, 1);
    EXPECT_EQ (fakeHidapiCounts().exits, 1);

    // Closing a closed link is harmless and calls nothing.
    CloseUsbHid();
    EXPECT_EQ (fakeHidapiCounts().closes, 1);

    EXPECT_EQ (OpenUsbHid (cabVendor, cabProduct), 1);
    EXPECT_EQ (fakeHidapiCounts().inits, 2);
}

TEST_F (TransferLink, ThePedalReceivesTheSameSixtyFourBytesTheLiveLinkWouldSend)
{
    auto pedal = plugCab();
    ASSERT_EQ (OpenUsbHid (cabVendor, cabProduct), 1);

    HIDAPI_DEVICEHID_DEBUG_TRANS_STATE (1);
    HIDAPI_DEVICEHID_DEBUG_TRANS_STATE (0);

    const auto frames = pedal->receivedFrames();
    ASSERT_EQ (frames.size(), 2u);
    EXPECT_EQ (frames[0].bytes, HidPacket::command (Command::transferState, { 1 }).bytes);
    EXPECT_EQ (frames[1].bytes, HidPacket::command (Command::transferState, { 0 }).bytes);
}

TEST_F (TransferLink, TheTransferStateGivesUpOnAPedalThatNeverAnswers)
{
    auto pedal = plugCab();
    ASSERT_EQ (OpenUsbHid (cabVendor, cabProduct), 1);
    pedal->injectFault (Fault::noAnswer, Command::transferState);

    const auto taken = millisecondsTaken ([] { HIDAPI_DEVICEHID_DEBUG_TRANS_STATE (1); });
    EXPECT_GE (taken, 150);
    EXPECT_LT (taken, 2000);
    EXPECT_NE (handle.load(), nullptr) << "the answer is not looked at, so the link stays open";

    // A pedal pulled out answers nothing either; the call comes back at once.
    bus.unplug (pedal);
    EXPECT_LT (millisecondsTaken ([] { HIDAPI_DEVICEHID_DEBUG_TRANS_STATE (0); }), 150);
}

//==============================================================================
TEST_F (TransferLinkFlashWriter, ABlankBlockIsNotSentAndCountsAsWritten)
{
    auto pedal = plugCab();
    ASSERT_EQ (OpenUsbHid (cabVendor, cabProduct), 1);

    const std::vector<uint8_t> blank (3 * FlashWrite::blockSize, 0xff);
    EXPECT_EQ (DEVICE_EXTERN_FLASH_WRITE (blank.data(), 1, FlashWrite::blockSize), 1);
    EXPECT_EQ (DEVICE_EXTERN_FLASH_WRITE (blank.data(), 2, 20), 1);

    EXPECT_TRUE (pedal->receivedFrames().empty());
    EXPECT_EQ (fakeHidapiCounts().writes, 0);
}

TEST_F (TransferLinkFlashWriter, OneWrittenByteAnywhereInTheBlockSendsIt)
{
    auto pedal = plugCab();
    ASSERT_EQ (OpenUsbHid (cabVendor, cabProduct), 1);

    for (int position : { 0, 27, 53 })
    {
        SCOPED_TRACE (position);
        pedal->clearReceivedFrames();

        std::vector<uint8_t> image (2 * FlashWrite::blockSize, 0xff);
        image[(size_t) (FlashWrite::blockSize + position)] = 0x5A;

        EXPECT_EQ (DEVICE_EXTERN_FLASH_WRITE (image.data(), 1, FlashWrite::blockSize), 1);
        ASSERT_EQ (pedal->receivedFrames().size(), 1u);
        EXPECT_EQ (pedal->receivedFrames()[0][6 + position], 0x5A);
        EXPECT_EQ (pedal->externalFlash()[(size_t) (FlashWrite::blockSize + position)], 0x5A);
    }
}

TEST_F (TransferLinkFlashWriter, BlocksLandAtTheirAddressesInThePedalsFlash)
{
    auto pedal = plugCab();
    ASSERT_EQ (OpenUsbHid (cabVendor, cabProduct), 1);

    const auto image = patternedImage (10 * FlashWrite::blockSize);
    for (int block = 0; block < 10; ++block)
        ASSERT_EQ (DEVICE_EXTERN_FLASH_WRITE (image.data(), block, FlashWrite::blockSize), 1) << block;

    EXPECT_EQ (pedal->externalFlash(), image);

    const auto second = pedal->receivedFrames()[1];
    EXPECT_EQ (second.code(), Command::flashWrite);
    EXPECT_EQ (second.length(), 58);
    EXPECT_EQ (second[2], 0x36);
    EXPECT_EQ (second[3], 0x00);
    EXPECT_EQ (second[4], 0x00);
    EXPECT_EQ (second[5], 0x00);
    EXPECT_TRUE (second.hasValidChecksum());
}

TEST_F (TransferLinkFlashWriter, TheVolumeImagesShortLastBlockGoesToTheTopOfTheFlash)
{
    auto pedal = plugCab();
    ASSERT_EQ (OpenUsbHid (cabVendor, cabProduct), 1);

    const auto image = patternedImage();
    EXPECT_EQ (DEVICE_EXTERN_FLASH_WRITE (image.data(), 155344, 32), 1);

    const auto frame = pedal->receivedFrames().at (0);
    EXPECT_EQ (frame.length(), 36);
    const auto address = (uint32_t) frame[2] | ((uint32_t) frame[3] << 8) | ((uint32_t) frame[4] << 16)
                         | ((uint32_t) frame[5] << 24);
    EXPECT_EQ (address, 8388576u);
    for (int i = 0; i < 32; ++i)
        EXPECT_EQ (frame[6 + i], image[8388576u + (size_t) i]) << i;
    for (int i = 38; i < HidPacket::checksumOffset; ++i)
        EXPECT_EQ (frame[i], 0) << i;
    EXPECT_TRUE (frame.hasValidChecksum());

    const auto flash = pedal->externalFlash();
    ASSERT_EQ (flash.size(), image.size());
    EXPECT_TRUE (std::equal (image.end() - 32, image.end(), flash.end() - 32));
}

TEST_F (TransferLinkFlashWriter, ANegativeBlockIsRefusedWithoutSendingAnything)
{
    auto pedal = plugCab();
    ASSERT_EQ (OpenUsbHid (cabVendor, cabProduct), 1);
    const auto image = patternedImage (FlashWrite::blockSize);

    EXPECT_EQ (DEVICE_EXTERN_FLASH_WRITE (image.data(), -1, FlashWrite::blockSize), -11);
    EXPECT_TRUE (pedal->receivedFrames().empty());
}

TEST_F (TransferLinkFlashWriter, AnAnswerWithABadChecksumFailsTheBlockAndClosesTheLink)
{
    auto pedal = plugCab();
    ASSERT_EQ (OpenUsbHid (cabVendor, cabProduct), 1);
    const auto image = patternedImage (FlashWrite::blockSize);
    pedal->injectFault (Fault::badChecksum, Command::flashWrite);

    testing::internal::CaptureStdout();
    EXPECT_EQ (DEVICE_EXTERN_FLASH_WRITE (image.data(), 0, FlashWrite::blockSize), -11);
    EXPECT_EQ (testing::internal::GetCapturedStdout(), "效验码出错");

    EXPECT_EQ (handle.load(), nullptr);
    EXPECT_EQ (fakeHidapiOpenHandles(), 0);
    EXPECT_EQ (fakeHidapiCounts().exits, 1);
}

TEST_F (TransferLinkFlashWriter, ASilentOrWrongAnswerFailsTheBlockButKeepsTheLinkOpen)
{
    auto pedal = plugCab();
    ASSERT_EQ (OpenUsbHid (cabVendor, cabProduct), 1);
    const auto image = patternedImage (3 * FlashWrite::blockSize);

    pedal->injectFault (Fault::noAnswer, Command::flashWrite);
    const auto taken = millisecondsTaken ([&]
    {
        EXPECT_EQ (DEVICE_EXTERN_FLASH_WRITE (image.data(), 0, FlashWrite::blockSize), -11);
    });
    EXPECT_LT (taken, 2000);
    EXPECT_NE (handle.load(), nullptr);

    pedal->injectFault (Fault::wrongCode, Command::flashWrite);
    EXPECT_EQ (DEVICE_EXTERN_FLASH_WRITE (image.data(), 1, FlashWrite::blockSize), -11);
    EXPECT_NE (handle.load(), nullptr);

    // The caller may go on: the link still works.
    EXPECT_EQ (DEVICE_EXTERN_FLASH_WRITE (image.data(), 2, FlashWrite::blockSize), 1);
}

TEST_F (TransferLinkFlashWriter, APedalPulledOutMidTransferFailsEveryBlockFromThenOn)
{
    auto pedal = plugCab();
    ASSERT_EQ (OpenUsbHid (cabVendor, cabProduct), 1);
    const auto image = patternedImage (3 * FlashWrite::blockSize);
    pedal->injectFault (Fault::unplug, Command::flashWrite, 1);

    EXPECT_EQ (DEVICE_EXTERN_FLASH_WRITE (image.data(), 0, FlashWrite::blockSize), 1);

    const auto taken = millisecondsTaken ([&]
    {
        EXPECT_EQ (DEVICE_EXTERN_FLASH_WRITE (image.data(), 1, FlashWrite::blockSize), -11);
        EXPECT_EQ (DEVICE_EXTERN_FLASH_WRITE (image.data(), 2, FlashWrite::blockSize), -11);
    });
    EXPECT_LT (taken, 150) << "a vanished pedal is noticed at once, not after a time-out";
    EXPECT_EQ (pedal->receivedFrames().size(), 2u) << "nothing is sent to a pedal that is gone";
}
