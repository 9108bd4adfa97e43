#include <benchmark/benchmark.h>

#include "cab/IrConversion.h"

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cmath>
#include <fstream>

extern char** environ;

// The IR conversion against SoX on the same file in the same run: a 1 MiB
// 44.1 kHz 16-bit mono WAV (the largest IR the library accepts) converted to
// 48 kHz 16-bit mono, and `sox in.wav -r 48000 -b 16 -c 1 out.wav`. Prints the
// time of each and their ratio, the peak memory each needs beyond what its
// process held before, and the error of each against the ideal 48 kHz sine.

namespace
{
constexpr double twoPi = 6.283185307179586;
constexpr double amplitude = 0.5;

/** A 1 MiB file: the header and as many samples of the sine as fit. */
void writeSine (const juce::File& file, double frequency)
{
    const int length = (1 << 20) - 44;
    std::vector<float> sine ((size_t) (length / 2));
    for (size_t n = 0; n < sine.size(); ++n)
        sine[n] = (float) (amplitude * std::sin (twoPi * frequency * (double) n / 44100.0));

    file.deleteFile();
    std::unique_ptr<juce::AudioFormatWriter> writer (juce::WavAudioFormat().createWriterFor (
        new juce::FileOutputStream (file), 44100.0, 1, 16, {}, 0));
    const float* channels[] = { sine.data() };
    writer->writeFromFloatArrays (channels, 1, (int) sine.size());
}

/** Error against the ideal sine, relative to the sine, in dB, leaving out
    the first and last 10 ms, which ring from the sine's abrupt start and
    stop through any band-limited resampler. */
double sineErrorDb (const juce::File& file, double frequency)
{
    std::unique_ptr<juce::AudioFormatReader> reader (
        juce::WavAudioFormat().createReaderFor (new juce::FileInputStream (file), true));
    if (reader == nullptr || reader->sampleRate != 48000.0)
        return 0.0;

    juce::AudioBuffer<float> buffer (1, (int) reader->lengthInSamples);
    reader->read (&buffer, 0, buffer.getNumSamples(), 0, true, false);

    double error = 0.0, signal = 0.0;
    for (int m = 480; m + 480 < buffer.getNumSamples(); ++m)
    {
        const double ideal = amplitude * std::sin (twoPi * frequency * m / 48000.0);
        error += std::pow (buffer.getSample (0, m) - ideal, 2.0);
        signal += ideal * ideal;
    }
    return 10.0 * std::log10 (error / signal);
}

long statusKiB (const char* field)
{
    std::ifstream status ("/proc/self/status");
    for (std::string line; std::getline (status, line);)
        if (line.rfind (field, 0) == 0)
            return std::stol (line.substr (std::strlen (field)));
    return 0;
}

/** Runs a command; returns its peak resident memory in KiB, or -1. */
long run (std::vector<std::string> args)
{
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back (a.data());
    argv.push_back (nullptr);

    pid_t pid = 0;
    if (posix_spawnp (&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return -1;

    int status = 0;
    rusage usage {};
    if (wait4 (pid, &status, 0, &usage) != pid || ! WIFEXITED (status) || WEXITSTATUS (status) != 0)
        return -1;
    return usage.ru_maxrss;
}

std::vector<std::string> soxCommand (const juce::File& in, const juce::File& out)
{
    return { "sox", in.getFullPathName().toStdString(), "-r", "48000", "-b", "16", "-c", "1",
             out.getFullPathName().toStdString() };
}
} // namespace

static void BM_IrConversionAgainstSox (benchmark::State& state)
{
    const auto folder = juce::File::getSpecialLocation (juce::File::tempDirectory)
                            .getChildFile ("tessel-ir-bench-" + juce::Uuid().toString());
    const auto volume = folder.getChildFile ("volume");
    volume.createDirectory();
    const auto volumeRoot = volume.getFullPathName() + "/";

    const auto source = folder.getChildFile ("ir.wav");
    const auto soxOut = folder.getChildFile ("sox.wav");
    writeSine (source, 1000.0);

    double oursMs = 0.0, soxMs = 0.0;
    long oursPeakRiseKiB = 0, soxPeakKiB = 0;
    bool failed = false;

    for (auto _ : state)
    {
        // The kernel's high-water mark restarts here, so the peak is this
        // conversion's own.
        std::ofstream ("/proc/self/clear_refs") << "5";
        const auto residentBefore = statusKiB ("VmRSS:");
        auto start = juce::Time::getMillisecondCounterHiRes();
        failed |= ! IrConversion::convertToVolume (source, volumeRoot);
        oursMs += juce::Time::getMillisecondCounterHiRes() - start;
        oursPeakRiseKiB = std::max (oursPeakRiseKiB, statusKiB ("VmHWM:") - residentBefore);

        start = juce::Time::getMillisecondCounterHiRes();
        const auto peak = run (soxCommand (source, soxOut));
        soxMs += juce::Time::getMillisecondCounterHiRes() - start;
        failed |= peak < 0;
        soxPeakKiB = std::max (soxPeakKiB, peak);
    }

    // What SoX holds with no audio at all, so both rises compare.
    const auto soxIdleKiB = run ({ "sox", "-n", "-r", "48000", "-b", "16", "-c", "1",
                                   soxOut.getFullPathName().toStdString(), "trim", "0", "0" });

    if (failed)
        state.SkipWithError ("a conversion failed (is sox installed?)");

    const auto iterations = (double) state.iterations();
    state.counters["ours_ms"] = oursMs / iterations;
    state.counters["sox_ms"] = soxMs / iterations;
    state.counters["sox_over_ours"] = soxMs / oursMs;
    state.counters["ours_peak_rise_KiB"] = (double) oursPeakRiseKiB;
    state.counters["sox_peak_KiB"] = (double) soxPeakKiB;
    state.counters["sox_peak_rise_KiB"] = (double) (soxPeakKiB - soxIdleKiB);

    // Quality at 1 kHz and near the top of the band, both converted once more.
    for (auto frequency : { 1000.0, 20000.0 })
    {
        writeSine (source, frequency);
        IrConversion::convertToVolume (source, volumeRoot);
        run (soxCommand (source, soxOut));
        const auto name = std::to_string ((int) frequency / 1000) + "kHz_error_dB";
        state.counters["ours_" + name] = sineErrorDb (volume.getChildFile ("ir.wav"), frequency);
        state.counters["sox_" + name] = sineErrorDb (soxOut, frequency);
    }

    folder.deleteRecursively();
}
BENCHMARK (BM_IrConversionAgainstSox)->Unit (benchmark::kMillisecond)->Iterations (20);
