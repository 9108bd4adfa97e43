#include <gtest/gtest.h>

#include "cab/FactoryDiskImage.h"
#include "cab/WriteIRWindow.h"
#include "device/ProtocolCodes.h"
#include "device/TransferLink.h"
#include "support/EditorHarness.h"
#include "support/FakeHidapi.h"

using tessel::sim::Fault;
using tessel::sim::PedalSimulator;
using tessel::test::pumpUntil;

namespace
{
/** Blocks of the factory image that hold nothing but 0xFF and so never go
    over the wire. A changed image changes this, and the reset's time with it. */
constexpr int blankBlocks = 143186;
constexpr int sentBlocks = FactoryReset::blockCount - blankBlocks;

const juce::String successTitle = "Factory reset successful.";
const juce::String reconnect = "Please disconnect both USB and power jacks and reconnect.";

/** A linked CAB pedal whose flash holds something else than the image, and
    short waits so that a silent pedal ends a test quickly. */
class FactoryResetTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        WriteIRWindow::statusObserver = [this] (const juce::String& status)
        {
            const std::lock_guard<std::mutex> guard (statusLock);
            if (statuses.isEmpty())
                statuses.add (status);
            last = status;
            ++statusCount;
            if (onStatus)
                onStatus (statusCount);
        };

        pedal = nullptr;
        editor = nullptr;
        editor = std::make_unique<tessel::test::EditorHarness>();
        pedal = editor->connect (kindCAB);
        pedal->setExternalFlash (std::vector<uint8_t> (FactoryDisk::imageSize / 2, 0x00));
        pedal->clearReceivedFrames();
        editor->messages().clear();
        tessel::sim::resetFakeHidapiCounts();
    }

    void TearDown() override
    {
        pumpUntil ([] { return WriteIRWindow::jobsInProgress() == 0; }, 10000);
        WriteIRWindow::statusObserver = nullptr;
    }

    /** Runs the reset as the Set menu does after OK; whether it ended in time. */
    bool reset()
    {
        startFactoryReset();
        const auto ended = pumpUntil ([] { return WriteIRWindow::jobsInProgress() == 0; }, 20000);
        tessel::test::pumpPending();
        return ended;
    }

    /** The frames the pedal received, but for the patch requests with which
        the live link answers each transfer state. */
    std::vector<HidPacket> resetFrames() const
    {
        auto frames = pedal->receivedFrames();
        frames.erase (std::remove_if (frames.begin(), frames.end(),
                                      [] (auto& f) { return f.code() == Command::requestPreset; }),
                      frames.end());
        return frames;
    }

    /** Their codes, with a run of block writes counted as one. */
    juce::String frameCodes() const
    {
        juce::String codes;
        uint8_t previous = 0;
        for (auto& frame : resetFrames())
        {
            if (frame.code() != Command::flashWrite || previous != Command::flashWrite)
                codes << juce::String::toHexString (frame.code()) << (frame.code() == Command::transferState ? ":" + juce::String (frame[2]) : "") << " ";
            previous = frame.code();
        }
        return codes.trim();
    }

    /** The boxes shown, each as "title|text". */
    juce::StringArray boxes() const
    {
        juce::StringArray shown;
        for (auto& m : editor->messages())
            shown.add (m.title + "|" + m.text);
        return shown;
    }

    void expectLinkClosed()
    {
        const auto counts = tessel::sim::fakeHidapiCounts();
        EXPECT_EQ (handle.load(), nullptr);
        EXPECT_EQ (counts.opens, counts.closes);
        EXPECT_EQ (tessel::sim::fakeHidapiOpenHandles(), 0);
    }

    std::unique_ptr<tessel::test::EditorHarness> editor;
    std::shared_ptr<PedalSimulator> pedal;

    std::mutex statusLock;
    juce::StringArray statuses;
    juce::String last;
    int statusCount = 0;
    std::function<void (int)> onStatus;

private:
    const juce::ScopedValueSetter<int> noPauses[2] { { WriteIRWindow::Timing::beforeResultMs, 0 }, { WriteIRWindow::Timing::beforeOpenMs, 0 } },
        shortWaits[2] { { WriteIRWindow::Timing::eraseAnswerMs, 300 }, { TransferTimeouts::flashWriteMs, 300 } };
};
} // namespace

TEST_F (FactoryResetTest, WritesTheWholeImageIntoTheErasedFlashThenResetsThePedal)
{
    // A knob turned on the pedal mid-way: its report reaches the job's handle
    // too, among the blocks' answers, and must not count as a refusal.
    onStatus = [this] (int count) { if (count == 2000) pedal->turnKnob (1, 42); };

    ASSERT_TRUE (reset());

    EXPECT_EQ (frameCodes(), "65:1 59 57 65:0 13");
    EXPECT_EQ (pedal->externalFlashWriteCount(), sentBlocks);

    EXPECT_EQ (resetFrames()[1].bytes, HidPacket::command (Command::flashErase).bytes);

    auto flash = pedal->externalFlash();
    flash.resize (FactoryDisk::imageSize, 0xFF);
    EXPECT_TRUE (std::equal (flash.begin(), flash.end(), FactoryDiskImage)) << "the flash holds the image";

    EXPECT_EQ (statusCount, FactoryReset::fullBlocks);
    EXPECT_EQ (statuses[0], "File : 0 / 155345");
    EXPECT_EQ (last, "File : 155343 / 155345");

    EXPECT_EQ (boxes(), juce::StringArray (successTitle + "|" + reconnect));
    expectLinkClosed();
}

TEST_F (FactoryResetTest, EveryFailureEndsInItsMessageWithTheLinkClosed)
{
    struct Case
    {
        const char* name;
        std::function<void (tessel::test::EditorHarness&, const std::shared_ptr<PedalSimulator>&)> arrange;
        juce::StringArray boxes;
        juce::String frames;
    };

    // Once the link has opened, the pedal is told to reset its settings even
    // after a failure, and its answer shows the pedal's own box.
    const auto noLink = juce::String (FactoryReset::noLinkTitle) + "|" + reconnect;
    const auto failed = "|" + juce::String (FactoryReset::failedMessage);
    const auto pedalReset = successTitle + "|" + reconnect;

    const Case cases[] = {
        { "pedal unplugged before the reset", [] (auto& editor, auto& pedal) { editor.unplug (pedal); },
          { noLink }, "" },
        { "erase never answered", [] (auto&, auto& pedal) { pedal->injectFault (Fault::noAnswer, Command::flashErase); },
          { failed, pedalReset }, "65:1 59 65:0 13" },
        { "erase answered damaged", [] (auto&, auto& pedal) { pedal->injectFault (Fault::badChecksum, Command::flashErase); },
          { failed, pedalReset }, "65:1 59 65:0 13" },
        { "erase answered wrongly", [] (auto&, auto& pedal) { pedal->injectFault (Fault::wrongCode, Command::flashErase); },
          { failed, pedalReset }, "65:1 59 65:0 13" },
        { "a block refused", [] (auto&, auto& pedal) { pedal->injectFault (Fault::wrongCode, Command::flashWrite, 300); },
          { failed, pedalReset }, "65:1 59 57 65:0 13" },
        { "unplugged mid-reset", [] (auto&, auto& pedal) { pedal->injectFault (Fault::unplug, Command::flashWrite, 300); },
          { failed }, "65:1 59 57" },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        if (&c != cases)
        {
            TearDown();
            SetUp();
        }
        c.arrange (*editor, pedal);

        ASSERT_TRUE (reset()) << "the job ends by itself";
        EXPECT_EQ (boxes(), c.boxes);
        EXPECT_EQ (frameCodes(), c.frames);
        expectLinkClosed();

    }
}

TEST_F (FactoryResetTest, APedalPluggedInWhileTheResetFailsKeepsItsSettings)
{
    auto amp = PedalSimulator::create (kindAMP);
    onStatus = [this, amp] (int count)
    {
        if (count == 300)
        {
            editor->bus.unplug (pedal);
            editor->bus.plug (amp);
        }
    };

    ASSERT_TRUE (reset());
    EXPECT_EQ (boxes(), juce::StringArray ("|" + juce::String (FactoryReset::failedMessage)));

    for (auto& frame : amp->receivedFrames())
        EXPECT_NE (frame.code(), Command::factoryReset);
}
