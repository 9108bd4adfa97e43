#include <benchmark/benchmark.h>

#include "pagekit/AlgorithmCatalog.h"

// Every selection in an algorithm or IR list parses the whole catalogue and
// walks it for one name, on the message thread. The first AMP entry is found
// after a handful of elements, the last CAB entry only after all of them.

static void BM_CatalogLookUpAmp (benchmark::State& state)
{
    const auto name = algorithmNames ("AMP")[0];

    for (auto _ : state)
        benchmark::DoNotOptimize (algorithmDescription ("AMP", name));
}
BENCHMARK (BM_CatalogLookUpAmp)->Unit (benchmark::kMicrosecond);

static void BM_CatalogLookUpLastCab (benchmark::State& state)
{
    const auto name = algorithmNames ("CAB").strings.getLast();

    for (auto _ : state)
        benchmark::DoNotOptimize (algorithmDescription ("CAB", name));
}
BENCHMARK (BM_CatalogLookUpLastCab)->Unit (benchmark::kMicrosecond);
