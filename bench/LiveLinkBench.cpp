#include <benchmark/benchmark.h>

#include "app/MainContentComponent.h"
#include "device/ProtocolCodes.h"
#include "device/LiveLink.h"
#include "app/ReplyDecoder.h"
#include "pages/KVAMPView.h"
#include "support/EditorHarness.h"

// What the live link costs the host: decoding one report from the pedal, a
// whole 100-record patch dump against a pedal that answers at once, and
// showing an algorithm's description (the catalogue is parsed per call).

static void BM_DecodeKnobReport (benchmark::State& state)
{
    tessel::test::EditorHarness editor;
    editor.connect (kindAMP, 10);

    auto report = HidPacket::command (Reply::knob, { 2, 0 });
    int value = 0;

    for (auto _ : state)
    {
        report.bytes[3] = (uint8_t) (value++ % 100);
        report.seal();
        MyInputCallback (editor.hub(), report.data(), HidPacket::size);
    }
}
BENCHMARK (BM_DecodeKnobReport)->Unit (benchmark::kMicrosecond);

static void BM_PatchDumpOf100Records (benchmark::State& state)
{
    tessel::test::EditorHarness editor;
    auto pedal = editor.connect (kindAMP, 100);
    auto& page = editor.ampPage();

    for (auto _ : state)
    {
        page.patchRecords.clear();
        pedal->clearReceivedFrames();

        // The same dump the connection runs: transfer state, then record after record.
        sendLiveFrame (HidPacket::command (Command::transferState, { 1 }));
        tessel::test::pumpUntil (
            [&] { return page.patchRecords.size() == 100 && editor.hub().loadingWindow == nullptr; }, 60000);
    }

    state.counters["records"] = benchmark::Counter (100.0 * (double) state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK (BM_PatchDumpOf100Records)->Unit (benchmark::kMillisecond);

static void BM_UpdateDiagnosticsBox (benchmark::State& state)
{
    tessel::test::EditorHarness editor;
    editor.connect (kindAMP, 2);
    auto& page = editor.ampPage();
    int algorithm = 0;

    for (auto _ : state)
        page.UpdateDiagnosticsBox (algorithm++ % page.algorithmNames.size());
}
BENCHMARK (BM_UpdateDiagnosticsBox)->Unit (benchmark::kMicrosecond);
