#include <gtest/gtest.h>

#include "app/ConnectionSequence.h"
#include "app/MainContentComponent.h"
#include "cab/CopyWavThread.h"
#include "cab/ImportAllPatchWindow.h"
#include "cab/KVCABView.h"
#include "pages/KVAMPView.h"
#include "pages/KVDLYView.h"
#include "pages/KVMODView.h"
#include "pagekit/PatchFiles.h"
#include "support/EditorHarness.h"
#include "support/SimulatedCabVolume.h"

// Everything the window does during a connection belongs to the pedal it was
// started for: a slow pedal answering twice, two pedals plugged in at once, a
// pedal replacing another, a pedal that stops answering, a CAB pedal's volume
// going away beside another pedal, and jobs that outlive their pedal.

using namespace tessel::sim;
using namespace tessel::test;

namespace
{
using Sent = std::vector<int>; // code, then payload

/** The connection a pedal sees when every answer comes at once. */
std::vector<Sent> wholeConnection (DeviceKind kind, int names, int patches)
{
    std::vector<Sent> out { { Command::identify } };
    for (int n = 0; n < names; ++n)
        out.push_back ({ Command::getAlgorithmName, n });
    out.push_back ({ Command::transferState, 1 });
    for (int p = 0; p < patches; ++p)
        out.push_back ({ Command::requestPreset, p });
    out.insert (out.end(), { { Command::transferState, 0 }, { Command::getBypass } });
    if (kind == kindDLY)
        out.insert (out.end(), { { Command::getMaxDelay }, { Command::getTapTempo } });
    // The pedal answers the end of the transfer state, which asks for record 0 again.
    out.push_back ({ Command::requestPreset, 0 });
    return out;
}

/** The first `count` frames a pedal received. */
std::vector<Sent> firstFrames (PedalSimulator& pedal, size_t count)
{
    auto frames = takeSentFrames (pedal);
    frames.resize (std::min (frames.size(), count));
    return frames;
}

bool connected (EditorHarness& h, PedalSimulator& pedal)
{
    const auto frames = pedal.receivedFrames();
    return h.hub().loadingWindow == nullptr
        && std::any_of (frames.begin(), frames.end(), [] (auto& f) { return f.code() == Command::getBypass; });
}

int timesSent (PedalSimulator& pedal, const Sent& frame)
{
    const auto frames = takeSentFrames (pedal);
    return (int) std::count (frames.begin(), frames.end(), frame);
}

bool hasReceived (PedalSimulator& pedal, int code)
{
    const auto frames = pedal.receivedFrames();
    return std::any_of (frames.begin(), frames.end(), [code] (auto& f) { return f.code() == code; });
}

/** A slow pedal: its first answer to `command` (with this first argument)
    comes only when the editor asks again, just ahead of the second answer. */
void answerTwiceWhenAskedAgain (PedalSimulator& pedal, int command, int argument)
{
    pedal.onAnswers = [command, argument, held = std::vector<HidPacket>(),
                       asked = 0] (const HidPacket& frame, std::vector<HidPacket>& answers) mutable
    {
        if (frame.code() != command || frame[2] != argument)
            return;
        if (++asked == 1)
            held = std::exchange (answers, {});
        else
            answers.insert (answers.begin(), held.begin(), held.end());
    };
}

juce::String joined (const juce::StringArray& names)
{
    return names.joinIntoString ("|");
}

juce::File freshFolder()
{
    auto folder = juce::File::getSpecialLocation (juce::File::tempDirectory)
                      .getChildFile ("tessel-session-" + juce::Uuid().toString());
    folder.createDirectory();
    return folder;
}
} // namespace

TEST (PedalSession, ASlowPedalsSecondAnswersChangeNoNameAndALostOneIsAskedAgain)
{
    // The identify answered twice, as is name 2; name 2's first answer lost.
    const std::tuple<const char*, int, std::function<void (PedalSimulator&)>> cases[] = {
        { "identity answered twice", Command::identify,
          [] (PedalSimulator& p) { answerTwiceWhenAskedAgain (p, Command::identify, 0); } },
        { "name answered twice", Command::getAlgorithmName,
          [] (PedalSimulator& p) { answerTwiceWhenAskedAgain (p, Command::getAlgorithmName, 2); } },
        { "name lost", Command::getAlgorithmName,
          [] (PedalSimulator& p) { p.injectFault (Fault::noAnswer, Command::getAlgorithmName, 2); } },
    };

    for (const auto& [why, repeated, misbehave] : cases)
    {
        SCOPED_TRACE (why);
        const juce::ScopedValueSetter<int> quickly (
            repeated == Command::identify ? ConnectionSequence::identityTimeoutMs : ConnectionSequence::nameTimeoutMs,
            400);
        EditorHarness h;
        auto pedal = PedalSimulator::create (kindAMP);
        pedal->setPatches (3);
        misbehave (*pedal);
        h.connect (pedal);

        // The rows name the pedal's algorithms in its order, and the wire is
        // the whole connection with the one request asked again.
        const auto names = pedal->algorithmNames();
        EXPECT_EQ (joined (h.ampPage().algorithmNames), joined (names));
        auto expected = wholeConnection (kindAMP, names.size(), 3);
        expected.insert (repeated == Command::identify ? expected.begin() : expected.begin() + 4,
                         repeated == Command::identify ? Sent { Command::identify }
                                                       : Sent { Command::getAlgorithmName, 2 });
        EXPECT_EQ (firstFrames (*pedal, expected.size()), expected);
    }

    // A name never answered is asked for a few times; then the user is told, as for a pedal that never identifies.
    const juce::ScopedValueSetter<int> quickly (ConnectionSequence::nameTimeoutMs, 100);
    EditorHarness h;
    auto pedal = PedalSimulator::create (kindAMP);
    for (int i = 0; i <= ConnectionSequence::nameRequestRetries; ++i)
        pedal->injectFault (Fault::noAnswer, Command::getAlgorithmName, i == 0 ? 1 : 0);
    h.plugIn (pedal);

    EXPECT_TRUE (
        pumpUntil ([&] { return h.noDevicePage().statusLabel.getText() == "The pedal does not answer."; }, 5000));
    EXPECT_EQ (h.noDevicePage().hintLabel.getText(), "Please disconnect it and connect it again.");
    EXPECT_EQ (timesSent (*pedal, { Command::getAlgorithmName, 1 }), 1 + ConnectionSequence::nameRequestRetries);
    EXPECT_TRUE (h.hub().connection == nullptr && h.noDevicePage().isVisible());
}

TEST (PedalSession, OfTwoPedalsPluggedInTogetherTheOlderOnesAnswersNeverReachTheNewer)
{
    EditorHarness h;
    auto amp = PedalSimulator::create (kindAMP);
    auto dly = PedalSimulator::create (kindDLY);
    dly->setPatches (4);
    h.bus.plug (amp);
    h.bus.plug (dly);
    ASSERT_TRUE (pumpUntil ([&] { return connected (h, *dly); }, 10000));
    pumpPending();

    // The AMP pedal's identity, still on its way when the DLY pedal was
    // linked, starts nothing: the DLY rows are its own names in order.
    EXPECT_EQ (joined (h.hub().dlyPage().algorithmNames), joined (dly->algorithmNames()));
    EXPECT_EQ (takeSentFrames (*dly), wholeConnection (kindDLY, dly->algorithmNames().size(), 4));
    EXPECT_EQ (takeSentFrames (*amp), (std::vector<Sent> { { Command::identify } }));

    // Its knob later changes nothing either.
    const auto value = h.hub().dlyPage().knobSliders[0].getValue();
    amp->turnKnob (0, value == 7 ? 8 : 7);
    pumpPending();
    EXPECT_EQ (h.hub().dlyPage().knobSliders[0].getValue(), value);
}

TEST (PedalSession, APedalReplacingAnotherStartsFromCleanPagesAndTheOtherLeavesItsTransferState)
{
    {
        // Another AMP pedal with fewer patches: its own 3 records and names, and its dump ended on it.
        EditorHarness h;
        h.connect (kindAMP, 7);
        auto second = h.connect (kindAMP, 3);
        EXPECT_EQ (h.ampPage().patchRecords.size(), 3);
        EXPECT_EQ (joined (h.ampPage().algorithmNames), joined (second->algorithmNames()));
        EXPECT_EQ (takeSentFrames (*second), wholeConnection (kindAMP, second->algorithmNames().size(), 3));
    }
    {
        // A DLY pedal after an AMP pedal: none of the AMP's names or records on any page.
        EditorHarness h;
        h.connect (kindAMP, 7);
        auto dly = h.connect (kindDLY, 5);
        EXPECT_EQ (joined (h.hub().dlyPage().algorithmNames), joined (dly->algorithmNames()));
        EXPECT_EQ (h.hub().dlyPage().patchRecords.size(), 5);
        EXPECT_TRUE (h.ampPage().patchRecords.isEmpty() && h.ampPage().algorithmNames.isEmpty());
    }
    {
        // A DLY pedal after one following tap tempo: until it tells its own tap-tempo state, its rate knob shows.
        EditorHarness h;
        auto synced = PedalSimulator::create (kindDLY);
        synced->setTapTempoSync (true);
        h.connect (synced);
        auto dly = PedalSimulator::create (kindDLY);
        dly->injectFault (Fault::noAnswer, Command::getTapTempo);
        h.connect (dly);
        dly->turnKnob (KVEffectPage::rateKnob, 33);
        pumpPending();
        EXPECT_EQ (h.hub().dlyPage().knobSliders[KVEffectPage::rateKnob].getValue(), 33.0);
    }

    // An AMP pedal replaced half-way through its dump leaves its transfer state at once; the newer gets
    // nothing of the older's dump (neither its requests asked again nor its end).
    EditorHarness h;
    auto amp = PedalSimulator::create (kindAMP);
    amp->injectFault (Fault::noAnswer, Command::requestPreset, 2);
    h.bus.plug (amp);
    ASSERT_TRUE (pumpUntil ([&] { return h.ampPage().patchRecords.size() == 2; }));
    amp->clearReceivedFrames();

    auto dly = h.connect (kindDLY, 4);
    EXPECT_EQ (takeSentFrames (*amp), (std::vector<Sent> { { Command::transferState, 0 } }));
    pumpUntil ([] { return false; }, 300);
    EXPECT_EQ (takeSentFrames (*dly), wholeConnection (kindDLY, dly->algorithmNames().size(), 4));
    EXPECT_TRUE (h.ampPage().patchRecords.isEmpty() && h.hub().dlyPage().patchRecords.size() == 4);
}

TEST (PedalSession, NoRowSelectedForAPedalIsCarriedOverAndTheNextOnesDumpSelectsItsCurrentPatchUnsent)
{
    const auto selectedRows = [] (juce::ListBox& list)
    {
        std::vector<int> rows;
        for (int i = 0; i < list.getNumSelectedRows(); ++i)
            rows.push_back (list.getSelectedRow (i));
        return rows;
    };
    {
        // Two rows selected, then another MOD with fewer patches: its dump's end selects nothing on it.
        EditorHarness h;
        auto first = h.connect (kindMOD, 12);
        auto& page = h.hub().modPage();
        page.patchList.selectRow (3);
        page.patchList.selectRow (10, false, false);
        h.unplug (first);

        auto next = h.connect (kindMOD, 5);
        const auto frames = takeSentFrames (*next);
        EXPECT_EQ (std::count_if (frames.begin(), frames.end(), [] (auto& f) { return f[0] == Command::selectPatch; }),
                   0);
        EXPECT_EQ (selectedRows (page.patchList), std::vector<int> { 0 });
    }

    // A CAB on patch 3 whose answer to the end of its transfer state is lost: row 3 is selected all the same.
    EditorHarness h;
    auto first = h.connect (kindCAB, 12);
    auto& page = h.hub().cabPage();
    page.patchList.selectRow (7);
    h.unplug (first);

    auto next = PedalSimulator::create (kindCAB);
    next->selectPatchOnPedal (3);
    next->injectFault (Fault::noAnswer, Command::transferState, 1);
    h.connect (next);
    EXPECT_EQ (selectedRows (page.patchList), std::vector<int> { 3 });
}

TEST (PedalSession, WhenTheLinkedPedalGoesThePedalStillAttachedIsLinkedAndLoadedAsIfJustPluggedIn)
{
    EditorHarness h;
    auto amp = h.connect (kindAMP, 3);
    auto dly = h.connect (kindDLY, 4);
    amp->clearReceivedFrames();

    h.unplug (dly);
    ASSERT_TRUE (pumpUntil ([&] { return connected (h, *amp); }, 5000));

    EXPECT_EQ (takeSentFrames (*amp), wholeConnection (kindAMP, amp->algorithmNames().size(), 3));
    EXPECT_TRUE (h.ampPage().isVisible() && h.ampPage().patchRecords.size() == 3);
}

TEST (PedalSession, OnlyTheLinkedCabPedalsOwnVolumeEndsItsSession)
{
    for (bool pulledOut : { false, true })
    {
        SCOPED_TRACE (pulledOut ? "the CAB pedal pulled out" : "its volume ejected");
        EditorHarness h;
        const int disk = addCabVolume (h.disks, { "RADIO 1x5.wav" });
        pumpPending();
        auto cab = h.connect (kindCAB, 3);
        auto amp = h.connect (kindAMP, 3);
        ASSERT_EQ (h.hub().firstVisiblePage(), (uint32_t) kindAMP);

        if (pulledOut)
            h.unplug (cab);
        h.disks.unmount (disk);
        pumpPending();

        // The AMP pedal stays on show, and its knob still reaches its page.
        EXPECT_TRUE (h.ampPage().isVisible() && ! h.noDevicePage().isVisible() && h.hub().connection != nullptr);
        amp->turnKnob (1, 61);
        pumpPending();
        EXPECT_EQ (h.ampPage().knobSliders[1].getValue(), 61.0);
    }
}

TEST (PedalSession, AJobThatOutlivesItsCabPedalSendsNothingToTheNextPedal)
{
    // Each IR button as the page's own buttons call it, the pedal pulled out
    // just as the job starts: the window hears of it only once the message
    // loop runs again, and so before anything the job hands back.
    using Start = std::function<void (EditorHarness&, KVCABView&, const juce::File&)>;
    const auto reader = [] (KVCABView& page) { return [&page] { return page.irLibraryPage(); }; };
    const std::pair<const char*, Start> jobs[] = {
        { "Add", [=] (EditorHarness& h, KVCABView& page, const juce::File& folder)
          {
              juce::Array<juce::File> wavs;
              for (int i = 0; i < 12; ++i)
              {
                  wavs.add (folder.getChildFile ("IR " + juce::String (i) + ".wav"));
                  writeIrWav (wavs.getLast());
              }
              h.dialogs().fileListAnswers.push_back (wavs);
              IrLibraryButtons::addClicked (reader (page));
          } },
        { "Delete", [=] (EditorHarness& h, KVCABView& page, const juce::File&)
          {
              h.dialogs().okAnswers.push_back (true);
              IrLibraryButtons::deleteClicked (reader (page));
          } },
        { "export", [=] (EditorHarness& h, KVCABView& page, const juce::File& folder)
          {
              h.dialogs().fileAnswers.push_back (folder);
              IrLibraryButtons::saveIrFileClicked (reader (page), page.irExportPath);
          } },
    };

    for (const auto& [mode, startJob] : jobs)
    {
        SCOPED_TRACE (mode);
        EditorHarness h;
        const int disk = addCabVolume (h.disks, { "RADIO 1x5.wav", "TINY 1x6.wav" });
        pumpPending();
        auto cab = h.connect (kindCAB, 3);
        auto& page = h.hub().cabPage();
        ASSERT_TRUE (
            pumpUntil ([&] { return page.algorithmListModel.getNumRows() == 2 && ! page.loadDisk.isLoading(); }));
        page.algorithmList.selectRow (1);
        pumpPending();

        // The pedal and its volume go, and an AMP pedal comes, before the job ends.
        const auto folder = freshFolder();
        h.bus.unplug (cab);
        h.disks.unmount (disk);
        startJob (h, page, folder);
        ASSERT_EQ (CopyWavThread::jobsInProgress(), 1);
        auto amp = h.connect (kindAMP, 3);
        ASSERT_TRUE (pumpUntil ([] { return CopyWavThread::jobsInProgress() == 0; }, 10000));

        // The hidden CAB page keeps its list, and reads no index, so no command 0x40 for the AMP pedal.
        pumpPending();
        EXPECT_EQ (page.algorithmListModel.getNumRows(), 2);
        EXPECT_FALSE (page.loadDisk.isLoading());
        EXPECT_FALSE (pumpUntil ([&] { return timesSent (*amp, { Command::irIndexRead }) > 0; }, 1200));
        EXPECT_TRUE (h.ampPage().isVisible());
        folder.deleteRecursively();
    }
}

TEST (PedalSession, ACabImportEndingAfterItsPedalsSessionSendsNothingToTheNextPedal)
{
    const juce::ScopedValueSetter<int> startDelay (ImportAllPatchWindow::startDelayMs, 200);
    const juce::ScopedValueSetter<int> shortSettle (PatchFiles::settleAfterImportMs, 300);

    // An AMP pedal linked beside the CAB pedal while the import runs; or the
    // CAB pedal pulled out, and an AMP pedal plugged in, while the pedal
    // stores what it was sent, once it has been told the page's row.
    for (bool whileStoring : { false, true })
    {
        SCOPED_TRACE (whileStoring ? "pulled out while storing" : "another pedal linked while importing");
        EditorHarness h;
        auto cab = h.connect (kindCAB, 100);
        const juce::TemporaryFile file (".tessel");
        juce::MemoryBlock data;
        for (int p = 0; p < 100; ++p)
            data.append (cab->recordOf (p).data(), CABShape::size);
        ASSERT_TRUE (file.getFile().replaceWithData (data.getData(), data.getSize()));
        cab->clearReceivedFrames();

        ImportAllPatchWindow::start (file.getFile(), h.hub().cabPage());
        if (whileStoring)
        {
            ASSERT_TRUE (pumpUntil ([&] { return hasReceived (*cab, Command::selectPatch); }, 10000));
            h.unplug (cab);
        }
        auto amp = h.connect (kindAMP, 3);

        // Neither the page's row nor the pedal's own current patch is selected on the AMP pedal, nor success
        // told. An AMP linked before the import has begun stops it, and that is told; an import that wrote
        // every record before its pedal went says so. One verdict at most, whichever way it went.
        EXPECT_FALSE (pumpUntil ([&] { return hasReceived (*amp, Command::selectPatch); }, whileStoring ? 800 : 3000));
        EXPECT_LE (h.messages().size(), 1u);
        for (auto& shown : h.messages())
            EXPECT_TRUE (shown.text == TransferJob::pedalChangedMessage
                         || shown.text == ImportAllPatchWindow::pedalWentMessage)
                << shown.text;
    }
}

TEST (PedalSession, TheFirstRecordIsAskedAgainAndAPedalThatNeverSendsItIsToldAsSilent)
{
    const juce::ScopedValueSetter<int> quickly (ConnectionSequence::recordTimeoutMs, 100);
    {
        // The transfer state's answer lost: asking for record 0 again gets the dump going.
        EditorHarness h;
        auto pedal = PedalSimulator::create (kindAMP);
        pedal->setPatches (3);
        pedal->injectFault (Fault::noAnswer, Command::transferState);
        h.plugIn (pedal);
        EXPECT_TRUE (pumpUntil ([&] { return connected (h, *pedal) && h.ampPage().patchRecords.size() == 3; }, 5000));
    }

    // Record 0 never sent: the window must not stay on an empty page with
    // the pedal still in its transfer state.
    EditorHarness h;
    auto pedal = PedalSimulator::create (kindAMP);
    for (int i = 0; i <= ConnectionSequence::recordRequestRetries + 1; ++i)
        pedal->injectFault (Fault::noAnswer, Command::requestPreset);
    h.plugIn (pedal);

    EXPECT_TRUE (
        pumpUntil ([&] { return h.noDevicePage().statusLabel.getText() == "The pedal does not answer."; }, 5000));
    EXPECT_EQ (h.noDevicePage().hintLabel.getText(), "Please disconnect it and connect it again.");
    EXPECT_TRUE (h.hub().connection == nullptr && h.noDevicePage().isVisible());
    const auto frames = takeSentFrames (*pedal);
    EXPECT_EQ (std::count (frames.begin(), frames.end(), Sent { Command::requestPreset, 0 }),
               1 + ConnectionSequence::recordRequestRetries);
    EXPECT_EQ (frames.back(), (Sent { Command::transferState, 0 }));
}
