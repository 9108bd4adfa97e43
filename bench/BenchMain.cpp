#include <benchmark/benchmark.h>

#include <juce_gui_basics/juce_gui_basics.h>

namespace
{
juce::JUCEApplicationBase* noApplication()
{
    return nullptr;
}
} // namespace

// The editor's code runs on JUCE's message thread, so the benchmarks start
// JUCE once, as the tests do. The page benchmarks need an X display.
int main (int argc, char** argv)
{
    juce::JUCEApplicationBase::createInstance = &noApplication;
    juce::ScopedJuceInitialiser_GUI juce;

    benchmark::Initialize (&argc, argv);
    if (benchmark::ReportUnrecognizedArguments (argc, argv))
        return 1;

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
