#include <gtest/gtest.h>

#include <numeric>

#include "device/CommandSenders.h"
#include "device/HidPacket.h"
#include "device/LiveLink.h"
#include "app/ReplyDecoder.h"
#include "support/EditorHarness.h"

using tessel::test::EditorHarness;

namespace
{
/** 64 bytes: the head, zeros, and the 16-bit sum of the head little-endian in 62 and 63. */
std::vector<uint8_t> frameOf (const std::vector<int>& head)
{
    std::vector<uint8_t> frame (64, 0);
    std::copy (head.begin(), head.end(), frame.begin());
    const auto sum = std::accumulate (head.begin(), head.end(), 0);
    frame[62] = (uint8_t) (sum & 0xff);
    frame[63] = (uint8_t) (sum >> 8);
    return frame;
}

void writePresetAs (DeviceKind kind)
{
    Device = kind;
    DEVICEHID_DEBUG_IN_PRESET (5, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110);
}

std::vector<std::vector<uint8_t>> sentBy (tessel::sim::PedalSimulator& pedal, const std::function<void()>& action)
{
    pedal.clearReceivedFrames();
    action();
    std::vector<std::vector<uint8_t>> frames;
    for (auto& f : pedal.receivedFrames())
        frames.emplace_back (f.bytes.begin(), f.bytes.end());
    return frames;
}
} // namespace

TEST (CommandFrame, EverySenderPutsItsCodeAndPayloadOnTheWireAPresetAsManyBytesAsItsKindHolds)
{
    // Arguments go out as their low byte; a sum above 255 fills both checksum bytes.
    const std::vector<std::pair<std::function<void()>, std::vector<int>>> cases = {
        { [] { usbInsertHidUpdate(); }, { 0x09, 0 } },
        { [] { DEVICEHID_DEBUG_FACTORY(); }, { 0x13, 0 } },
        { [] { DEVICEHID_DEBUG_OUT_PRESET (7); }, { 0x15, 1, 7 } },
        { [] { DEVICEHID_DEBUG_SET_KNOB (4, 99); }, { 0x16, 2, 4, 99 } },
        { [] { DEVICEHID_DEBUG_SET_KNOB (0x102, 300); }, { 0x16, 2, 2, 0x2C } },
        { [] { DEVICEHID_DEBUG_SET_PATCH (12); }, { 0x21, 1, 12 } },
        { [] { DEVICEHID_DEBUG_SET_ALOGR (15); }, { 0x23, 1, 15 } },
        { [] { DEVICEHID_DEBUG_SET_BYPASS (2); }, { 0x25, 1, 2 } },
        { [] { DEVICEHID_DEBUG_GET_BYPASS(); }, { 0x26, 0 } },
        { [] { DEVICEHID_DEBUG_SET_CAB (1); }, { 0x27, 1, 1 } },
        { [] { DEVICEHID_DEBUG_GET_TAPTEMP(); }, { 0x30, 0 } },
        { [] { DEVICEHID_DEBUG_SET_OBJECT (3); }, { 0x31, 1, 3 } },
        { [] { DEVICEHID_DEBUG_SET_DIVIDE (5); }, { 0x35, 1, 5 } },
        { [] { DEVICEHID_DEBUG_GET_DIVIDE(); }, { 0x36, 0 } },
        { [] { DEVICEHID_DEBUG_SET_RANG (10, 90); }, { 0x37, 2, 10, 90 } },
        { [] { DEVICEHID_DEBUG_SET_RANG (255, 255); }, { 0x37, 2, 255, 255 } },
        { [] { DEVICEHID_DEBUG_SET_POWERAMP_NUM (8); }, { 0x41, 1, 8 } },
        { [] { DEVICEHID_DEBUG_SET_MICSTALL (11); }, { 0x47, 1, 11 } },
        { [] { DEVICEHID_DEBUG_SET_TRAIL (1); }, { 0x51, 1, 1 } },
        { [] { DEVICEHID_DEBUG_SAVE(); }, { 0x53, 0 } },
        { [] { DEVICEHID_DEBUG_GET_ALGOR_NAME (9); }, { 0x54, 1, 9 } },
        { [] { DEVICEHID_DEBUG_SET_INPUTMOD (2); }, { 0x55, 1, 2 } },
        { [] { DEVICEHID_DEBUG_TRANS_STATE (1); }, { 0x65, 1, 1 } },
        { [] { sendIrIndexRead(); }, { 0x40, 0 } },
        { [] { writePresetAs (kindAMP); }, { 0x14, 8, 5, 10, 20, 30, 40, 50, 60, 70 } },
        { [] { writePresetAs (kindCAB); }, { 0x14, 10, 5, 10, 20, 30, 40, 50, 60, 70, 80, 90 } },
        { [] { writePresetAs (kindMOD); }, { 0x14, 12, 5, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110 } },
    };

    EditorHarness h;
    auto pedal = h.plugIn (kindMOD);
    for (size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ (sentBy (*pedal, cases[i].first), std::vector<std::vector<uint8_t>> { frameOf (cases[i].second) })
            << "case " << i;
}

TEST (CommandFrame, NothingIsSentOrPrintedWithNoPedalAndAFailedSendPrintsErrorOnce)
{
    EditorHarness harness;
    auto updateMode = tessel::sim::PedalSimulator::createUpdateModeDevice();
    harness.plugIn (updateMode);

    testing::internal::CaptureStdout();
    DEVICEHID_DEBUG_SAVE();
    DEVICEHID_DEBUG_IN_PRESET (1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12);
    EXPECT_TRUE (testing::internal::GetCapturedStdout().empty() && updateMode->receivedFrames().empty());

    struct RefusingDevice : HidDevice
    {
        bool getIntProperty (const char*, int32_t&) const override { return false; }
        bool getStringProperty (const char*, juce::String&) const override { return false; }
        HidResult setReport (HidReportType, uint32_t, const uint8_t*, long) override
        {
            ++attempts;
            return kHidError;
        }
        void setInputListener (InputListener*, uint8_t*, long) override {}
        int attempts = 0;
    } device;

    deviceRef = &device;
    testing::internal::CaptureStdout();
    DEVICEHID_DEBUG_SET_PATCH (3);
    EXPECT_EQ (testing::internal::GetCapturedStdout(), "error");
    EXPECT_EQ (device.attempts, 1);
    deviceRef = nullptr;
}

TEST (CommandFrame, ReceivedReportsAreCheckedAgainstTheSumOfBytes0To61)
{
    auto good = HidPacket::command (0x17, { 3, 42 });
    EXPECT_TRUE (hidPacketChecksumMatches (good.data()));

    for (int changed : { 61, 62, 63 })
    {
        auto bad = good;
        bad.bytes[(size_t) changed] ^= 1;
        EXPECT_FALSE (hidPacketChecksumMatches (bad.data())) << changed;
    }

    // The largest possible sum still fits in 16 bits.
    HidPacket full;
    full.bytes.fill (0xFF);
    full.seal();
    EXPECT_TRUE (full.storedChecksum() == 62 * 255 && hidPacketChecksumMatches (full.data()));
}
