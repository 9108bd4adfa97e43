#include <benchmark/benchmark.h>

#include <algorithm>

#include "cab/FactoryDiskImage.h"
#include "cab/WriteIRWindow.h"
#include "device/TransferLink.h"
#include "support/EditorHarness.h"
#include "support/FakeHidapi.h"

// The CAB factory reset's host time against a simulated pedal that answers at
// once, with the job's deliberate pauses taken out. Only the blocks that hold
// data go over the wire, one request and one answer each; a full-speed HID
// link moves one report each way per millisecond, so the real reset spends at
// least 1 ms per sent block. The host's share should stay within 2 % of that.

static void BM_FactoryResetOfTheWholeVolume (benchmark::State& state)
{
    int sentBlocks = 0;
    for (int k = 0; k < FactoryReset::blockCount; ++k)
    {
        const auto* block = FactoryDiskImage + (size_t) k * FlashWrite::blockSize;
        const auto size = k == FactoryReset::lastBlock ? FactoryReset::lastBlockSize : (unsigned) FlashWrite::blockSize;
        sentBlocks += std::all_of (block, block + size, [] (uint8_t b) { return b == 0xFF; }) ? 0 : 1;
    }

    const int savedTiming[] = { WriteIRWindow::Timing::beforeResultMs, WriteIRWindow::Timing::beforeOpenMs };
    WriteIRWindow::Timing::beforeResultMs = 0;
    WriteIRWindow::Timing::beforeOpenMs = 0;

    tessel::test::EditorHarness editor;
    auto pedal = editor.connect (kindCAB);

    double jobMilliseconds = 0.0;
    for (auto _ : state)
    {
        pedal->clearReceivedFrames();
        const auto closesBefore = tessel::sim::fakeHidapiCounts().closes;
        const auto start = juce::Time::getMillisecondCounterHiRes();

        startFactoryReset();

        // The job's work ends when it closes the link; the window notices on
        // its next tick, which is not the host's work.
        tessel::test::pumpUntil ([&] { return tessel::sim::fakeHidapiCounts().closes > closesBefore; }, 600000);
        jobMilliseconds += juce::Time::getMillisecondCounterHiRes() - start;

        tessel::test::pumpUntil ([] { return WriteIRWindow::jobsInProgress() == 0; }, 600000);
    }

    WriteIRWindow::Timing::beforeResultMs = savedTiming[0];
    WriteIRWindow::Timing::beforeOpenMs = savedTiming[1];

    auto flash = pedal->externalFlash();
    flash.resize (FactoryDisk::imageSize, 0xFF);
    if (! std::equal (flash.begin(), flash.end(), FactoryDiskImage))
        state.SkipWithError ("the flash does not hold the image");

    const auto perJob = jobMilliseconds / (double) state.iterations();
    const auto hostPerBlockUs = perJob * 1000.0 / sentBlocks;

    state.counters["job_ms"] = perJob;
    state.counters["sent_blocks"] = sentBlocks;
    state.counters["host_us_per_block"] = hostPerBlockUs;
    state.counters["usb_floor_us_per_block"] = 1000.0;
    state.counters["host_share_of_floor_pct"] = hostPerBlockUs / 1000.0 * 100.0;
}
BENCHMARK (BM_FactoryResetOfTheWholeVolume)->Unit (benchmark::kMillisecond)->Iterations (5);
