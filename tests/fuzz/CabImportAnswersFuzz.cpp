#include "TransferBench.h"

#include "cab/ImportAllPatchWindow.h"
#include "device/TransferLink.h"
#include "pages/PatchFiles.h"
#include "support/EditorHarness.h"

// The CAB pedal's all-patches import over the transfer link: whatever the
// file holds and however the pedal answers, the job ends and closes the link;
// with every answer as it should be, the pedal holds each record the job got
// to, and the import fails exactly when it stopped short of the last patch.
//
// Input: the page's record count, the file's whole records, the bytes of a
// record cut short at its end (0 .. 11), the records, then a decision per command.

namespace
{
using tessel::fuzz::require;
using tessel::fuzz::TransferBench;
using tessel::sim::PedalSimulator;

constexpr int patchCount = 100;
constexpr int largestCount = 110;

const std::vector<uint8_t> cabAnswerCodes = { Reply::presetRecord, Reply::transferState, Reply::knob, Reply::patch };

struct Page : public CABPatchPage
{
    juce::OwnedArray<CABShape>& getPatchRecords() override { return records; }
    int getSelectedPatchRow() override { return -1; }
    juce::OwnedArray<CABShape> records;
};

tessel::fuzz::SeedBytes fileSeed (int pageCount, int records, int cutShort)
{
    tessel::fuzz::SeedBytes seed;
    seed.byte (pageCount).byte (records).byte (cutShort);
    for (int i = 0; i < records * CABShape::size + cutShort; ++i)
    {
        const int b = i % CABShape::size;
        seed.byte (b == PatchRecord::indexByte ? (i / CABShape::size * 7) % patchCount : (i * 5 + b) % 90);
    }
    return seed;
}

void seeds (tessel::fuzz::SeedWriter& out)
{
    out.add (fileSeed (patchCount, patchCount, 0));                               // a whole import
    out.add (fileSeed (patchCount, 40, 5));                                       // a file cut short
    out.add (fileSeed (12, patchCount, 0).byte (0).byte (0).byte (TransferBench::silence));
    out.add (fileSeed (patchCount, patchCount, 0).byte (0).byte (0).byte (0).byte (TransferBench::pullOut));

    // The pedal's record of patch 0 from before the write, then its confirmation.
    auto older = fileSeed (patchCount, patchCount, 0).byte (0).byte (TransferBench::staleFirst);
    auto pedal = PedalSimulator::create (kindCAB);
    pedal->setPatches (patchCount);
    HidPacket report;
    report.bytes[0] = Reply::presetRecord;
    report.bytes[1] = CABShape::size;
    const auto record = pedal->recordOf (0);
    std::copy (record.begin(), record.end(), report.bytes.begin() + HidPacket::payloadOffset);
    report.seal();
    tessel::fuzz::appendFrameSeed (older, report);
    out.add (older);
}

void run (tessel::fuzz::Input& input)
{
    static auto* dialogs = []
    {
        auto recording = std::make_unique<tessel::test::RecordingDialogs>();
        auto* kept = recording.get();
        Dialogs::setHandler (std::move (recording));
        return kept;
    }();
    dialogs->messages.clear();

    // The answers are there at once or never; the confirmation's wait is a
    // few milliseconds, since a wait of none would not read at all.
    ImportAllPatchWindow::startDelayMs = 0;
    ImportAllPatchWindow::answerTimeoutMs = 5;
    TransferTimeouts::transferStateMs = 0;
    PatchFiles::settleAfterImportMs = 0;

    Page page;
    const int count = input.inRange (0, largestCount);
    for (int i = 0; i < count; ++i)
        page.records.add (new CABShape());

    const int wholeRecords = input.inRange (0, largestCount);
    const int cutShort = input.inRange (0, CABShape::size - 1);
    const auto contents = input.bytes ((size_t) (wholeRecords * CABShape::size + cutShort));
    const auto file = tessel::fuzz::writeScratchFile ("patches.tessel", contents.data(), contents.size());

    TransferBench bench (PedalSimulator::create (kindCAB), input, cabAnswerCodes);
    bench.device->setPatches (patchCount);
    const auto held = [&bench]
    {
        std::vector<PedalSimulator::Parameters> patches;
        for (int p = 0; p < patchCount; ++p)
            patches.push_back (bench.device->parametersOf (p));
        return patches;
    };
    auto expected = held();

    auto* job = new ImportAllPatchWindow (file.getFullPathName(), page);
    job->run();
    job->threadComplete (false);

    require (tessel::fuzz::drainMessages(), "the message loop never runs dry");
    bench.requireLinkClosed();

    const bool failed = std::any_of (dialogs->messages.begin(), dialogs->messages.end(),
                                     [] (auto& m) { return m.text == ImportAllPatchWindow::failedMessage; });
    if (bench.pulledOut())
        require (failed, "an import cut off by the pedal's removal was reported done");

    if (bench.answeredNormally())
    {
        // The job stops at the first record the pedal cannot take.
        int sent = 0;
        const int records = std::min (count, (int) contents.size() / CABShape::size);
        for (; sent < records; ++sent)
        {
            const auto* record = contents.data() + sent * CABShape::size;
            const int patch = record[PatchRecord::indexByte];
            if (patch >= patchCount)
                break;

            expected[(size_t) patch].assign (record + PatchRecord::firstKnobByte, record + CABShape::size);
            if (patch < count)
                require (page.records[patch]->bytes[PatchRecord::indexByte] == patch, "a confirmed record is not in the page");
        }

        require (held() == expected, "the pedal does not hold the records written");
        require (failed == (sent <= ImportAllPatchWindow::completingRecord), "the import's outcome is not what the pedal took");
    }
}
} // namespace

const tessel::fuzz::Target tessel::fuzz::target { true, seeds, run };
