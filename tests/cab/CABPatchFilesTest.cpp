#include <gtest/gtest.h>

#include <tuple>

#include "cab/CABPatchFiles.h"
#include "cab/ImportAllPatchWindow.h"
#include "device/ProtocolCodes.h"
#include "device/TransferLink.h"
#include "pages/PatchFiles.h"
#include "support/EditorHarness.h"
#include "support/FakeHidapi.h"

using tessel::sim::Fault;
using tessel::sim::PedalSimulator;
using tessel::test::pumpPending;
using tessel::test::pumpUntil;

namespace
{
/** The part of the CAB page the patch files use. */
struct TestPage : public CABPatchPage
{
    juce::OwnedArray<CABShape>& getPatchRecords() override { return records; }
    int getSelectedPatchRow() override { return selectedRow; }

    juce::OwnedArray<CABShape> records;
    int selectedRow = 7;
};

/** File record i writes patch 37 i mod 100 with values the pedal does not
    hold; bytes 0 and 1 carry junk that must never travel. */
CABShape fileRecord (int i)
{
    CABShape r;
    r.bytes = { 0xEE, 0xDD, (uint8_t) (i * 37 % 100) };
    for (int b = 3; b < CABShape::size; ++b)
        r.bytes[(size_t) b] = (uint8_t) ((i * 11 + b * 3) % 60 + 40);
    return r;
}

/** Frames as hex, one string each, so that a difference reads at a glance. */
using Frames = std::vector<std::string>;

std::string hexOf (const HidPacket& frame)
{
    return juce::String::toHexString (frame.data(), HidPacket::size, 0).toStdString();
}

std::string writeFrame (const CABShape& r, int target)
{
    HidPacket f;
    f.bytes = { Command::writePreset, 10, (uint8_t) target };
    std::copy (r.bytes.begin() + 3, r.bytes.end(), f.bytes.begin() + 3);
    f.seal();
    return hexOf (f);
}

/** The transfer link's frames when `written` records went out; `ended` when
    the transfer state could still be ended. */
Frames transferOf (int written, bool ended = true)
{
    Frames frames { hexOf (HidPacket::command (Command::transferState, { 1 })) };
    for (int i = 0; i < written; ++i)
        frames.push_back (writeFrame (fileRecord (i), fileRecord (i).bytes[2]));
    if (ended)
        frames.push_back (hexOf (HidPacket::command (Command::transferState, { 0 })));
    return frames;
}

/** A CAB pedal of 100 patches on the live link (its current patch 33), the
    page's copy of them with row 7 selected, and short waits. */
class CABPatchFilesTest : public ::testing::Test
{
protected:
    void SetUp() override { connectAnew(); }
    void TearDown() override { folder.deleteRecursively(); }

    void connectAnew()
    {
        editor = nullptr;
        editor = std::make_unique<tessel::test::EditorHarness>();
        pedal = editor->connect (kindCAB, 100);
        pedal->selectPatchOnPedal (33);

        page.records.clear();
        page.selectedRow = 7;
        for (int p = 0; p < 100; ++p)
        {
            auto* r = page.records.add (new CABShape());
            std::copy_n (pedal->recordOf (p).begin(), CABShape::size, r->bytes.begin());
        }

        folder.createDirectory();
        pumpPending();
        pedal->clearReceivedFrames();
        editor->messages().clear();
        tessel::sim::resetFakeHidapiCounts();
        tessel::sim::takeFakeHidapiWrites();
    }

    juce::File write (int records, int extraBytes = 0, int first = 0)
    {
        juce::MemoryBlock data;
        for (int i = first; i < first + records; ++i)
            data.append (fileRecord (i).bytes.data(), CABShape::size);
        data.setSize (data.getSize() + (size_t) extraBytes, true);
        auto file = folder.getNonexistentChildFile ("patches", ".tessel");
        file.replaceWithData (data.getData(), data.getSize());
        return file;
    }

    /** The box that tells the import's outcome, once it is shown. */
    juce::String outcome()
    {
        juce::String text;
        pumpUntil ([&]
        {
            for (auto& m : editor->messages())
                if (m.text == ImportAllPatchWindow::successMessage || m.text == ImportAllPatchWindow::failedMessage)
                    text = m.text;
            return text.isNotEmpty();
        }, 10000);
        return text;
    }

    static Frames transferFrames()
    {
        Frames frames;
        for (auto& f : tessel::sim::takeFakeHidapiWrites())
            frames.push_back (hexOf (f));
        return frames;
    }

    /** The frames the pedal received on either link, all or of one command. */
    Frames received (int code = -1)
    {
        Frames frames;
        for (auto& f : pedal->takeReceivedFrames())
            if (code < 0 || f.code() == code)
                frames.push_back (hexOf (f));
        return frames;
    }

    /** Whether the page holds file record i as the pedal confirmed it. */
    bool pageHolds (int i)
    {
        auto expected = fileRecord (i);
        expected.bytes[0] = 100;
        expected.bytes[1] = 33;
        return page.records[expected.bytes[2]]->bytes == expected.bytes;
    }

    void expectLinkClosed()
    {
        const auto c = tessel::sim::fakeHidapiCounts();
        EXPECT_EQ (handle.load(), nullptr);
        EXPECT_EQ (std::tie (c.opens, c.closes), std::make_tuple (1, 1));
    }

    std::unique_ptr<tessel::test::EditorHarness> editor;
    std::shared_ptr<PedalSimulator> pedal;
    TestPage page;
    const juce::File folder = juce::File::getSpecialLocation (juce::File::tempDirectory)
                                  .getChildFile ("tessel-cab-patches-" + juce::Uuid().toString());

    const juce::ScopedValueSetter<int> noSettling { PatchFiles::settleAfterImportMs, 0 };
    const juce::ScopedValueSetter<int> noStartDelay { ImportAllPatchWindow::startDelayMs, 0 };
    const juce::ScopedValueSetter<int> shortAnswers { ImportAllPatchWindow::answerTimeoutMs, 200 };
    const juce::ScopedValueSetter<int> shortStateAnswer { TransferTimeouts::transferStateMs, 200 };
};
} // namespace

TEST_F (CABPatchFilesTest, OnePatchGoesOutAsTwelveBytesAndComesBackIntoTheSelectedRow)
{
    const auto one = folder.getChildFile ("one.tessel"), all = folder.getChildFile ("all.tessel");
    editor->dialogs().fileAnswers = { one, all };
    CABPatchFiles::exportPatches (PatchFiles::onePatch, &page);
    CABPatchFiles::exportPatches (PatchFiles::allPatches, &page);

    juce::MemoryBlock oneBytes, allBytes;
    one.loadFileAsData (oneBytes);
    all.loadFileAsData (allBytes);
    EXPECT_EQ (oneBytes, juce::MemoryBlock (page.records[7]->bytes.data(), 12));
    ASSERT_EQ (allBytes.getSize(), 1200u);
    EXPECT_EQ (juce::MemoryBlock (allBytes.begin() + 12 * 99, 12), juce::MemoryBlock (page.records[99]->bytes.data(), 12));

    // File record 1 names patch 37; the selected row 5 takes it, on the live link.
    page.selectedRow = 5;
    editor->dialogs().fileAnswers = { write (1, 0, 1) };
    CABPatchFiles::importPatches (PatchFiles::onePatch, &page);
    pumpPending();
    EXPECT_EQ (received(), (Frames { writeFrame (fileRecord (1), 5), hexOf (HidPacket::command (Command::selectPatch, { 5 })) }));
    EXPECT_EQ (pedal->currentPatch(), 5);
    EXPECT_EQ (editor->dialogs().openPatterns, juce::StringArray ("*.Tessel"));

    // Files of the wrong size for the item chosen are refused before anything is sent.
    for (auto [item, file] : { std::pair (PatchFiles::onePatch, write (1, 1)),
                               std::pair (PatchFiles::allPatches, write (99)),
                               std::pair (PatchFiles::onePatch, folder.getChildFile ("missing.tessel")) })
    {
        editor->messages().clear();
        editor->dialogs().fileAnswers = { file };
        CABPatchFiles::importPatches (item, &page);
        EXPECT_EQ (editor->messages().back().text, PatchFiles::wrongFileMessage);
    }
    pumpPending();
    EXPECT_EQ (received(), Frames {});
    EXPECT_EQ (tessel::sim::fakeHidapiCounts().opens, 0);
}

TEST_F (CABPatchFilesTest, AllPatchesGoInRecordByRecordEachToItsOwnPatchWhateverElseArrives)
{
    const std::tuple<const char*, int> cases[] = {
        { "every record answered at once", -1 },
        { "patch 0 as it was, ahead of the first answer", 0 },
        { "patch 0 ahead of the third answer", 2 },
    };

    for (auto [why, strayBefore] : cases)
    {
        SCOPED_TRACE (why);
        connectAnew();
        if (strayBefore >= 0)
            pedal->injectFault (Fault::strayRecord, Command::writePreset, strayBefore);

        editor->dialogs().fileAnswers = { write (100) };
        CABPatchFiles::importPatches (PatchFiles::allPatches, &page);
        ASSERT_EQ (outcome(), ImportAllPatchWindow::successMessage);
        EXPECT_EQ (transferFrames(), transferOf (100));

        // Then the page's row 7 is selected again, and the pedal's current patch 33.
        const auto selections = received (Command::selectPatch);
        EXPECT_EQ (Frames (selections.end() - std::min<size_t> (2, selections.size()), selections.end()),
                   (Frames { hexOf (HidPacket::command (Command::selectPatch, { 7 })),
                             hexOf (HidPacket::command (Command::selectPatch, { 33 })) }));

        for (int i = 0; i < 100; ++i)
            EXPECT_TRUE (pageHolds (i)) << "file record " << i;
        expectLinkClosed();
    }
}

TEST_F (CABPatchFilesTest, AnImportThatCannotFinishFailsEndsTheTransferAndClosesTheLink)
{
    // { why, fault at this write (-1: none), records confirmed, the pedal still there }
    const std::tuple<const char*, Fault, int, int, bool> cases[] = {
        { "a wrong answer to the third record", Fault::wrongCode, 2, 2, true },
        { "no answer to the second record", Fault::noAnswer, 1, 1, true },
        { "the file cut short in the third record", Fault::noAnswer, -1, 2, true },
        { "unplugged during the fifth record", Fault::unplug, 4, 4, false },
    };

    for (auto [why, fault, at, confirmed, present] : cases)
    {
        SCOPED_TRACE (why);
        connectAnew();
        if (at >= 0)
        {
            pedal->injectFault (fault, Command::writePreset, at);
            editor->dialogs().fileAnswers = { write (100) };
            CABPatchFiles::importPatches (PatchFiles::allPatches, &page);
        }
        else
        {
            // Shortened after its size was checked.
            ImportAllPatchWindow::start (write (2, 6), page);
        }

        EXPECT_EQ (outcome(), ImportAllPatchWindow::failedMessage);
        EXPECT_EQ (transferFrames(), transferOf (at >= 0 ? at + 1 : confirmed, present));
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ (pageHolds (i), i < confirmed) << "file record " << i;
        expectLinkClosed();
    }
}

TEST_F (CABPatchFilesTest, CancellingTheChooserWritesAndSendsNothing)
{
    for (int item : { PatchFiles::onePatch, PatchFiles::allPatches })
    {
        CABPatchFiles::importPatches (item, &page);
        CABPatchFiles::exportPatches (item, &page);
    }

    pumpPending();
    EXPECT_EQ (editor->messages().size(), 4u);
    EXPECT_EQ (received(), Frames {});
    EXPECT_EQ (tessel::sim::fakeHidapiCounts().opens, 0);
    EXPECT_EQ (folder.getNumberOfChildFiles (juce::File::findFiles), 0);
}
