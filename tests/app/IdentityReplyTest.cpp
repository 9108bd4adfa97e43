#include <gtest/gtest.h>

#include "device/ProtocolCodes.h"
#include "app/ReplyDecoder.h"
#include "support/EditorHarness.h"

using tessel::test::EditorHarness;
using tessel::test::pumpPending;

TEST (IdentityReply, TheModelCodeSetsThePedalKindAndStartsItsConversation)
{
    EditorHarness h;
    auto pedal = h.plugIn (kindAMP);

    const auto frames = pedal->receivedFrames();
    ASSERT_GE (frames.size(), 2u);
    EXPECT_EQ (frames[0].code(), Command::identify);
    // AMP, MOD and DLY pedals are asked for their first algorithm name.
    EXPECT_EQ (frames[1].code(), Command::getAlgorithmName);
    EXPECT_EQ (frames[1][2], 0);
    EXPECT_EQ (frames[2].code(), Command::getAlgorithmName);
    EXPECT_EQ (frames[2][2], 1);
}

TEST (IdentityReply, TheCabPedalGoesStraightToTheTransferState)
{
    EditorHarness h;
    auto pedal = h.plugIn (kindCAB);

    const auto frames = pedal->receivedFrames();
    ASSERT_GE (frames.size(), 2u);
    EXPECT_EQ (frames[1].code(), Command::transferState);
    EXPECT_EQ (frames[1][2], 1);
}

TEST (IdentityReply, UnknownModelsAndDamagedReportsChangeNothing)
{
    EditorHarness h;
    auto pedal = h.plugIn (kindMOD);
    ASSERT_EQ (Device, (uint32_t) kindMOD);
    pedal->clearReceivedFrames();

    pedal->sendReport (HidPacket::command (Reply::identity, { 'V', 'Q', 'X', '-', '2' }));
    pedal->sendReport (HidPacket::command (Reply::identity, { 'V', 'Q', 'A', '-', '3' }));

    auto damaged = HidPacket::command (Reply::identity, { 'V', 'Q', 'D', '-', '2' });
    damaged.bytes[62] ^= 0x10;

    testing::internal::CaptureStdout();
    pedal->sendReport (damaged);
    pumpPending();
    EXPECT_EQ (testing::internal::GetCapturedStdout(), "效验码出错");

    EXPECT_EQ (Device, (uint32_t) kindMOD);
    EXPECT_TRUE (pedal->receivedFrames().empty());
}
