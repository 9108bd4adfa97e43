#include <gtest/gtest.h>

#include "cab/FactoryDiskImage.h"
#include "cab/KVCABView.h"
#include "cab/WriteIRWindow.h"
#include "device/ProtocolCodes.h"
#include "device/TransferLink.h"
#include "pages/PageControls.h"
#include "pages/PatchFiles.h"
#include "pages/SetMenu.h"
#include "support/EditorHarness.h"
#include "support/FakeHidapi.h"

using namespace tessel::test;
using tessel::sim::Fault;
using tessel::sim::PedalSimulator;

namespace
{
/** Blocks of the factory image that hold nothing but 0xFF and so never go
    over the wire. A changed image changes this, and the reset's time with it. */
constexpr int sentBlocks = FactoryReset::blockCount - 143186;

const juce::String successTitle = "Factory reset successful.";
const juce::String reconnect = "Please disconnect both USB and power jacks and reconnect.";

bool jobEnded() { return pumpUntil ([] { return WriteIRWindow::jobsInProgress() == 0; }, 20000); }

/** A linked CAB pedal of 100 patches whose flash holds something else than
    the image, and short waits so that a silent pedal ends a test quickly. */
class CabSetMenu : public ::testing::Test
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
            if (onStatus)
                onStatus (++statusCount);
        };
        pedal = nullptr;
        editor = nullptr;
        editor = std::make_unique<EditorHarness>();
        pedal = editor->connect (kindCAB, 100);
        pedal->setExternalFlash (std::vector<uint8_t> (FactoryDisk::imageSize / 2, 0x00));
        pedal->clearReceivedFrames();
        editor->messages().clear();
        tessel::sim::resetFakeHidapiCounts();
    }

    void TearDown() override
    {
        jobEnded();
        WriteIRWindow::statusObserver = nullptr;
    }

    /** Runs the reset as the Set menu does after OK; whether it ended in time. */
    bool reset()
    {
        startFactoryReset();
        const auto ended = jobEnded();
        pumpPending();
        return ended;
    }

    /** The codes the pedal received, but for the patch requests with which
        the live link answers each transfer state, a run of block writes as one. */
    juce::String frameCodes() const
    {
        juce::String codes;
        uint8_t previous = 0;
        for (auto& frame : pedal->receivedFrames())
        {
            const auto code = frame.code();
            if (code != Command::requestPreset && (code != Command::flashWrite || previous != Command::flashWrite))
                codes << juce::String::toHexString (code) << (code == Command::transferState ? ":" + juce::String (frame[2]) : "") << " ";
            previous = code == Command::requestPreset ? previous : code;
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

    KVCABView& page() { return *editor->hub().cabView; }

    std::unique_ptr<EditorHarness> editor;
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
using FactoryResetTest = CabSetMenu;
using CabMenusTest = CabSetMenu;
} // namespace

TEST_F (FactoryResetTest, WritesTheWholeImageIntoTheErasedFlashThenResetsThePedal)
{
    // A knob turned on the pedal mid-way: its report reaches the job's handle
    // too, among the blocks' answers, and must not count as a refusal.
    onStatus = [this] (int count) { if (count == 2000) pedal->turnKnob (1, 42); };

    ASSERT_TRUE (reset());
    EXPECT_EQ (frameCodes(), "65:1 59 57 65:0 13");
    EXPECT_EQ (pedal->externalFlashWriteCount(), sentBlocks);
    const auto frames = pedal->receivedFrames();
    EXPECT_NE (std::find_if (frames.begin(), frames.end(), [] (auto& f) { return f.bytes == HidPacket::command (Command::flashErase).bytes; }),
               frames.end());

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
    // Once the link has opened, the pedal is told to reset its settings even
    // after a failure, and its answer shows the pedal's own box.
    const auto failed = "|" + juce::String (FactoryReset::failedMessage);
    const juce::StringArray failedThenReset { failed, successTitle + "|" + reconnect };

    // A code of 0: the pedal is unplugged before the reset.
    const std::tuple<const char*, Fault, int, int, juce::StringArray, const char*> cases[] = {
        { "pedal unplugged before the reset", Fault::unplug, 0, 0, { juce::String (FactoryReset::noLinkTitle) + "|" + reconnect }, "" },
        { "erase never answered", Fault::noAnswer, Command::flashErase, 0, failedThenReset, "65:1 59 65:0 13" },
        { "erase answered damaged", Fault::badChecksum, Command::flashErase, 0, failedThenReset, "65:1 59 65:0 13" },
        { "erase answered wrongly", Fault::wrongCode, Command::flashErase, 0, failedThenReset, "65:1 59 65:0 13" },
        { "a block refused", Fault::wrongCode, Command::flashWrite, 300, failedThenReset, "65:1 59 57 65:0 13" },
        { "unplugged mid-reset", Fault::unplug, Command::flashWrite, 300, { failed }, "65:1 59 57" },
    };
    for (const auto& [name, fault, code, at, shown, frames] : cases)
    {
        SCOPED_TRACE (name);
        if (name != std::get<0> (cases[0]))
        {
            TearDown();
            SetUp();
        }
        if (code == 0)
            editor->unplug (pedal);
        else
            pedal->injectFault (fault, code, at);

        ASSERT_TRUE (reset()) << "the job ends by itself";
        EXPECT_EQ (boxes(), shown);
        EXPECT_EQ (frameCodes(), frames);
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

TEST_F (CabMenusTest, EachButtonOpensItsMenuInOrderWithSeparators)
{
    const std::pair<juce::Button*, const char*> cases[] = {
        { &page().setButton, "Firmware Update|-|About KORVEL|-|Feedback|-|Factory Reset" },
        { &page().importButton, "Import One Patch|-|Import All Patches" },
        { &page().exportButton, "Export One Patch|-|Export All Patches" },
    };
    for (auto& [button, expected] : cases)
        EXPECT_EQ (chooseFromMenu (*button), expected);
    EXPECT_TRUE (editor->dialogs().questions.empty());
    EXPECT_TRUE (pedal->receivedFrames().empty()) << "a dismissed menu does nothing";

    // The items the CAB page shares with the effect pages behave as there.
    chooseFromMenu (page().setButton, "About KORVEL");
    EXPECT_EQ (editor->dialogs().links, juce::StringArray (juce::URL (SetMenu::aboutPage).toString (true)));
}

TEST_F (CabMenusTest, FactoryResetAsksThenRewritesTheVolumeOfTheSamePedalOnly)
{
    // Cancel: nothing sent, no job.
    chooseFromMenu (page().setButton, "Factory Reset");
    ASSERT_EQ (editor->dialogs().questions.size(), 1u);
    EXPECT_EQ (editor->dialogs().questions[0].title, "");
    EXPECT_EQ (editor->dialogs().questions[0].text, SetMenu::cabFactoryResetQuestion);
    EXPECT_TRUE (jobEnded());
    EXPECT_TRUE (pedal->receivedFrames().empty());

    // OK: the job rewrites the flash (as the reset's own tests check), then resets the pedal.
    editor->dialogs().okAnswers.push_back (true);
    chooseFromMenu (page().setButton, "Factory Reset");
    ASSERT_TRUE (jobEnded());
    pumpPending();
    EXPECT_GT (pedal->externalFlashWriteCount(), 0);
    EXPECT_EQ (editor->messages().back().title, successTitle);

    // Another CAB pedal plugged in while the question was open gets nothing.
    auto other = PedalSimulator::create (kindCAB);
    other->setExternalFlash (std::vector<uint8_t> (1024, 0x00));
    editor->dialogs().okAnswers.push_back (true);
    editor->dialogs().duringModal (0, [&] { editor->unplug (pedal); editor->plugIn (other); });
    chooseFromMenu (page().setButton, "Factory Reset");
    EXPECT_TRUE (jobEnded());
    EXPECT_EQ (editor->messages().back().text, PageControls::pedalMissingMessage);
    EXPECT_EQ (other->externalFlashWriteCount(), 0);
    for (auto& frame : other->receivedFrames())
        EXPECT_NE (frame.code(), Command::factoryReset);
}

TEST_F (CabMenusTest, OnePatchExportedAndImportedThroughThePagesButtons)
{
    juce::TemporaryFile temp (".tessel");
    const auto file = temp.getFile();
    PageControls::selectRowQuietly (page().patchList, 5, false);

    editor->dialogs().fileAnswers.push_back (file);
    chooseFromMenu (page().exportButton, "Export One Patch");
    EXPECT_EQ (editor->dialogs().savePatterns, juce::StringArray (PatchFiles::filePattern));
    EXPECT_EQ (editor->messages().at (0).text, PatchFiles::exportPrompt);
    juce::MemoryBlock saved;
    ASSERT_TRUE (file.loadFileAsData (saved));
    EXPECT_EQ (saved, juce::MemoryBlock (page().patchRecords[5]->bytes.data(), CABShape::size));

    // Into patch 9, the selected row, whatever the record's own number says.
    PageControls::selectRowQuietly (page().patchList, 9, false);
    editor->dialogs().fileAnswers.push_back (file);
    chooseFromMenu (page().importButton, "Import One Patch");
    EXPECT_EQ (editor->messages().at (1).text, PatchFiles::effectImportPrompt);
    pumpPending();
    const auto frames = pedal->takeReceivedFrames();
    ASSERT_GE (frames.size(), 2u);
    EXPECT_EQ (std::make_pair ((int) frames[0].code(), (int) frames[0][2]), std::make_pair ((int) Command::writePreset, 9));
    EXPECT_TRUE (std::equal (frames[0].data() + 3, frames[0].data() + 12, page().patchRecords[5]->bytes.data() + 3));
    EXPECT_EQ (frames[1].bytes, HidPacket::command (Command::selectPatch, { 9 }).bytes);

    // The second item wants a file of every patch: this one is refused.
    editor->dialogs().fileAnswers.push_back (file);
    chooseFromMenu (page().importButton, "Import All Patches");
    EXPECT_EQ (editor->messages().back().text, PatchFiles::wrongFileMessage);
    EXPECT_TRUE (pedal->takeReceivedFrames().empty());
}
