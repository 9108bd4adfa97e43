#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "device/CommandSenders.h"
#include "device/HidPacket.h"
#include "device/LiveLink.h"
#include "app/ReplyDecoder.h"
#include "support/EditorHarness.h"

using tessel::test::EditorHarness;

namespace
{
std::vector<uint8_t> frameOf (std::initializer_list<int> head, int checksum)
{
    std::vector<uint8_t> frame (64, 0);
    size_t i = 0;
    for (auto b : head)
        frame[i++] = (uint8_t) b;
    frame[62] = (uint8_t) (checksum & 0xff);
    frame[63] = (uint8_t) (checksum >> 8);
    return frame;
}

std::vector<uint8_t> bytesOf (const HidPacket& packet)
{
    return { packet.bytes.begin(), packet.bytes.end() };
}

/** A linked pedal whose received frames the tests read, with the identify
    command of the link already cleared away. */
struct LinkedPedal
{
    explicit LinkedPedal (DeviceKind kind)
    {
        pedal = harness.plugIn (kind);
        pedal->clearReceivedFrames();
    }

    std::vector<HidPacket> sent (const std::function<void()>& action)
    {
        pedal->clearReceivedFrames();
        action();
        return pedal->receivedFrames();
    }

    EditorHarness harness;
    std::shared_ptr<tessel::sim::PedalSimulator> pedal;
};
} // namespace

TEST (CommandFrame, SaveAndKnobFramesMatchTheWireBytes)
{
    LinkedPedal link (kindAMP);

    auto save = link.sent ([] { DEVICEHID_DEBUG_SAVE(); });
    ASSERT_EQ (save.size(), 1u);
    EXPECT_EQ (bytesOf (save[0]), frameOf ({ 0x53, 0x00 }, 0x53));

    auto knob = link.sent ([] { DEVICEHID_DEBUG_SET_KNOB (2, 50); });
    ASSERT_EQ (knob.size(), 1u);
    EXPECT_EQ (bytesOf (knob[0]), frameOf ({ 0x16, 0x02, 0x02, 0x32 }, 0x4C));
}

TEST (CommandFrame, ArgumentsTravelAsTheirLowByteAndTheChecksumCountsThatByte)
{
    LinkedPedal link (kindAMP);

    auto frames = link.sent ([] { DEVICEHID_DEBUG_SET_KNOB (0x102, 300); });
    ASSERT_EQ (frames.size(), 1u);
    // 300 is 0x12C: only 0x2C goes out.
    EXPECT_EQ (bytesOf (frames[0]), frameOf ({ 0x16, 0x02, 0x02, 0x2C }, 0x16 + 2 + 2 + 0x2C));

    // A checksum that needs its high byte: 0x37 + 2 + 255 + 255.
    frames = link.sent ([] { DEVICEHID_DEBUG_SET_RANG (255, 255); });
    ASSERT_EQ (frames.size(), 1u);
    EXPECT_EQ (bytesOf (frames[0]), frameOf ({ 0x37, 0x02, 0xFF, 0xFF }, 0x37 + 2 + 510));
}

TEST (CommandFrame, EverySenderPutsItsCodeAndPayloadOnTheWire)
{
    struct Case
    {
        const char* name;
        std::function<void()> send;
        std::vector<int> head;
    };

    const std::vector<Case> cases = {
        { "update mode", [] { usbInsertHidUpdate(); }, { 0x09, 0 } },
        { "factory reset", [] { DEVICEHID_DEBUG_FACTORY(); }, { 0x13, 0 } },
        { "request preset", [] { DEVICEHID_DEBUG_OUT_PRESET (7); }, { 0x15, 1, 7 } },
        { "knob", [] { DEVICEHID_DEBUG_SET_KNOB (4, 99); }, { 0x16, 2, 4, 99 } },
        { "patch", [] { DEVICEHID_DEBUG_SET_PATCH (12); }, { 0x21, 1, 12 } },
        { "algorithm", [] { DEVICEHID_DEBUG_SET_ALOGR (15); }, { 0x23, 1, 15 } },
        { "bypass", [] { DEVICEHID_DEBUG_SET_BYPASS (2); }, { 0x25, 1, 2 } },
        { "bypass query", [] { DEVICEHID_DEBUG_GET_BYPASS(); }, { 0x26, 0 } },
        { "cab simulation", [] { DEVICEHID_DEBUG_SET_CAB (1); }, { 0x27, 1, 1 } },
        { "tap tempo query", [] { DEVICEHID_DEBUG_GET_TAPTEMP(); }, { 0x30, 0 } },
        { "expression target", [] { DEVICEHID_DEBUG_SET_OBJECT (3); }, { 0x31, 1, 3 } },
        { "division", [] { DEVICEHID_DEBUG_SET_DIVIDE (5); }, { 0x35, 1, 5 } },
        { "division query", [] { DEVICEHID_DEBUG_GET_DIVIDE(); }, { 0x36, 0 } },
        { "expression range", [] { DEVICEHID_DEBUG_SET_RANG (10, 90); }, { 0x37, 2, 10, 90 } },
        { "power amp", [] { DEVICEHID_DEBUG_SET_POWERAMP_NUM (8); }, { 0x41, 1, 8 } },
        { "microphone", [] { DEVICEHID_DEBUG_SET_MICSTALL (11); }, { 0x47, 1, 11 } },
        { "trail", [] { DEVICEHID_DEBUG_SET_TRAIL (1); }, { 0x51, 1, 1 } },
        { "save", [] { DEVICEHID_DEBUG_SAVE(); }, { 0x53, 0 } },
        { "algorithm name", [] { DEVICEHID_DEBUG_GET_ALGOR_NAME (9); }, { 0x54, 1, 9 } },
        { "input mode", [] { DEVICEHID_DEBUG_SET_INPUTMOD (2); }, { 0x55, 1, 2 } },
        { "transfer state", [] { DEVICEHID_DEBUG_TRANS_STATE (1); }, { 0x65, 1, 1 } },
        { "IR index read", [] { sendIrIndexRead(); }, { 0x40, 0 } },
    };

    LinkedPedal link (kindMOD);

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        const auto frames = link.sent (c.send);
        ASSERT_EQ (frames.size(), 1u);

        std::vector<uint8_t> expected (64, 0);
        int sum = 0;
        for (size_t i = 0; i < c.head.size(); ++i)
        {
            expected[i] = (uint8_t) c.head[i];
            sum += c.head[i];
        }
        expected[62] = (uint8_t) (sum & 0xff);
        expected[63] = (uint8_t) (sum >> 8);

        EXPECT_EQ (bytesOf (frames[0]), expected);
    }
}

TEST (CommandFrame, PresetWriteCarriesAsManyRecordBytesAsThePedalKindHolds)
{
    LinkedPedal link (kindAMP);
    const auto write = [] { DEVICEHID_DEBUG_IN_PRESET (5, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110); };

    struct Expectation
    {
        DeviceKind kind;
        int count;
    };

    for (auto e : { Expectation { kindAMP, 8 }, Expectation { kindCAB, 10 },
                    Expectation { kindMOD, 12 }, Expectation { kindDLY, 12 } })
    {
        SCOPED_TRACE ((int) e.kind);
        Device = e.kind;

        const auto frames = link.sent (write);
        ASSERT_EQ (frames.size(), 1u);
        const auto& f = frames[0];

        EXPECT_EQ (f[0], 0x14);
        EXPECT_EQ (f[1], e.count);

        const int args[] = { 5, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110 };
        int sum = 0x14 + e.count;
        for (int i = 0; i < 12; ++i)
        {
            const int expected = i < e.count ? args[i] : 0;
            EXPECT_EQ (f[2 + i], expected) << "byte " << 2 + i;
            if (i < e.count)
                sum += args[i];
        }

        for (int i = 14; i < 62; ++i)
            EXPECT_EQ (f[i], 0) << "byte " << i;

        EXPECT_EQ (f.storedChecksum(), sum);
    }
}

TEST (CommandFrame, NothingIsSentOrPrintedWithNoPedal)
{
    EditorHarness harness;
    auto updateMode = tessel::sim::PedalSimulator::createUpdateModeDevice();
    harness.plugIn (updateMode);
    ASSERT_EQ (deviceRef.load(), nullptr);

    testing::internal::CaptureStdout();
    DEVICEHID_DEBUG_SAVE();
    DEVICEHID_DEBUG_SET_KNOB (1, 2);
    DEVICEHID_DEBUG_IN_PRESET (1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12);
    DEVICEHID_DEBUG_TRANS_STATE (1);
    EXPECT_EQ (testing::internal::GetCapturedStdout(), "");

    EXPECT_TRUE (updateMode->receivedFrames().empty());
}

TEST (CommandFrame, AFailedSendPrintsErrorOnceAndIsNotRepeated)
{
    struct RefusingDevice : HidDevice
    {
        bool getIntProperty (const char*, int32_t&) const override { return false; }
        bool getStringProperty (const char*, juce::String&) const override { return false; }
        HidResult setReport (HidReportType, uint32_t, const uint8_t*, long) override
        {
            ++attempts;
            return kHidError;
        }
        void registerInputReportCallback (uint8_t*, long, HidReportCallback, void*) override {}
        int attempts = 0;
    };

    RefusingDevice device;
    deviceRef = &device;

    testing::internal::CaptureStdout();
    DEVICEHID_DEBUG_SET_PATCH (3);
    EXPECT_EQ (testing::internal::GetCapturedStdout(), "error");
    EXPECT_EQ (device.attempts, 1);

    deviceRef = nullptr;
}

TEST (CommandFrame, ReceivedReportsAreCheckedAgainstTheirSum)
{
    auto good = HidPacket::command (0x17, { 3, 42 });
    EXPECT_TRUE (hidPacketChecksumMatches (good.data()));

    auto bad = good;
    bad.bytes[63] ^= 1;
    EXPECT_FALSE (hidPacketChecksumMatches (bad.data()));

    // A byte changed anywhere in 0 .. 61, even in the fill, breaks the sum.
    auto filled = good;
    filled.bytes[61] = 1;
    EXPECT_FALSE (hidPacketChecksumMatches (filled.data()));

    // The largest possible sum still fits in 16 bits.
    HidPacket full;
    full.bytes.fill (0xFF);
    full.seal();
    EXPECT_EQ (full.storedChecksum(), 62 * 255);
    EXPECT_TRUE (hidPacketChecksumMatches (full.data()));
}
