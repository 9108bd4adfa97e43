#include <gtest/gtest.h>

#include "cab/CABSetMenu.h"
#include "cab/FactoryDiskImage.h"
#include "cab/ImportAllPatchWindow.h"
#include "cab/KVCABView.h"
#include "cab/WriteIRWindow.h"
#include "device/ProtocolCodes.h"
#include "device/TransferLink.h"
#include "pagekit/PageControls.h"
#include "pagekit/PatchFiles.h"
#include "pages/KVAMPView.h"
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

bool jobEnded()
{
    return pumpUntil ([] { return WriteIRWindow::jobsInProgress() == 0; }, 20000);
}

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
        statusCount = 0;
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
                codes << juce::String::toHexString (code)
                      << (code == Command::transferState ? ":" + juce::String (frame[2]) : "") << " ";
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

    KVCABView& page() { return editor->hub().cabPage(); }

    std::unique_ptr<EditorHarness> editor;
    std::shared_ptr<PedalSimulator> pedal;
    std::mutex statusLock;
    juce::StringArray statuses;
    juce::String last;
    int statusCount = 0;
    std::function<void (int)> onStatus;

private:
    const juce::ScopedValueSetter<int> noPauses[2] { { WriteIRWindow::Timing::beforeResultMs, 0 },
                                                     { WriteIRWindow::Timing::beforeOpenMs, 0 } },
        shortWaits[2] { { WriteIRWindow::Timing::eraseAnswerMs, 300 }, { TransferTimeouts::flashWriteMs, 300 } };
};
using FactoryResetTest = CabSetMenu;
using CabMenusTest = CabSetMenu;
} // namespace

TEST_F (FactoryResetTest, WritesTheWholeImageIntoTheErasedFlashThenResetsThePedal)
{
    // A knob turned on the pedal mid-way: its report reaches the job's handle
    // too, among the blocks' answers, and must not count as a refusal.
    onStatus = [this] (int count)
    {
        if (count == 2000)
            pedal->turnKnob (1, 42);
    };
    const auto offThreadBefore = tessel::sim::liveLinkSendsOffTheMessageThread();

    ASSERT_TRUE (reset());
    EXPECT_EQ (tessel::sim::liveLinkSendsOffTheMessageThread(), offThreadBefore)
        << "the live link is the message thread's";
    EXPECT_EQ (frameCodes(), "65:1 59 57 65:0 13");
    EXPECT_EQ (pedal->externalFlashWriteCount(), sentBlocks);
    const auto frames = pedal->receivedFrames();
    EXPECT_NE (std::find_if (frames.begin(), frames.end(),
                             [] (auto& f) { return f.bytes == HidPacket::command (Command::flashErase).bytes; }),
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
    // after a failure, but the user sees one outcome: the failure, without
    // the pedal's "successful" after it.
    const auto failed = "|" + juce::String (FactoryReset::failedMessage);
    const juce::StringArray failedAlone { failed };

    // A code of 0: the pedal is unplugged before the reset.
    const std::tuple<const char*, Fault, int, int, juce::StringArray, const char*> cases[] = {
        { "pedal unplugged before the reset",
          Fault::unplug,
          0,
          0,
          { juce::String (FactoryReset::noLinkTitle) + "|" + reconnect },
          "" },
        { "erase never answered", Fault::noAnswer, Command::flashErase, 0, failedAlone, "65:1 59 65:0 13" },
        { "erase answered damaged", Fault::badChecksum, Command::flashErase, 0, failedAlone, "65:1 59 65:0 13" },
        { "erase answered wrongly", Fault::wrongCode, Command::flashErase, 0, failedAlone, "65:1 59 65:0 13" },
        { "a block refused", Fault::wrongCode, Command::flashWrite, 300, failedAlone, "65:1 59 57 65:0 13" },
        // -1: the pedal is swapped for an AMP mid-reset, which must not be reset either.
        { "swapped for another pedal mid-reset", Fault::unplug, -1, 300, { failed }, "65:1 59 57" },
    };
    auto amp = PedalSimulator::create (kindAMP);
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
        else if (code > 0)
            pedal->injectFault (fault, code, at);
        else
            onStatus = [this, amp, at = at] (int count)
            {
                if (count == at)
                {
                    editor->bus.unplug (pedal);
                    editor->bus.plug (amp);
                }
            };

        ASSERT_TRUE (reset()) << "the job ends by itself";
        EXPECT_EQ (boxes(), shown);
        EXPECT_EQ (frameCodes(), frames);
        expectLinkClosed();
    }
    for (auto& frame : amp->receivedFrames())
        EXPECT_NE (frame.code(), Command::factoryReset);
}

TEST_F (FactoryResetTest, ThePedalGivenUpMidResetStillLeavesItsTransferState)
{
    // The CAB pedal stays attached, but the window no longer works with it:
    // another pedal has been linked, or its volume went. It gets the end of
    // the transfer state all the same and, its volume rewritten, its reset by
    // its own device. The user hears the outcome: from the pedal's own answer
    // while the live link still hears it, from the job where another pedal
    // has taken the link. A pedal linked instead is never reset.
    for (bool anotherLinked : { true, false })
    {
        SCOPED_TRACE (anotherLinked ? "another pedal linked" : "the window gave it up");
        if (! anotherLinked)
        {
            TearDown();
            SetUp();
        }
        auto amp = PedalSimulator::create (kindAMP);
        onStatus = [this, amp, anotherLinked] (int count)
        {
            if (count == 300 && anotherLinked)
                editor->bus.plug (amp);
            else if (count == 300)
                juce::MessageManager::callAsync ([] { endLinkSessions(); });
        };

        ASSERT_TRUE (reset());
        EXPECT_EQ (frameCodes(), "65:1 59 57 65:0 13");
        const auto told = anotherLinked ? juce::StringArray ("|" + juce::String (FactoryReset::resetAsideMessage))
                                        : juce::StringArray (successTitle + "|" + reconnect);
        EXPECT_TRUE (pumpUntil ([this] { return ! boxes().isEmpty(); }, 3000));
        EXPECT_EQ (boxes(), told);
        expectLinkClosed();
        for (auto& frame : amp->receivedFrames())
            EXPECT_NE (frame.code(), Command::factoryReset);
    }
}

TEST_F (FactoryResetTest, AFailedResetOfAPedalGivenUpIsToldAsFailedAloneWhoeverHearsItsAnswer)
{
    // The window lets go of the CAB pedal (its volume went, or another pedal
    // took the link) as the erase goes out or mid-image, and the job fails.
    // The CAB is still reset; where the live link still hears it, its
    // "successful" must not follow the failure, and a pedal linked instead
    // keeps the answer to its own reset.
    const auto failed = juce::StringArray ("|" + juce::String (FactoryReset::failedMessage));
    for (bool duringErase : { true, false })
        for (bool anotherLinked : { false, true })
        {
            SCOPED_TRACE (juce::String (duringErase ? "erase unanswered" : "a block refused")
                          + (anotherLinked ? ", another pedal linked" : ", the volume went"));
            TearDown();
            SetUp();
            auto amp = PedalSimulator::create (kindAMP);
            const auto letGo = [this, amp, anotherLinked]
            {
                if (anotherLinked)
                    editor->bus.plug (amp);
                else
                    juce::MessageManager::callAsync ([] { endLinkSessions(); });
            };
            if (duringErase)
            {
                pedal->injectFault (Fault::noAnswer, Command::flashErase);
                pedal->onAnswers = [letGo] (const HidPacket& command, std::vector<HidPacket>&)
                {
                    if (command.code() == Command::flashErase)
                        letGo();
                };
            }
            else
            {
                pedal->injectFault (Fault::wrongCode, Command::flashWrite, 300);
                onStatus = [letGo] (int count)
                {
                    if (count == 200)
                        letGo();
                };
            }

            ASSERT_TRUE (reset());
            pedal->onAnswers = nullptr;
            EXPECT_EQ (frameCodes(), duringErase ? "65:1 59 65:0 13" : "65:1 59 57 65:0 13");
            pumpUntil ([] { return false; }, 500);
            EXPECT_EQ (boxes(), failed);

            if (anotherLinked)
            {
                for (auto& frame : amp->receivedFrames())
                    EXPECT_NE (frame.code(), Command::factoryReset);
                ASSERT_TRUE (pumpUntil ([this] { return editor->ampPage().isVisible(); }, 3000));
                editor->messages().clear();
                editor->dialogs().okAnswers.push_back (true);
                chooseFromMenu (editor->ampPage().setButton, "Factory Reset");
                EXPECT_TRUE (pumpUntil ([this] { return ! editor->messages().empty(); }, 3000));
                EXPECT_EQ (boxes(), juce::StringArray (successTitle + "|" + reconnect));
            }
        }
}

TEST_F (FactoryResetTest, TheQuietAfterAFailedResetEndsWithItsPedal)
{
    // The failed reset's pedal never answers its reset command; the next
    // pedal's own reset, moments later, is told as usual.
    pedal->injectFault (Fault::wrongCode, Command::flashErase);
    pedal->injectFault (Fault::noAnswer, Command::factoryReset);
    ASSERT_TRUE (reset());
    EXPECT_EQ (boxes(), juce::StringArray ("|" + juce::String (FactoryReset::failedMessage)));

    editor->unplug (pedal);
    editor->connect (kindAMP, 3);
    editor->messages().clear();
    editor->dialogs().okAnswers.push_back (true);
    chooseFromMenu (editor->ampPage().setButton, "Factory Reset");
    EXPECT_TRUE (pumpUntil ([this] { return ! editor->messages().empty(); }, 3000));
    EXPECT_EQ (boxes(), juce::StringArray (successTitle + "|" + reconnect));
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
    // Our own factory volume holds no recordings of the maker's, and the user is told so.
    EXPECT_TRUE (editor->dialogs().questions[0].text.startsWith ("Are you sure you want to execute a factory reset?"));
    EXPECT_EQ (editor->dialogs().questions[0].text.endsWith (
                   "This build of Tessel Editor restores placeholder IRs, not the factory IRs: the reset replaces "
                   "every IR on the pedal with synthetic ones under the factory names."),
               FactoryDiskImageHasPlaceholderIrs);
    EXPECT_TRUE (jobEnded());
    EXPECT_TRUE (pedal->receivedFrames().empty());

    // OK: the job rewrites the flash, then resets the pedal.
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
    editor->dialogs().duringModal (0,
                                   [&]
                                   {
        editor->unplug (pedal);
        editor->plugIn (other);
    });
    chooseFromMenu (page().setButton, "Factory Reset");
    EXPECT_TRUE (jobEnded());
    EXPECT_EQ (editor->messages().back().text, PageControls::pedalMissingMessage);
    EXPECT_EQ (other->externalFlashWriteCount(), 0);
    for (auto& frame : other->receivedFrames())
        EXPECT_NE (frame.code(), Command::factoryReset);
}

namespace
{
using Frames = std::vector<std::string>; // hex, so that a difference reads at a glance

struct TestPage : public CABPatchPage
{
    juce::OwnedArray<CABShape>& getPatchRecords() override { return records; }
    int getSelectedPatchRow() override { return selectedRow; }
    juce::OwnedArray<CABShape> records;
    int selectedRow = 7;
};

/** File record i targets patch 37 i mod 100 with values the pedal does not
    hold; bytes 0 and 1 are junk that must never travel. */
CABShape fileRecord (int i)
{
    CABShape r;
    r.bytes = { 0xEE, 0xDD, (uint8_t) (i * 37 % 100) };
    for (int b = 3; b < CABShape::size; ++b)
        r.bytes[(size_t) b] = (uint8_t) ((i * 11 + b * 3) % 60 + 40);
    return r;
}

std::string hexOf (const HidPacket& f)
{
    return juce::String::toHexString (f.data(), HidPacket::size, 0).toStdString();
}

Frames hexOf (const std::vector<HidPacket>& frames, int onlyCode = -1)
{
    Frames hex;
    for (auto& f : frames)
        if (onlyCode < 0 || f.code() == onlyCode)
            hex.push_back (hexOf (f));
    return hex;
}
std::string command (int code, int value)
{
    return hexOf (HidPacket::command (code, { value }));
}

/** The transfer link's frames with `written` records sent; `ended` when the pedal was there to end it. */
Frames transferOf (int written, bool ended = true)
{
    Frames frames { command (Command::transferState, 1) };
    for (int i = 0; i < written; ++i)
    {
        HidPacket f;
        const auto record = fileRecord (i);
        f.bytes = { Command::writePreset, 10, record.bytes[2] };
        std::copy (record.bytes.begin() + 3, record.bytes.end(), f.bytes.begin() + 3);
        f.seal();
        frames.push_back (hexOf (f));
    }
    if (ended)
        frames.push_back (command (Command::transferState, 0));
    return frames;
}

/** The pedal's current patch 33; the page's copy of its patches, row 7 selected. */
class CABPatchFilesTest : public CabSetMenu
{
protected:
    void SetUp() override
    {
        CabSetMenu::SetUp();
        pedal->selectPatchOnPedal (33);
        filePage.records.clear();
        for (int p = 0; p < 100; ++p)
            std::copy_n (pedal->recordOf (p).begin(), CABShape::size,
                         filePage.records.add (new CABShape())->bytes.begin());
        folder.createDirectory();
        pumpPending();
        pedal->clearReceivedFrames();
        tessel::sim::takeFakeHidapiWrites();
    }

    void TearDown() override
    {
        CabSetMenu::TearDown();
        folder.deleteRecursively();
    }

    juce::File write (int records, int extraBytes = 0)
    {
        juce::MemoryBlock data;
        for (int i = 0; i < records; ++i)
            data.append (fileRecord (i).bytes.data(), CABShape::size);
        data.setSize (data.getSize() + (size_t) extraBytes, true);
        auto file = folder.getNonexistentChildFile ("patches", ".tessel");
        file.replaceWithData (data.getData(), data.getSize());
        return file;
    }

    juce::String outcome()
    {
        const auto shown = [this] (const char* text)
        {
            return std::any_of (editor->messages().begin(), editor->messages().end(),
                                [&] (auto& m) { return m.text == text; });
        };
        pumpUntil (
            [&] { return shown (ImportAllPatchWindow::successMessage) || shown (ImportAllPatchWindow::failedMessage); },
            10000);
        return shown (ImportAllPatchWindow::successMessage) ? ImportAllPatchWindow::successMessage
                                                            : ImportAllPatchWindow::failedMessage;
    }

    /** What the pedal received on either link, all or of one command. */
    Frames received (int code = -1) { return hexOf (pedal->takeReceivedFrames(), code); }

    /** What went out on the transfer link alone, which must be closed after one open. */
    static Frames transferFrames()
    {
        const auto c = tessel::sim::fakeHidapiCounts();
        EXPECT_EQ (std::make_tuple (c.opens, c.closes, handle.load()), std::make_tuple (1, 1, nullptr));
        return hexOf (tessel::sim::takeFakeHidapiWrites());
    }

    /** Whether the page holds file record i as the pedal confirmed it. */
    bool pageHolds (int i)
    {
        auto expected = fileRecord (i);
        expected.bytes[0] = 100;
        expected.bytes[1] = 33;
        return filePage.records[expected.bytes[2]]->bytes == expected.bytes;
    }

    TestPage filePage;
    const juce::File folder = juce::File::getSpecialLocation (juce::File::tempDirectory)
                                  .getChildFile ("tessel-cab-patches-" + juce::Uuid().toString());
    const juce::ScopedValueSetter<int> noSettling { PatchFiles::settleAfterImportMs, 0 },
        noStartDelay { ImportAllPatchWindow::startDelayMs, 0 },
        shortAnswers { ImportAllPatchWindow::answerTimeoutMs, 200 },
        shortStateAnswer { TransferTimeouts::transferStateMs, 200 };
};
} // namespace

TEST_F (CABPatchFilesTest, PatchesGoOutThroughThePagesMenusAsTheirRecordsAndFilesOfTheWrongSizeAreRefused)
{
    auto& cab = CabSetMenu::page();
    const auto items =
        juce::StringArray ("Export One Patch", "Export All Patches", "Import One Patch", "Import All Patches");

    // Cancelling a chooser writes and sends nothing.
    for (auto& item : items)
        chooseFromMenu (item.startsWith ("Export") ? cab.exportButton : cab.importButton, item);
    EXPECT_EQ (folder.getNumberOfChildFiles (juce::File::findFiles), 0);
    editor->messages().clear();

    const auto one = folder.getChildFile ("one.tessel"), all = folder.getChildFile ("all.tessel");
    PageControls::selectRowQuietly (cab.patchList, 5, false);
    editor->dialogs().fileAnswers = { one, all };
    chooseFromMenu (cab.exportButton, items[0]);
    chooseFromMenu (cab.exportButton, items[1]);
    EXPECT_EQ (editor->dialogs().savePatterns[0], PatchFiles::filePattern);
    juce::MemoryBlock saved, allSaved, held;
    ASSERT_TRUE (one.loadFileAsData (saved));
    EXPECT_EQ (saved, juce::MemoryBlock (cab.patchRecords[5]->bytes.data(), CABShape::size));
    for (auto* r : cab.patchRecords)
        held.append (r->bytes.data(), CABShape::size);
    ASSERT_TRUE (all.loadFileAsData (allSaved));
    EXPECT_EQ (allSaved, held);

    // Into patch 9, the selected row, whatever the record's own number says.
    PageControls::selectRowQuietly (cab.patchList, 9, false);
    editor->dialogs().fileAnswers = { one };
    chooseFromMenu (cab.importButton, items[2]);
    pumpPending();
    const auto frames = pedal->takeReceivedFrames();
    ASSERT_GE (frames.size(), 2u);
    EXPECT_EQ (std::make_pair ((int) frames[0].code(), (int) frames[0][2]),
               std::make_pair ((int) Command::writePreset, 9));
    EXPECT_TRUE (std::equal (frames[0].data() + 3, frames[0].data() + 12, cab.patchRecords[5]->bytes.data() + 3));
    EXPECT_EQ (frames[1].bytes, HidPacket::command (Command::selectPatch, { 9 }).bytes);
    auto shown = juce::StringArray();
    for (auto& m : editor->messages())
        shown.add (m.text);
    EXPECT_EQ (shown,
               juce::StringArray (PatchFiles::exportPrompt, PatchFiles::exportPrompt, PatchFiles::effectImportPrompt));

    // Files of the wrong size for the item chosen are refused before anything is sent.
    for (auto [item, file] : { std::pair (items[3], one), std::pair (items[2], write (1, 1)),
                               std::pair (items[2], folder.getChildFile ("missing.tessel")) })
    {
        editor->dialogs().fileAnswers = { file };
        chooseFromMenu (cab.importButton, item);
        EXPECT_EQ (editor->messages().back().text, PatchFiles::wrongFileMessage) << item;
    }
    pumpPending();
    EXPECT_EQ (received(), Frames {});
    EXPECT_EQ (tessel::sim::fakeHidapiCounts().opens, 0);
}

TEST_F (CABPatchFilesTest, AllPatchesExportWhosePatchesChangedWhileChoosingWritesNothingAndSaysWhy)
{
    auto& cab = CabSetMenu::page();
    const auto file = folder.getChildFile ("all.tessel");
    editor->dialogs().fileAnswers = { file };
    editor->dialogs().duringModal (1, [&] { cab.patchRecords.removeLast(); });

    chooseFromMenu (cab.exportButton, "Export All Patches");
    EXPECT_FALSE (file.exists());
    EXPECT_EQ (boxes(), juce::StringArray ("|" + PatchFiles::exportPrompt, "|" + PatchFiles::patchesChangedMessage));
}

TEST_F (CABPatchFilesTest, AllPatchesGoInRecordByRecordEachToItsOwnPatchOrTheImportFailsAndLetsGo)
{
    // { why, fault at this write (-1: none), records in the file, records confirmed, the pedal still there }
    const std::tuple<const char*, Fault, int, int, int, bool> cases[] = {
        { "every record answered at once", Fault::noAnswer, -1, 100, 100, true },
        { "patch 0 as it was, ahead of the first answer", Fault::strayRecord, 0, 100, 100, true },
        { "a wrong answer to the third record", Fault::wrongCode, 2, 100, 2, true },
        { "no answer to the second record", Fault::noAnswer, 1, 100, 1, true },
        { "the file cut short in the third record", Fault::noAnswer, -1, 2, 2, true },
        { "unplugged during the fifth record", Fault::unplug, 4, 100, 4, false },
    };

    for (auto [why, fault, at, records, confirmed, present] : cases)
    {
        SCOPED_TRACE (why);
        TearDown();
        SetUp();
        if (at >= 0)
            pedal->injectFault (fault, Command::writePreset, at);

        editor->dialogs().fileAnswers = { write (100) };
        if (records < 100) // as if cut short after its size was checked
            ImportAllPatchWindow::start (write (records, 6), filePage);
        else
            CABPatchFiles::importPatches (PatchFiles::allPatches, &filePage);

        const bool completes = confirmed == 100;
        EXPECT_EQ (outcome(), completes ? ImportAllPatchWindow::successMessage : ImportAllPatchWindow::failedMessage);
        EXPECT_EQ (transferFrames(), transferOf (completes || at < 0 ? confirmed : at + 1, present));
        for (int i = 0; i < 100; ++i)
            EXPECT_EQ (pageHolds (i), i < confirmed) << "file record " << i;

        // Once complete, the page's row 7 is selected again, then the pedal's current patch 33.
        auto selections = received (Command::selectPatch);
        selections.erase (selections.begin(), selections.end() - std::min<long> (2, (long) selections.size()));
        const auto selected =
            completes ? Frames { command (Command::selectPatch, 7), command (Command::selectPatch, 33) } : Frames {};
        EXPECT_EQ (selections, selected);
    }
}

TEST_F (CABPatchFilesTest, AllPatchesWrittenBeforeThePedalWentAreToldSoWithoutSuccessOrAnotherPedalsPatch)
{
    // Every record confirmed, then the window lets go of the pedal before the
    // page has heard the import end, or while the pedal stores what it was
    // sent: one word that the patches were written, no success, and no patch
    // selected on whatever pedal is linked now.
    const juce::ScopedValueSetter<int> settle { PatchFiles::settleAfterImportMs, 300 };
    enum When
    {
        beforeThePageHeard,
        whileStoring,
        pulledOutWhileStoringAndAnAmpLinked
    };
    std::atomic<int> written { 0 };
    for (auto when : { beforeThePageHeard, whileStoring, pulledOutWhileStoringAndAnAmpLinked })
    {
        SCOPED_TRACE (when == beforeThePageHeard ? "the volume went as the last record was confirmed"
                          : when == whileStoring ? "the volume went while the pedal stored the patches"
                                                 : "pulled out while storing, an AMP linked");
        TearDown();
        SetUp();
        if (when == beforeThePageHeard)
            pedal->onAnswers = [&written] (const HidPacket& command, std::vector<HidPacket>&)
            {
                if (command.code() == Command::writePreset && ++written == 100)
                    juce::MessageManager::callAsync ([] { endLinkSessions(); });
            };

        ImportAllPatchWindow::start (write (100), filePage);
        std::shared_ptr<PedalSimulator> amp;
        if (when == beforeThePageHeard)
        {
            ASSERT_TRUE (pumpUntil ([] { return TransferJob::jobsInProgress() == 0; }, 10000));
        }
        else
        {
            Frames sent;
            ASSERT_TRUE (pumpUntil (
                [&]
                {
                auto more = received (Command::selectPatch);
                sent.insert (sent.end(), more.begin(), more.end());
                return ! sent.empty();
                },
                10000));
            EXPECT_EQ (sent, Frames { command (Command::selectPatch, 7) });
            if (when == whileStoring)
            {
                endLinkSessions();
            }
            else
            {
                editor->unplug (pedal);
                amp = editor->connect (kindAMP, 3);
            }
        }

        EXPECT_TRUE (pumpUntil ([this] { return ! editor->messages().empty(); }, 3000));
        pumpUntil ([] { return false; }, 500);
        pedal->onAnswers = nullptr;
        EXPECT_EQ (boxes(), juce::StringArray ("|" + juce::String (ImportAllPatchWindow::pedalWentMessage)));
        EXPECT_EQ (received (Command::selectPatch), Frames {}) << "nor the pedal's current patch 33 selected";
        if (amp != nullptr)
        {
            EXPECT_EQ (hexOf (amp->receivedFrames(), Command::selectPatch), Frames {});
        }
    }
}

TEST_F (CABPatchFilesTest, ARecordOfAnotherPatchWithTheSameValuesConfirmsNothing)
{
    // Every record holds the same values, so only the patch number tells the
    // pedal's patch 0, sent ahead of the third answer, from that answer. Were
    // it taken as one, the job would run an answer behind, and the last
    // record, which goes unanswered, would still pass.
    juce::MemoryBlock data;
    for (int i = 0; i < 100; ++i)
    {
        auto record = fileRecord (0);
        record.bytes[2] = (uint8_t) i;
        data.append (record.bytes.data(), CABShape::size);
    }
    const auto file = folder.getChildFile ("same.tessel");
    file.replaceWithData (data.getData(), data.getSize());
    pedal->injectFault (Fault::strayRecord, Command::writePreset, 2);
    pedal->injectFault (Fault::noAnswer, Command::writePreset, 96);

    ImportAllPatchWindow::start (file, filePage);
    EXPECT_EQ (outcome(), ImportAllPatchWindow::failedMessage);
}

TEST_F (CABPatchFilesTest, APedalThatClampsValuesCompletesTheImportAndThePageHoldsWhatItAnswered)
{
    // The pedal keeps nothing over 60; patch 0 as it was goes out ahead of
    // the first answer, as one the live link asked for.
    const juce::ScopedValueSetter<int> shortSettle { ImportAllPatchWindow::answerSettleMs, 30 };
    pedal->onAnswers = [] (const HidPacket&, std::vector<HidPacket>& answers)
    {
        for (auto& answer : answers)
            if (answer.code() == Reply::presetRecord)
            {
                for (int b = 5; b < 14; ++b)
                    answer.bytes[(size_t) b] = std::min<uint8_t> (answer.bytes[(size_t) b], 60);
                answer.seal();
            }
    };
    pedal->injectFault (Fault::strayRecord, Command::writePreset, 0);

    ImportAllPatchWindow::start (write (100), filePage);
    EXPECT_EQ (outcome(), ImportAllPatchWindow::successMessage);
    EXPECT_EQ (transferFrames(), transferOf (100));
    std::vector<int> notAsAnswered;
    for (int i = 0; i < 100; ++i)
    {
        auto expected = fileRecord (i);
        std::tie (expected.bytes[0], expected.bytes[1]) = std::pair (100, 33);
        for (int b = 3; b < CABShape::size; ++b)
            expected.bytes[(size_t) b] = std::min<uint8_t> (expected.bytes[(size_t) b], 60);
        if (filePage.records[expected.bytes[2]]->bytes != expected.bytes)
            notAsAnswered.push_back (i);
    }
    EXPECT_EQ (notAsAnswered, std::vector<int> {}) << "file records the page holds otherwise than the pedal answered";
}

TEST_F (CABPatchFilesTest, AnAnswerAlreadyThereCountsHoweverLateTheJobLooks)
{
    // A wait of nothing stands for a thread that a busy machine let run only
    // after the time was up: the answers are there, and all are taken.
    const juce::ScopedValueSetter<int> noWait { ImportAllPatchWindow::answerTimeoutMs, 0 };
    ImportAllPatchWindow::start (write (100), filePage);
    EXPECT_EQ (outcome(), ImportAllPatchWindow::successMessage);
}

namespace
{
using CabTransferJobs = CABPatchFilesTest;
} // namespace

TEST_F (CabTransferJobs, WithTwoCabPedalsAttachedTheImportAndTheResetGoToTheLinkedOneOnly)
{
    // Both have the CAB's IDs; the newer is linked, the older was plugged in first.
    const auto older = pedal;
    pedal = editor->connect (kindCAB, 100);
    for (auto& p : { older, pedal })
        p->clearReceivedFrames();
    editor->messages().clear();

    ImportAllPatchWindow::start (write (100), filePage);
    EXPECT_EQ (outcome(), ImportAllPatchWindow::successMessage);
    EXPECT_EQ (received (Command::writePreset).size(), 100u);
    EXPECT_EQ (hexOf (older->receivedFrames(), Command::writePreset), Frames {});

    ASSERT_TRUE (reset());
    EXPECT_EQ (pedal->externalFlashWriteCount(), sentBlocks);
    EXPECT_EQ (received (Command::factoryReset).size(), 1u);
    EXPECT_EQ (older->externalFlashWriteCount(), 0);
    EXPECT_EQ (hexOf (older->receivedFrames()), Frames {}) << "no erase, no transfer state, no reset";
    EXPECT_EQ (
        boxes(),
        juce::StringArray ("|" + juce::String (ImportAllPatchWindow::successMessage), successTitle + "|" + reconnect));
}

TEST_F (CabTransferJobs, APedalSwappedBeforeTheTransferBeginsGetsNothingAndTheUserIsTold)
{
    // The swap falls between the job's start, which takes note of the
    // pedal, and the end of its pause, when it opens the link.
    const std::pair<const char*, std::function<TransferJob*()>> jobs[] = {
        { "all patches import", [this] { return new ImportAllPatchWindow (write (100).getFullPathName(), filePage); } },
        { "factory reset", [] { return new WriteIRWindow(); } },
    };
    for (auto& [name, create] : jobs)
    {
        SCOPED_TRACE (name);
        auto* job = create();
        const auto other = PedalSimulator::create (kindCAB);
        editor->unplug (pedal);
        editor->connect (other);
        pumpPending();
        other->clearReceivedFrames();
        tessel::sim::resetFakeHidapiCounts();
        editor->messages().clear();

        job->launchThread (juce::Thread::Priority::normal);
        ASSERT_TRUE (
            pumpUntil ([this] { return TransferJob::jobsInProgress() == 0 && ! editor->messages().empty(); }, 10000));
        pumpPending();
        EXPECT_EQ (boxes(), juce::StringArray ("|" + juce::String (TransferJob::pedalChangedMessage)));
        EXPECT_EQ (tessel::sim::fakeHidapiCounts().opens, 0);
        EXPECT_EQ (hexOf (other->receivedFrames()), Frames {});
        pedal = other;
    }
}

TEST_F (CabTransferJobs, AnswersThatComeAfterAnotherPedalHasTakenThePageStayOutOfIt)
{
    // A newer CAB pedal is plugged in as the 51st record goes out; the older
    // one still answers it and the rest, over the job's own link.
    const auto newer = PedalSimulator::create (kindCAB);
    std::atomic<int> written { 0 };
    pedal->onAnswers = [&] (const HidPacket& command, std::vector<HidPacket>&)
    {
        if (command.code() == Command::writePreset && ++written == 51)
            editor->bus.plug (newer);
    };
    std::vector<CABShape> before;
    for (auto* record : filePage.records)
        before.push_back (*record);

    ImportAllPatchWindow::start (write (100), filePage);
    ASSERT_TRUE (pumpUntil ([] { return TransferJob::jobsInProgress() == 0; }, 10000));
    pumpPending();
    pedal->onAnswers = nullptr;

    ASSERT_EQ (written.load(), 100);
    for (int i = 0; i < 100; ++i)
    {
        const auto row = fileRecord (i).bytes[2];
        EXPECT_TRUE (i < 50 ? pageHolds (i) : filePage.records[row]->bytes == before[row].bytes) << "file record " << i;
    }
}
