#include "FuzzSupport.h"

#include "app/MainContentComponent.h"
#include "pages/KVAMPView.h"
#include "pages/KVDLYView.h"
#include "pages/KVMODView.h"
#include "pagekit/PatchFiles.h"
#include "support/EditorHarness.h"

// A patch file the user imports on the AMP, MOD or DLY page, through the
// same callback as the Import menu: a connected pedal, either menu item, any
// selected row and any file. Whatever the file holds, the import sends only
// whole frames and the export that follows writes a whole file.
//
// Input: kind, patch count, menu item, selected row, whether the file gets
// the size the item expects, then the file.

namespace
{
using namespace tessel::fuzz;
using tessel::sim::PedalSimulator;

constexpr DeviceKind kinds[] = { kindAMP, kindMOD, kindDLY };

template <typename Page>
void importAndExport (Page& page, Input& input, tessel::test::RecordingDialogs& dialogs, PedalSimulator& pedal)
{
    using Shape = typename std::remove_reference<decltype (*page.patchRecords.getFirst())>::type;
    const int item = input.inRange (0, 3);
    const auto fileSize = [&] { return (item == PatchFiles::onePatch ? 1 : page.patchRecords.size()) * Shape::size; };

    page.patchList.selectRow (input.inRange (-1, 7));
    const bool fitSize = input.flag();
    auto contents = input.rest();
    if (fitSize)
        contents.resize ((size_t) fileSize(), '\0');

    dialogs.fileAnswers = { writeWholeFile (scratchFile ("patches.tessel"), contents.data(), contents.size()) };
    pedal.clearReceivedFrames();
    ImportMenuItemChosenCallback (item, &page);
    drain();
    for (const auto& frame : pedal.receivedFrames())
        require (frame.hasValidChecksum(), "the import sent a damaged frame");

    const auto exported = scratchFile ("exported.tessel");
    exported.deleteFile();
    dialogs.fileAnswers = { exported };
    ExportMenuItemChosenCallback (item, &page);
    drain();
    require (! exported.existsAsFile() || exported.getSize() == fileSize(),
             "the export wrote a file of the wrong size");
}

void run (Input& input)
{
    static auto& h = *new tessel::test::EditorHarness();
    h.dialogs().messages.clear();
    PatchFiles::settleAfterImportMs = 0;

    const auto kind = kinds[input.byte() % 3];
    auto pedal = PedalSimulator::create (kind);
    pedal->setPatches (1 + input.byte() % 6);
    h.bus.plug (pedal);
    drain();

    if (kind == kindAMP)
        importAndExport (h.hub().ampPage(), input, h.dialogs(), *pedal);
    else if (kind == kindMOD)
        importAndExport (h.hub().modPage(), input, h.dialogs(), *pedal);
    else
        importAndExport (h.hub().dlyPage(), input, h.dialogs(), *pedal);

    h.bus.unplug (pedal);
    drain();
    require (h.hub().loadingWindow == nullptr, "the loading window stays up after the pedal has gone");
}

void seeds (SeedWriter& out)
{
    // The pedal's own records, as an export writes them.
    for (int k = 0; k < 3; ++k)
        for (int item : { PatchFiles::onePatch, PatchFiles::allPatches })
        {
            auto pedal = PedalSimulator::create (kinds[k]);
            pedal->setPatches (3);
            SeedBytes seed;
            seed.byte (k).byte (2).byte (item).byte (2).byte (0);
            for (int p = 0; p < (item == PatchFiles::onePatch ? 1 : 3); ++p)
                seed.raw (pedal->recordOf (p));
            out.add (seed);
        }
}
} // namespace

const tessel::fuzz::Target tessel::fuzz::target { true, seeds, run };
