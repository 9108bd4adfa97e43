#include <gtest/gtest.h>

#include "app/MainContentComponent.h"
#include "cab/CopyWavThread.h"
#include "cab/KVCABView.h"
#include "device/ProtocolCodes.h"
#include "support/EditorHarness.h"
#include "support/SimulatedCabVolume.h"

using namespace tessel::test;
using tessel::sim::PedalSimulator;

namespace
{
const juce::StringArray twoIrs { "RADIO 1x5.wav", "TINY 1x6.wav" };

std::vector<int> codesSent (PedalSimulator& pedal)
{
    std::vector<int> codes;
    for (auto& frame : pedal.receivedFrames())
        codes.push_back (frame.code());
    return codes;
}

int indexReads (PedalSimulator& pedal)
{
    const auto codes = codesSent (pedal);
    return (int) std::count (codes.begin(), codes.end(), (int) Command::irIndexRead);
}

/** Waits until an IR job and the index read after it have ended with `rows` IRs listed. */
bool listSettlesAt (KVCABView& page, int rows)
{
    return pumpUntil (
        [&]
        {
        return CopyWavThread::jobsInProgress() == 0 && ! page.loadDisk.isLoading()
            && page.algorithmListModel.getNumRows() == rows;
        },
        10000);
}

/** Deletes IR row `row` as the user does: selects it, clicks Delete and answers OK. */
void deleteThroughThePage (EditorHarness& h, KVCABView& page, int row)
{
    page.algorithmList.selectRow (row);
    h.dialogs().okAnswers.push_back (true);
    click (page.deleteButton);
}
} // namespace

TEST (CabVolume, TheIrIndexIsReadOnceBothTheDumpAndTheVolumeAreThere)
{
    enum class Volume
    {
        beforeTheDumpEnds,
        afterTheDumpEnds,
        never
    };

    for (auto volume : { Volume::beforeTheDumpEnds, Volume::afterTheDumpEnds, Volume::never })
    {
        SCOPED_TRACE ((int) volume);
        EditorHarness h;
        auto& page = h.hub().cabPage();
        const int disk = tessel::sim::addCabVolume (h.disks, twoIrs, volume == Volume::beforeTheDumpEnds);
        pumpPending();

        auto pedal = h.connect (kindCAB);
        EXPECT_EQ (page.irLoadPending, volume != Volume::beforeTheDumpEnds);

        if (volume == Volume::never)
        {
            EXPECT_EQ (indexReads (*pedal), 0);
            EXPECT_FALSE (page.loadDisk.isLoading());
            EXPECT_EQ (page.algorithmListModel.getNumRows(), 0);
            continue;
        }

        if (volume == Volume::afterTheDumpEnds)
            h.disks.mount (disk);

        ASSERT_TRUE (pumpUntil ([&] { return indexReads (*pedal) == 1; }));
        EXPECT_FALSE (page.irLoadPending);

        // Read after the dump and its patch selection, and listed with the
        // catalogue's description of the current patch's IR.
        const auto codes = codesSent (*pedal);
        EXPECT_LT (std::find (codes.begin(), codes.end(), (int) Command::selectPatch),
                   std::find (codes.begin(), codes.end(), (int) Command::irIndexRead));
        EXPECT_EQ (page.algorithmListModel.getNumRows(), 2);
        EXPECT_EQ (page.algorithmListModel.rowText (1), "1   TINY 1x6.wav");
        EXPECT_EQ (page.algorithmList.getSelectedRow(), 0);
        EXPECT_TRUE (page.diagnosticsBox.getText().startsWith ("RADIO 1x5"));
    }
}

TEST (CabVolume, AMissingIndexIsTriedSixTimesWhileTheWindowGoesOn)
{
    // -1: FileList never comes; otherwise it is written after that many attempts.
    for (int writtenAfter : { -1, 3 })
    {
        SCOPED_TRACE (writtenAfter);
        EditorHarness h;
        const int disk = h.disks.addPedalVolume();
        pumpPending();
        auto pedal = h.connect (kindCAB);
        auto& page = h.hub().cabPage();

        // The pedal's knob reaches the page between two attempts.
        ASSERT_TRUE (pumpUntil ([&] { return indexReads (*pedal) == 1; }));
        const auto firstRead = juce::Time::getMillisecondCounter();
        pedal->turnKnob (0, 42);
        ASSERT_TRUE (pumpUntil ([&] { return page.knobSliders[0].getValue() == 42.0; }));
        EXPECT_TRUE (page.loadDisk.isLoading());

        if (writtenAfter > 0)
        {
            ASSERT_TRUE (pumpUntil ([&] { return indexReads (*pedal) == writtenAfter; }));
            ListInfor index;
            appendEntry (index, "RADIO 1x5.wav");
            ASSERT_TRUE (writeFileListTo (h.disks.volumeRoot (disk), index));
        }

        ASSERT_TRUE (pumpUntil ([&] { return ! page.loadDisk.isLoading(); }, 6000));
        pumpPending();
        // Half a second between attempts, and none after the last.
        EXPECT_GE (juce::Time::getMillisecondCounter() - firstRead,
                   (juce::uint32) (writtenAfter > 0 ? writtenAfter - 1 : 5) * 450u);
        pumpUntil ([] { return false; }, writtenAfter > 0 ? 0 : 700);
        EXPECT_EQ (indexReads (*pedal), writtenAfter > 0 ? writtenAfter + 1 : LoadDisk::maxAttempts);
        EXPECT_EQ (page.algorithmListModel.getNumRows(), writtenAfter > 0 ? 1 : 0);
    }
}

TEST (CabIrButtons, AnAddWhileTheVolumesIndexIsStillBeingReadLeavesTheVolumeAsItWas)
{
    // The volume is not readable yet: its index is tried again, and the list
    // is empty meanwhile. An IR added now would be indexed alone, and every
    // IR the volume holds would fall out of its index.
    EditorHarness h;
    const int disk = h.disks.addPedalVolume();
    pumpPending();
    auto pedal = h.connect (kindCAB);
    auto& page = h.hub().cabPage();
    ASSERT_TRUE (pumpUntil ([&] { return indexReads (*pedal) == 1; }));
    ASSERT_TRUE (page.loadDisk.isLoading());

    const auto root = h.disks.volumeRoot (disk);
    const auto chosen =
        h.disks.volumeRoot (h.disks.add ("SanDisk", "Cruzer", "STICK", false)).getChildFile ("PORCH 1x10.wav");
    ASSERT_TRUE (tessel::sim::writeIrWav (chosen));
    h.dialogs().fileListAnswers.push_back ({ chosen });
    click (page.addButton);
    ASSERT_TRUE (pumpUntil ([&] { return ! h.messages().empty() || root.getChildFile (IrIndex::fileName).exists(); }));
    ASSERT_TRUE (pumpUntil ([] { return CopyWavThread::jobsInProgress() == 0; }, 10000));

    EXPECT_EQ (h.messages().empty() ? "" : h.messages().back().text, IrLibraryButtons::indexBeingReadMessage);
    EXPECT_FALSE (root.getChildFile (IrIndex::fileName).exists());
    EXPECT_FALSE (root.getChildFile (chosen.getFileName()).exists());

    // Once readable, the list is the volume's own.
    ListInfor index;
    appendEntry (index, "RADIO 1x5.wav");
    ASSERT_TRUE (writeFileListTo (root, index));
    ASSERT_TRUE (pumpUntil ([&] { return ! page.loadDisk.isLoading(); }, 6000));
    EXPECT_EQ (page.algorithmListModel.getNumRows(), 1);
}

TEST (CabVolume, AddThroughThePageListsTheNewIrAndTheVolumeGoingAwayLeavesThePage)
{
    EditorHarness h;
    const int disk = tessel::sim::addCabVolume (h.disks, twoIrs);
    pumpPending();
    h.connect (kindCAB);
    auto& page = h.hub().cabPage();
    ASSERT_TRUE (pumpUntil ([&] { return page.algorithmListModel.getNumRows() == 2; }));

    // The chosen file lies on a disk of its own, never mounted.
    const auto chosen =
        h.disks.volumeRoot (h.disks.add ("SanDisk", "Cruzer", "STICK", false)).getChildFile ("PORCH 1x10.wav");
    ASSERT_TRUE (tessel::sim::writeIrWav (chosen));
    h.dialogs().fileListAnswers.push_back ({ chosen });

    click (page.addButton);
    ASSERT_TRUE (listSettlesAt (page, 3));

    EXPECT_EQ (page.algorithmListModel.rowText (2), "2   PORCH 1x10.wav");
    EXPECT_TRUE (h.disks.volumeRoot (disk).getChildFile ("PORCH 1x10.wav").existsAsFile());
    EXPECT_TRUE (h.messages().empty());

    // The pedal's volume going away leaves the page.
    h.disks.unmount (disk);
    pumpPending();
    EXPECT_FALSE (page.isVisible());
    EXPECT_EQ (h.noDevicePage().statusLabel.getText(), "No Device Connected.");
    EXPECT_FALSE (page.diskPresent);
}

TEST (CabIrButtons, AnIrSelectionThePedalMovesWhileTheQuestionOrChooserIsOpenLeavesEveryIrAsItWas)
{
    const juce::StringArray fourIrs { "RADIO 1x5.wav", "TINY 1x6.wav", "PORCH 1x10.wav", "STACK 4x12.wav" };
    const auto scratch = juce::File::getSpecialLocation (juce::File::tempDirectory)
                             .getChildFile ("tessel-ir-rows-" + juce::Uuid().toString());
    const auto chosenWav = scratch.getChildFile ("NEW 2x12.wav"), exportFolder = scratch.getChildFile ("export");
    ASSERT_TRUE (exportFolder.createDirectory() && tessel::sim::writeIrWav (chosenWav));

    struct Case
    {
        const char* button;
        bool patchStep; // the pedal steps to patch 2 (whose IR is row 2), else reports IR 3 itself
    };

    for (const auto& c : { Case { "Delete", false }, Case { "Delete", true }, Case { "Load IR File", false },
                           Case { "Save IR File", true } })
    {
        SCOPED_TRACE (juce::String (c.button) + (c.patchStep ? ", patch step" : ", IR report"));
        EditorHarness h;
        const auto volume = h.disks.volumeRoot (tessel::sim::addCabVolume (h.disks, fourIrs));
        pumpPending();
        auto pedal = h.connect (kindCAB, 12);
        auto& page = h.hub().cabPage();
        ASSERT_TRUE (
            pumpUntil ([&] { return page.algorithmListModel.getNumRows() == 4 && ! page.loadDisk.isLoading(); }));

        const auto onVolume = [&]
        {
            juce::StringArray files;
            for (auto& f : volume.findChildFiles (juce::File::findFiles, false))
                files.add (f.getFileName() + "=" + juce::String (f.getSize()));
            files.sort (false);
            const auto index = readFileListFrom (volume);
            for (uint32_t i = 0; index && i < index->irCount; ++i)
                files.add (index->entries[i].name);
            return files.joinIntoString (" ");
        };
        const auto before = onVolume();

        page.algorithmList.selectRow (1);
        page.irExportPath = "unchanged";
        pumpPending();
        h.dialogs().okAnswers = { true };
        h.dialogs().fileListAnswers = { { chosenWav } };
        h.dialogs().fileAnswers = { exportFolder };
        h.dialogs().duringModal (0,
                                 [&]
                                 {
            c.patchStep ? pedal->selectPatchOnPedal (2) : pedal->selectAlgorithmOnPedal (3);
            pumpPending();
            EXPECT_EQ (std::make_pair (page.algorithmList.getNumSelectedRows(), page.algorithmList.getSelectedRow()),
                       std::make_pair (1, c.patchStep ? 2 : 3));
        });
        click (juce::String (c.button) == "Delete"             ? page.deleteButton
                   : juce::String (c.button) == "Load IR File" ? page.loadIrButton
                                                               : page.saveIrButton);
        ASSERT_TRUE (pumpUntil ([] { return CopyWavThread::jobsInProgress() == 0; }, 10000));
        pumpPending();

        EXPECT_EQ (h.messages().empty() ? "" : h.messages().back().text, IrLibraryButtons::selectionChangedMessage);
        EXPECT_EQ (onVolume(), before);
        EXPECT_EQ (exportFolder.getNumberOfChildFiles (juce::File::findFiles), 0);
        EXPECT_EQ (page.irExportPath, "unchanged");
    }

    scratch.deleteRecursively();
}

TEST (CabVolume, ASecondCabPedalListsAndChangesOnlyItsOwnVolume)
{
    EditorHarness h;
    auto& page = h.hub().cabPage();
    auto a = PedalSimulator::create (kindCAB);
    const int diskA = tessel::sim::addCabVolume (h.disks, twoIrs, true, a->identity().usbDevice);
    pumpPending();
    h.connect (a);
    ASSERT_TRUE (pumpUntil ([&] { return page.algorithmListModel.getNumRows() == 2 && ! page.loadDisk.isLoading(); }));
    const auto indexOfA = h.disks.volumeRoot (diskA).getChildFile (IrIndex::fileName);
    juce::MemoryBlock aBefore, aAfter;
    ASSERT_TRUE (indexOfA.loadFileAsData (aBefore));

    // CAB B plugged in beside A; its volume mounts after its dump, as it usually does.
    auto b = PedalSimulator::create (kindCAB);
    const int diskB = tessel::sim::addCabVolume (h.disks, { "B ONE.wav", "B TWO.wav", "B THREE.wav" }, false,
                                                 b->identity().usbDevice);
    h.connect (b);
    ASSERT_TRUE (page.isVisible());
    ASSERT_TRUE (pumpUntil ([&] { return ! page.loadDisk.isLoading(); }));
    pumpPending();
    EXPECT_EQ (page.algorithmListModel.getNumRows(), 0);
    EXPECT_EQ (indexReads (*b), 0);

    h.disks.mount (diskB);
    ASSERT_TRUE (pumpUntil ([&] { return indexReads (*b) == 1 && ! page.loadDisk.isLoading(); }));
    EXPECT_EQ (page.algorithmListModel.getNumRows(), 3);
    EXPECT_EQ (page.algorithmListModel.rowText (0), "0   B ONE.wav");

    // Deleting row 0 takes B's first IR off B's volume; A's index stays as it was.
    deleteThroughThePage (h, page, 0);
    ASSERT_TRUE (listSettlesAt (page, 2));
    const auto indexOfB = readFileListFrom (h.disks.volumeRoot (diskB));
    ASSERT_TRUE (indexOfB.has_value());
    EXPECT_TRUE (indexOfB->irCount == 2 && indexOfB->entries[0].name == "/B TWO.wav");
    ASSERT_TRUE (indexOfA.loadFileAsData (aAfter));
    EXPECT_TRUE (aAfter == aBefore);
    EXPECT_TRUE (h.disks.volumeRoot (diskA).getChildFile (twoIrs[0]).existsAsFile());

    // A's volume going leaves B's session alone; B's own ends it.
    h.disks.unmount (diskA);
    pumpPending();
    EXPECT_TRUE (page.isVisible());
    h.disks.unmount (diskB);
    pumpPending();
    EXPECT_TRUE (! page.isVisible() && h.noDevicePage().isVisible());
}

TEST (CabVolume, AnIrJobOfTheCabBeforeEndingLeavesTheLinkedCabsIndexBeingReadTillItIsListed)
{
    EditorHarness h;
    auto& page = h.hub().cabPage();
    auto a = PedalSimulator::create (kindCAB), b = PedalSimulator::create (kindCAB);
    tessel::sim::addCabVolume (h.disks, twoIrs, true, a->identity().usbDevice);
    pumpPending();
    h.connect (a);
    ASSERT_TRUE (listSettlesAt (page, 2));
    const auto endOfAJob = page.irLibraryPage().startLoadDisk;

    // B's volume is mounted but not readable yet: its index is being tried again when A's job ends.
    const auto volumeOfB = h.disks.volumeRoot (h.disks.addPedalVolume ("TESSEL", true, b->identity().usbDevice));
    h.connect (b);
    ASSERT_TRUE (pumpUntil ([&] { return indexReads (*b) == 1; }));
    endOfAJob();

    ListInfor index;
    appendEntry (index, "B ONE.wav");
    ASSERT_TRUE (writeFileListTo (volumeOfB, index));
    EXPECT_TRUE (listSettlesAt (page, 1));
    EXPECT_EQ (indexReads (*a), 1);
}

TEST (CabVolume, AnIndexWriteCutOffBeforeItsRenameLeavesNothingOnceTheVolumeIsRead)
{
    EditorHarness h;
    const int disk = tessel::sim::addCabVolume (h.disks, twoIrs, false);
    const auto root = h.disks.volumeRoot (disk);
    juce::MemoryBlock before, after;
    ASSERT_TRUE (root.getChildFile (IrIndex::fileName).loadFileAsData (before));

    // A Replace's new index, written whole, but the volume left before the rename.
    ListInfor replaced;
    appendEntry (replaced, "PORCH 1x10.wav");
    appendEntry (replaced, twoIrs[1]);
    const auto leftover = root.getChildFile (juce::String (IrIndex::fileName) + ".new");
    ASSERT_TRUE (leftover.replaceWithData (fileListBytes (replaced)->getData(), fileListBytes (replaced)->getSize()));

    h.disks.mount (disk);
    pumpPending();
    auto pedal = h.connect (kindCAB);
    auto& page = h.hub().cabPage();
    ASSERT_TRUE (pumpUntil ([&] { return indexReads (*pedal) == 1 && ! page.loadDisk.isLoading(); }));

    EXPECT_FALSE (leftover.exists());
    ASSERT_TRUE (root.getChildFile (IrIndex::fileName).loadFileAsData (after));
    EXPECT_TRUE (after == before);
    EXPECT_EQ (page.algorithmListModel.rowText (0), "0   RADIO 1x5.wav");
}

TEST (CabIrButtons, AVolumeThatGoesOrIsAnotherPedalsWhenTheQuestionOrChooserClosesIsNotTouched)
{
    const auto scratch = juce::File::getSpecialLocation (juce::File::tempDirectory)
                             .getChildFile ("tessel-ir-volume-" + juce::Uuid().toString());
    const auto chosenWav = scratch.getChildFile ("NEW 2x12.wav");
    ASSERT_TRUE (scratch.createDirectory() && tessel::sim::writeIrWav (chosenWav));

    for (const bool swapped : { true, false })
    {
        SCOPED_TRACE (swapped ? "Add, another CAB linked with its volume" : "Delete, the volume unmounted");
        EditorHarness h;
        auto& page = h.hub().cabPage();
        auto a = PedalSimulator::create (kindCAB);
        const auto volumeOfA =
            h.disks.volumeRoot (tessel::sim::addCabVolume (h.disks, twoIrs, true, a->identity().usbDevice));
        pumpPending();
        h.connect (a);
        ASSERT_TRUE (
            pumpUntil ([&] { return page.algorithmListModel.getNumRows() == 2 && ! page.loadDisk.isLoading(); }));
        page.algorithmList.selectRow (0);
        pumpPending();

        auto b = PedalSimulator::create (kindCAB);
        const auto diskOfB = tessel::sim::addCabVolume (h.disks, { "B ONE.wav" }, false, b->identity().usbDevice);
        const auto volumeOfB = h.disks.volumeRoot (diskOfB);
        const auto filesOn = [] (const juce::File& volume)
        { return volume.getNumberOfChildFiles (juce::File::findFiles); };
        const auto onA = filesOn (volumeOfA), onB = filesOn (volumeOfB);

        h.dialogs().okAnswers = { true };
        h.dialogs().fileListAnswers = { { chosenWav } };
        h.dialogs().duringModal (0,
                                 [&]
                                 {
            if (swapped)
            {
                h.unplug (a);
                h.connect (b);
                h.disks.mount (diskOfB);
                pumpUntil ([&] { return page.algorithmListModel.getNumRows() == 1 && ! page.loadDisk.isLoading(); });
            }
            else
            {
                h.disks.unmount (0);
                pumpPending();
            }
        });
        click (swapped ? page.addButton : page.deleteButton);
        ASSERT_TRUE (pumpUntil ([] { return CopyWavThread::jobsInProgress() == 0; }, 10000));
        pumpPending();

        EXPECT_EQ (h.messages().empty() ? "" : h.messages().back().text, IrLibraryButtons::volumeChangedMessage);
        EXPECT_EQ (filesOn (volumeOfA), onA);
        EXPECT_EQ (filesOn (volumeOfB), onB);
        EXPECT_TRUE (readFileListFrom (volumeOfA)->irCount == 2);
    }

    scratch.deleteRecursively();
}

TEST (CabVolume, ACabPedalWhoseDiskHangsFromAnotherUsbDeviceBehindItsOwnHubListsItsIrs)
{
    EditorHarness h;
    auto& page = h.hub().cabPage();
    const juce::String pedalHub = "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-7";
    auto identity = PedalSimulator::create (kindCAB)->identity();
    identity.usbDevice = pedalHub + "/1-7.1";
    const auto root = h.disks.volumeRoot (tessel::sim::addCabVolume (h.disks, twoIrs, true, pedalHub + "/1-7.2"));
    pumpPending();

    // The pedal's two HID interfaces are one pedal.
    for (int interface = 0; interface < 2; ++interface)
    {
        SCOPED_TRACE (interface);
        auto pedal = h.connect (std::make_shared<PedalSimulator> (kindCAB, identity));
        ASSERT_TRUE (
            pumpUntil ([&] { return page.algorithmListModel.getNumRows() == 2 && ! page.loadDisk.isLoading(); }));
        EXPECT_EQ (disk_Name(), root.getFullPathName() + "/");
        EXPECT_EQ (indexReads (*pedal), 1);
    }

    // Beside another CAB pedal nothing tells whose the volume is.
    auto other = h.connect (kindCAB);
    pumpPending();
    EXPECT_EQ (disk_Name(), "");
    EXPECT_EQ (page.algorithmListModel.getNumRows(), 0);
    EXPECT_EQ (indexReads (*other), 0);
}

TEST (CabVolume, WhenAnotherVolumeIsPutInForceTheListIsItsOwnAndADeleteChangesOnlyIt)
{
    // Neither volume says which USB device it hangs from.
    EditorHarness h;
    auto& page = h.hub().cabPage();
    const int first = tessel::sim::addCabVolume (h.disks, twoIrs);
    pumpPending();
    h.connect (kindCAB);
    ASSERT_TRUE (pumpUntil ([&] { return page.algorithmListModel.getNumRows() == 2 && ! page.loadDisk.isLoading(); }));
    juce::MemoryBlock firstBefore, firstAfter;
    ASSERT_TRUE (h.disks.volumeRoot (first).getChildFile (IrIndex::fileName).loadFileAsData (firstBefore));

    // A second pedal volume: neither can be told to be the pedal's, so
    // neither's IRs are listed.
    const int second = tessel::sim::addCabVolume (h.disks, { "B ONE.wav", "B TWO.wav", "B THREE.wav" });
    pumpPending();
    EXPECT_EQ (disk_Name(), "");
    EXPECT_EQ (page.algorithmListModel.getNumRows(), 0);

    // The IR buttons say so, and what to do, not that no volume is mounted.
    for (auto* button : { &page.addButton, &page.deleteButton, &page.loadIrButton, &page.saveIrButton })
        click (*button);
    ASSERT_EQ (h.messages().size(), 4u);
    for (auto& message : h.messages())
        EXPECT_EQ (message.text,
                   "More than one pedal volume is mounted, and nothing tells which of them is this "
                   "pedal's, so its IR files cannot be listed or changed.\n\nUnplug the other CAB "
                   "pedal, or eject the other pedal volume; the IR list is then read from the one left.");
    h.messages().clear();

    // The first goes: the second is in force, and the list is its own.
    h.disks.unmount (first);
    ASSERT_TRUE (pumpUntil ([&] { return page.algorithmListModel.getNumRows() == 3 && ! page.loadDisk.isLoading(); }));
    EXPECT_TRUE (page.isVisible());
    EXPECT_EQ (page.algorithmListModel.rowText (0), "0   B ONE.wav");

    deleteThroughThePage (h, page, 0);
    ASSERT_TRUE (listSettlesAt (page, 2));

    const auto index = readFileListFrom (h.disks.volumeRoot (second));
    ASSERT_TRUE (index.has_value());
    EXPECT_TRUE (index->irCount == 2 && index->entries[0].name == "/B TWO.wav"
                 && index->entries[1].name == "/B THREE.wav");
    ASSERT_TRUE (h.disks.volumeRoot (first).getChildFile (IrIndex::fileName).loadFileAsData (firstAfter));
    EXPECT_TRUE (firstAfter == firstBefore);
    EXPECT_TRUE (h.messages().empty());
}

// Run in the sanitized build: a job's end reaching the page that went with
// the window shows there as a use after free.
TEST (CabIrButtons, AnIrDeleteStillRunningWhenTheEditorClosesEndsWithoutThePage)
{
    EditorHarness h;
    const auto volume = h.disks.volumeRoot (tessel::sim::addCabVolume (h.disks, twoIrs));
    pumpPending();
    h.connect (kindCAB);
    auto& page = h.hub().cabPage();
    ASSERT_TRUE (pumpUntil ([&] { return page.algorithmListModel.getNumRows() == 2 && ! page.loadDisk.isLoading(); }));
    page.algorithmList.selectRow (0);
    pumpPending();

    // As the Delete button starts it; the window goes before the job's end
    // can reach the message loop.
    startCopyWavThread (false, CopyWavThread::deleteMode, {}, page.irLibraryPage());
    h.closeEditor();
    ASSERT_TRUE (pumpUntil ([] { return CopyWavThread::jobsInProgress() == 0; }, 10000));
    pumpPending();

    const auto index = readFileListFrom (volume);
    EXPECT_TRUE (index.has_value() && index->irCount == 1 && index->entries[0].name == "/TINY 1x6.wav");
}
