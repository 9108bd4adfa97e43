#include <gtest/gtest.h>

#include "cab/ImportAllPatchWindow.h"
#include "device/ProtocolCodes.h"
#include "device/TransferLink.h"
#include "pages/PatchFiles.h"
#include "support/EditorHarness.h"
#include "support/FakeHidapi.h"

using tessel::sim::Fault;
using Frames = std::vector<std::string>;   // hex, so that a difference reads at a glance

namespace
{
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

std::string hexOf (const HidPacket& f) { return juce::String::toHexString (f.data(), HidPacket::size, 0).toStdString(); }

Frames hexOf (const std::vector<HidPacket>& frames, int onlyCode = -1)
{
    Frames hex;
    for (auto& f : frames)
        if (onlyCode < 0 || f.code() == onlyCode)
            hex.push_back (hexOf (f));
    return hex;
}
std::string command (int code, int value) { return hexOf (HidPacket::command (code, { value })); }

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

/** A CAB pedal of 100 patches on the live link, its current patch 33; the
    page's copy of them, row 7 selected; short waits. */
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
        for (int p = 0; p < 100; ++p)
            std::copy_n (pedal->recordOf (p).begin(), CABShape::size, page.records.add (new CABShape())->bytes.begin());

        folder.createDirectory();
        tessel::test::pumpPending();
        pedal->clearReceivedFrames();
        editor->messages().clear();
        tessel::sim::resetFakeHidapiCounts();
        tessel::sim::takeFakeHidapiWrites();
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
        { return std::any_of (editor->messages().begin(), editor->messages().end(), [&] (auto& m) { return m.text == text; }); };
        tessel::test::pumpUntil ([&] { return shown (ImportAllPatchWindow::successMessage) || shown (ImportAllPatchWindow::failedMessage); }, 10000);
        return shown (ImportAllPatchWindow::successMessage) ? ImportAllPatchWindow::successMessage : ImportAllPatchWindow::failedMessage;
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
        return page.records[expected.bytes[2]]->bytes == expected.bytes;
    }

    std::unique_ptr<tessel::test::EditorHarness> editor;
    std::shared_ptr<tessel::sim::PedalSimulator> pedal;
    TestPage page;
    const juce::File folder = juce::File::getSpecialLocation (juce::File::tempDirectory)
                                  .getChildFile ("tessel-cab-patches-" + juce::Uuid().toString());
    const juce::ScopedValueSetter<int> noSettling { PatchFiles::settleAfterImportMs, 0 },
        noStartDelay { ImportAllPatchWindow::startDelayMs, 0 }, shortAnswers { ImportAllPatchWindow::answerTimeoutMs, 200 },
        shortStateAnswer { TransferTimeouts::transferStateMs, 200 };
};
} // namespace

TEST_F (CABPatchFilesTest, AllPatchesGoOutAsTheirRecordsAndFilesOfTheWrongSizeAreRefused)
{
    // Cancelling a chooser writes and sends nothing.
    for (int item : { PatchFiles::onePatch, PatchFiles::allPatches })
    {
        CABPatchFiles::importPatches (item, &page);
        CABPatchFiles::exportPatches (item, &page);
    }
    EXPECT_EQ (folder.getNumberOfChildFiles (juce::File::findFiles), 0);

    // One patch out and back in goes through the page's own buttons (the CAB menu tests).
    const auto all = folder.getChildFile ("all.tessel");
    editor->dialogs().fileAnswers = { all };
    CABPatchFiles::exportPatches (PatchFiles::allPatches, &page);
    juce::MemoryBlock held, allBytes;
    for (auto* r : page.records)
        held.append (r->bytes.data(), CABShape::size);
    all.loadFileAsData (allBytes);
    EXPECT_EQ (allBytes, held);

    // Files of the wrong size for the item chosen are refused before anything is sent.
    for (auto [item, file] : { std::pair (PatchFiles::onePatch, write (1, 1)), std::pair (PatchFiles::allPatches, write (99)),
                               std::pair (PatchFiles::onePatch, folder.getChildFile ("missing.tessel")) })
    {
        editor->dialogs().fileAnswers = { file };
        CABPatchFiles::importPatches (item, &page);
        EXPECT_EQ (editor->messages().back().text, PatchFiles::wrongFileMessage);
    }
    tessel::test::pumpPending();
    EXPECT_EQ (received(), Frames {});
    EXPECT_EQ (tessel::sim::fakeHidapiCounts().opens, 0);
}

TEST_F (CABPatchFilesTest, AllPatchesGoInRecordByRecordEachToItsOwnPatchOrTheImportFailsAndLetsGo)
{
    // { why, fault at this write (-1: none), records in the file, records confirmed, the pedal still there }
    const std::tuple<const char*, Fault, int, int, int, bool> cases[] = {
        { "every record answered at once", Fault::noAnswer, -1, 100, 100, true },
        { "patch 0 as it was, ahead of the first answer", Fault::strayRecord, 0, 100, 100, true },
        { "patch 0 ahead of the third answer", Fault::strayRecord, 2, 100, 100, true },
        { "a wrong answer to the third record", Fault::wrongCode, 2, 100, 2, true },
        { "no answer to the second record", Fault::noAnswer, 1, 100, 1, true },
        { "the file cut short in the third record", Fault::noAnswer, -1, 2, 2, true },
        { "unplugged during the fifth record", Fault::unplug, 4, 100, 4, false },
    };

    for (auto [why, fault, at, records, confirmed, present] : cases)
    {
        SCOPED_TRACE (why);
        connectAnew();
        if (at >= 0)
            pedal->injectFault (fault, Command::writePreset, at);

        if (records < 100)
        {
            ImportAllPatchWindow::start (write (records, 6), page);   // as if cut short after its size was checked
        }
        else
        {
            editor->dialogs().fileAnswers = { write (100) };
            CABPatchFiles::importPatches (PatchFiles::allPatches, &page);
        }

        const bool completes = confirmed == 100;
        EXPECT_EQ (outcome(), completes ? ImportAllPatchWindow::successMessage : ImportAllPatchWindow::failedMessage);
        EXPECT_EQ (transferFrames(), transferOf (completes || at < 0 ? confirmed : at + 1, present));
        for (int i = 0; i < 100; ++i)
            EXPECT_EQ (pageHolds (i), i < confirmed) << "file record " << i;

        // Once complete, the page's row 7 is selected again, then the pedal's current patch 33.
        auto selections = received (Command::selectPatch);
        selections.erase (selections.begin(), selections.end() - std::min<long> (2, (long) selections.size()));
        const auto selected = completes ? Frames { command (Command::selectPatch, 7), command (Command::selectPatch, 33) } : Frames {};
        EXPECT_EQ (selections, selected);
    }
}
