#include <benchmark/benchmark.h>

#include "device/HidPacket.h"

// Every report the pedal sends is checked before it is decoded, and every
// command is built fresh; both sit on the live link's path.

static void BM_BuildCommandFrame (benchmark::State& state)
{
    int value = 0;
    for (auto _ : state)
    {
        auto packet = HidPacket::command (0x16, { 2, value++ & 0x7f });
        benchmark::DoNotOptimize (packet);
    }
}
BENCHMARK (BM_BuildCommandFrame);

static void BM_CheckReportChecksum (benchmark::State& state)
{
    auto packet = HidPacket::command (0x17, { 3, 42 });
    for (auto _ : state)
        benchmark::DoNotOptimize (hidPacketChecksumMatches (packet.data()));
}
BENCHMARK (BM_CheckReportChecksum);
