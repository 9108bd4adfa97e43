#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cmath>
#include <fstream>

#include <juce_audio_formats/juce_audio_formats.h>

extern char** environ;

// The IR conversion against SoX on the same file in the same run, both as
// whole processes: our conversion as a program of its own (bench/programs,
// the same call the IR library job makes) and `sox in.wav -r 48000 -b 16 -c 1
// out.wav`, on a 1 MiB 44.1 kHz 16-bit mono WAV (the largest IR the library
// accepts) converted to 48 kHz 16-bit mono. Each is started through a small
// launcher that measures its time and its peak memory alone. Prints the time
// of each and their ratio sox_over_ours (above 1: ours is faster), the peak
// memory of each process and their ratio sox_over_ours_peak (above 1: ours
// needs less), and the error of each against the ideal 48 kHz sine.

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
    std::unique_ptr<juce::AudioFormatWriter> writer (
        juce::WavAudioFormat().createWriterFor (new juce::FileOutputStream (file), 44100.0, 1, 16, {}, 0));
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

struct ChildRun
{
    double milliseconds = 0.0;
    long peakKiB = -1; // -1: the command failed
};

/** Runs a command through the launcher, which measures it alone. */
ChildRun run (const std::vector<std::string>& command, const juce::File& report)
{
    std::vector<std::string> args { TESSEL_CHILD_PEAK, report.getFullPathName().toStdString() };
    args.insert (args.end(), command.begin(), command.end());
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back (a.data());
    argv.push_back (nullptr);

    // The commands' own output would only clutter the bench's.
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init (&quiet);
    posix_spawn_file_actions_addopen (&quiet, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen (&quiet, 2, "/dev/null", O_WRONLY, 0);

    pid_t pid = 0;
    const auto spawned = posix_spawn (&pid, argv[0], &quiet, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy (&quiet);

    int status = 0;
    if (! spawned || waitpid (pid, &status, 0) != pid || ! WIFEXITED (status) || WEXITSTATUS (status) != 0)
        return {};

    ChildRun result;
    int exitCode = -1;
    std::ifstream (report.getFullPathName().toStdString()) >> result.milliseconds >> result.peakKiB >> exitCode;
    if (exitCode != 0)
        result.peakKiB = -1;
    return result;
}

std::vector<std::string> oursCommand (const juce::File& in, const juce::File& volume)
{
    return { TESSEL_CONVERT_IR, in.getFullPathName().toStdString(), volume.getFullPathName().toStdString() + "/" };
}

std::vector<std::string> soxCommand (const juce::File& in, const juce::File& out)
{
    return { "sox", in.getFullPathName().toStdString(), "-r", "48000", "-b", "16", "-c",
             "1",   out.getFullPathName().toStdString() };
}
} // namespace

static void BM_IrConversionAgainstSox (benchmark::State& state)
{
    const auto folder = juce::File::getSpecialLocation (juce::File::tempDirectory)
                            .getChildFile ("tessel-ir-bench-" + juce::Uuid().toString());
    const auto volume = folder.getChildFile ("volume");
    volume.createDirectory();

    const auto source = folder.getChildFile ("ir.wav");
    const auto soxOut = folder.getChildFile ("sox.wav");
    const auto report = folder.getChildFile ("report.txt");
    writeSine (source, 1000.0);

    double oursMs = 0.0, soxMs = 0.0;
    long oursPeakKiB = 0, soxPeakKiB = 0;
    bool failed = false, oursFirst = true;

    for (auto _ : state)
    {
        // Turn about, so that neither always runs on the other's warm caches.
        ChildRun ours, sox;
        if (oursFirst)
            ours = run (oursCommand (source, volume), report);
        sox = run (soxCommand (source, soxOut), report);
        if (! oursFirst)
            ours = run (oursCommand (source, volume), report);
        oursFirst = ! oursFirst;

        failed |= ours.peakKiB < 0 || sox.peakKiB < 0;
        oursMs += ours.milliseconds;
        soxMs += sox.milliseconds;
        oursPeakKiB = std::max (oursPeakKiB, ours.peakKiB);
        soxPeakKiB = std::max (soxPeakKiB, sox.peakKiB);
    }

    if (failed)
        state.SkipWithError ("a conversion failed (is sox installed?)");

    const auto iterations = (double) state.iterations();
    state.counters["ours_ms"] = oursMs / iterations;
    state.counters["sox_ms"] = soxMs / iterations;
    state.counters["sox_over_ours"] = soxMs / oursMs;
    state.counters["ours_peak_KiB"] = (double) oursPeakKiB;
    state.counters["sox_peak_KiB"] = (double) soxPeakKiB;
    state.counters["sox_over_ours_peak"] = (double) soxPeakKiB / (double) oursPeakKiB;

    // Quality at 1 kHz and near the top of the band, both converted once more.
    for (auto frequency : { 1000.0, 20000.0 })
    {
        writeSine (source, frequency);
        run (oursCommand (source, volume), report);
        run (soxCommand (source, soxOut), report);
        const auto name = std::to_string ((int) frequency / 1000) + "kHz_error_dB";
        state.counters["ours_" + name] = sineErrorDb (volume.getChildFile ("ir.wav"), frequency);
        state.counters["sox_" + name] = sineErrorDb (soxOut, frequency);
    }

    folder.deleteRecursively();
}
BENCHMARK (BM_IrConversionAgainstSox)->Unit (benchmark::kMillisecond)->Iterations (20);
