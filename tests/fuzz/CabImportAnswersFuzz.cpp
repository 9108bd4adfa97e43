#include "FuzzSupport.h"

#include "cab/ImportAllPatchWindow.h"
#include "device/TransferLink.h"
#include "pagekit/PatchFiles.h"

// The CAB pedal's all-patches import over the transfer link: whatever the
// file holds and however the pedal answers, the job ends and closes the link;
// with every answer as it should be, the pedal holds each record the job got
// to, and the import fails exactly when it stopped short of the last patch.
//
// Input: the page's record count, the file's whole records, the bytes of a
// record cut short at its end (0 .. 11), the records, then a decision per command.

namespace
{
using namespace tessel::fuzz;

constexpr int patchCount = 100;

struct Page : public CABPatchPage
{
    juce::OwnedArray<CABShape>& getPatchRecords() override { return records; }
    int getSelectedPatchRow() override { return -1; }
    juce::OwnedArray<CABShape> records;
};

SeedBytes fileSeed (int pageCount, int records, int cutShort)
{
    SeedBytes seed;
    seed.byte (pageCount).byte (records).byte (cutShort);
    for (int i = 0; i < records * CABShape::size + cutShort; ++i)
    {
        const int b = i % CABShape::size;
        seed.byte (b == PatchRecord::indexByte ? (i / CABShape::size * 7) % patchCount : (i * 5 + b) % 90);
    }
    return seed;
}

void seeds (SeedWriter& out)
{
    out.add (fileSeed (patchCount, patchCount, 0)); // a whole import
    out.add (fileSeed (12, patchCount, 0).byte (0).byte (0).byte (TransferBench::silence));
    out.add (fileSeed (patchCount, patchCount, 0).byte (0).byte (0).byte (0).byte (TransferBench::pullOut));

    // A whole import, the pedal pulled out only as the job leaves the transfer state.
    auto whole = fileSeed (patchCount, patchCount, 0);
    for (int command = 0; command <= patchCount; ++command)
        whole.byte (TransferBench::answer);
    out.add (whole.byte (TransferBench::pullOut));

    // The pedal's record of patch 0 from before the write, then its confirmation.
    auto pedal = tessel::sim::PedalSimulator::create (kindCAB);
    pedal->setPatches (patchCount);
    auto seed = fileSeed (patchCount, patchCount, 0).byte (0).byte (TransferBench::staleFirst);
    out.add (seed.byte (1).byte (Reply::presetRecord).byte (CABShape::size).raw (pedal->recordOf (0)));
}

void run (Input& input)
{
    // The answers are there at once or never, and what is there is read
    // however short the wait.
    ImportAllPatchWindow::startDelayMs = 0;
    ImportAllPatchWindow::answerTimeoutMs = 0;
    TransferTimeouts::transferStateMs = 0;
    PatchFiles::settleAfterImportMs = 0;

    Page page;
    const int count = input.inRange (0, 110);
    for (int i = 0; i < count; ++i)
        page.records.add (new CABShape());

    const int wholeRecords = input.inRange (0, 110);
    const auto contents =
        input.bytes ((size_t) (wholeRecords * CABShape::size + input.inRange (0, CABShape::size - 1)));
    const auto file = writeWholeFile (scratchFile ("patches.tessel"), contents.data(), contents.size());

    TransferBench bench (tessel::sim::PedalSimulator::create (kindCAB), input);
    bench.device->setPatches (patchCount);
    std::vector<tessel::sim::PedalSimulator::Parameters> expected, held;
    for (int p = 0; p < patchCount; ++p)
        expected.push_back (bench.device->parametersOf (p));

    const bool failed =
        bench.runJob (new ImportAllPatchWindow (file.getFullPathName(), page), ImportAllPatchWindow::failedMessage)
            .contains (ImportAllPatchWindow::failedMessage);
    if (! bench.answeredNormally())
        return;

    // The job stops at the first record the pedal cannot take.
    int sent = 0;
    for (; sent < std::min (count, (int) contents.size() / CABShape::size); ++sent)
    {
        const auto* record = contents.data() + sent * CABShape::size;
        const int patch = record[PatchRecord::indexByte];
        if (patch >= patchCount)
            break;

        expected[(size_t) patch].assign (record + PatchRecord::firstKnobByte, record + CABShape::size);
        if (patch < count)
            require (page.records[patch]->bytes[PatchRecord::indexByte] == patch,
                     "a confirmed record is not in the page");
    }

    for (int p = 0; p < patchCount; ++p)
        held.push_back (bench.device->parametersOf (p));
    require (held == expected, "the pedal does not hold the records written");
    require (failed == (sent <= ImportAllPatchWindow::completingRecord),
             "the import's outcome is not what the pedal took");
}
} // namespace

const tessel::fuzz::Target tessel::fuzz::target { true, seeds, run };
