#include <gtest/gtest.h>

#include "cab/IrConversion.h"

#include <csignal>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

// WAV files are written and read back here by the tests' own code, so the
// conversion is judged by a reader that shares nothing with it.

namespace
{
using Bytes = std::string;

Bytes le (uint64_t v, int n)
{
    Bytes s;
    for (; n > 0; --n, v >>= 8)
        s += (char) (v & 0xff);
    return s;
}

uint32_t readLe (const Bytes& s, size_t at, int n)
{
    uint32_t v = 0;
    while (--n >= 0)
        v = (v << 8) | (uint8_t) s[at + (size_t) n];
    return v;
}

Bytes riff (const std::vector<std::pair<Bytes, Bytes>>& chunks)
{
    Bytes body = "WAVE";
    for (auto& [id, b] : chunks)
        body += id + le (b.size(), 4) + b + Bytes (b.size() % 2, '\0');
    return "RIFF" + le (body.size(), 4) + body;
}

Bytes format (int tag, int channels, int rate, int bits)
{
    const int frame = channels * bits / 8;
    return le ((uint64_t) tag, 2) + le ((uint64_t) channels, 2) + le ((uint64_t) rate, 4)
        + le ((uint64_t) rate * (uint64_t) frame, 4) + le ((uint64_t) frame, 2) + le ((uint64_t) bits, 2);
}

constexpr double twoPi = 6.283185307179586;
constexpr double amplitude = 0.5;

/** A source whose first channel is a sine and whose other channels are loud
    enough to show if mixed in, with a LIST chunk before its data and an
    odd-sized chunk after, as recorders and editors leave them. */
Bytes sourceWav (int bits, bool isFloat, int channels, int rate, int length, double frequency)
{
    Bytes data;
    for (int n = 0; n < length; ++n)
        for (int c = 0; c < channels; ++c)
        {
            const double v = c == 0 ? amplitude * std::sin (twoPi * frequency * n / rate)
                                    : 0.45 * std::cos (twoPi * 5000.0 * n / rate + c);
            const float f = (float) v;
            uint32_t raw;
            std::memcpy (&raw, &f, 4);
            const double full = std::ldexp (1.0, bits - 1);
            const auto q = std::llround (std::clamp (v * full, -full, full - 1));
            data += isFloat ? le (raw, 4) : le ((uint64_t) (bits == 8 ? q + 128 : q), bits / 8);
        }
    return riff ({ { "LIST", Bytes ("INFOISFT\6\0\0\0tests\0", 18) },
                   { "fmt ", format (isFloat ? 3 : 1, channels, rate, bits) },
                   { "data", data },
                   { "smpl", "odd" } });
}

/** A 48 kHz 16-bit mono file of these data bytes, and nothing else. */
Bytes pedalWav (const Bytes& data)
{
    return riff ({ { "fmt ", format (1, 1, 48000, 16) }, { "data", data } });
}

/** The samples of a converted file, once its header is checked to be pedalWav's. */
std::vector<int16_t> samplesOf (const Bytes& s)
{
    EXPECT_EQ (s.substr (0, 44), pedalWav (Bytes (std::max<size_t> (s.size(), 44) - 44, '\0')).substr (0, 44));
    std::vector<int16_t> samples;
    for (size_t at = 44; at + 1 < s.size(); at += 2)
        samples.push_back ((int16_t) readLe (s, at, 2));
    return samples;
}

/** Samples at each end that ring from the sine's abrupt start and stop, as
    through any band-limited resampler: 10 ms. */
constexpr size_t ringing = 480;

/** The error against the ideal 48 kHz sine, relative to the sine, in dB. */
double sineErrorDb (const std::vector<int16_t>& samples, double frequency)
{
    double error = 0.0, signal = 0.0;
    for (size_t m = ringing; m + ringing < samples.size(); ++m)
    {
        const double ideal = amplitude * std::sin (twoPi * frequency * (double) m / 48000.0);
        error += std::pow (samples[m] / 32768.0 - ideal, 2.0);
        signal += ideal * ideal;
    }
    return 10.0 * std::log10 (error / signal);
}

/** The user's folder and the pedal's volume, private to this test process. */
struct Folders
{
    Folders()
    {
        for (auto* f : { &source, &volume })
            f->createDirectory();
    }
    ~Folders()
    {
        chmod (source.getFullPathName().toRawUTF8(), 0755);
        root.deleteRecursively();
    }

    juce::File put (const juce::String& name, const Bytes& bytes) const
    {
        source.getChildFile (name).replaceWithData (bytes.data(), bytes.size());
        return source.getChildFile (name);
    }
    bool convert (const juce::File& file) const
    {
        return IrConversion::convertToVolume (file, volume.getFullPathName() + "/");
    }
    Bytes onVolume (const juce::String& name) const
    {
        juce::MemoryBlock data;
        volume.getChildFile (name).loadFileAsData (data);
        return { (const char*) data.getData(), data.getSize() };
    }

    juce::File root {
        juce::File::getSpecialLocation (juce::File::tempDirectory).getChildFile ("tessel-ir-" + juce::Uuid().toString())
    };
    juce::File source { root.getChildFile ("source") }, volume { root.getChildFile ("volume") };
};
} // namespace

TEST (IrConversion, EveryReadableFormatBecomes48kHz16BitMonoOfItsFirstChannelWithoutTouchingTheSourceFolder)
{
    struct Row
    {
        int bits;
        bool isFloat;
        int channels, rate, length, expectedLength;
        double frequency, worstErrorDb;
    };
    // Lengths follow the single-precision rule (44835 samples give 48799, not
    // 48800). 16-bit samples hold about -92 dB.
    const Row rows[] = {
        { 16, false, 1, 44100, 44835, 48799, 10000, -85 }, { 16, false, 2, 48000, 4000, 4000, 1000, -85 },
        { 8, false, 2, 22050, 2205, 4800, 1000, -35 },     { 24, false, 1, 96000, 48000, 24000, 21000, -85 },
        { 32, true, 6, 32000, 3200, 4800, 1000, -85 },
    };

    // The sources lie read-only in a read-only folder beside a file of the
    // user's that shares the conversion's own name for its temporary file.
    Folders folders;
    std::vector<Bytes> sources;
    for (auto& r : rows)
        sources.push_back (sourceWav (r.bits, r.isFloat, r.channels, r.rate, r.length, r.frequency));
    for (size_t i = 0; i < sources.size(); ++i)
        chmod (folders.put (juce::String ((int) i) + ".wav", sources[i]).getFullPathName().toRawUTF8(), 0444);
    const auto usersOwn = folders.put ("Temporary.wav", "the user's own");
    chmod (folders.source.getFullPathName().toRawUTF8(), 0555);
    // An older IR of the same name on the volume is replaced, not appended to.
    folders.volume.getChildFile ("0.wav").replaceWithText (juce::String::repeatedString ("old", 100000));

    // The kernel reports any change in the folder, even an open for writing that wrote nothing.
    const int watch = inotify_init1 (IN_NONBLOCK);
    inotify_add_watch (watch, folders.source.getFullPathName().toRawUTF8(),
                       IN_CREATE | IN_DELETE | IN_MODIFY | IN_CLOSE_WRITE | IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB);

    for (size_t i = 0; i < std::size (rows); ++i)
    {
        const auto& r = rows[i];
        SCOPED_TRACE (juce::String (r.bits) + (r.isFloat ? " float " : " int ") + juce::String (r.channels) + " ch "
                      + juce::String (r.rate) + " Hz");
        const auto file = folders.source.getChildFile (juce::String ((int) i) + ".wav");
        ASSERT_TRUE (folders.convert (file));
        const auto out = folders.onVolume (file.getFileName());

        const auto samples = samplesOf (out);
        EXPECT_EQ ((int) samples.size(), r.expectedLength);
        EXPECT_EQ (IrConversion::convertedSize (file), (juce::int64) out.size());
        EXPECT_LT (sineErrorDb (samples, r.frequency), r.worstErrorDb);

        // A 48 kHz 16-bit source is not resampled: its samples arrive as they were.
        for (int n = 0; r.rate == 48000 && n < r.length; ++n)
            ASSERT_EQ (samples[(size_t) n], (int16_t) readLe (sources[i], (size_t) (70 + n * 4), 2));
    }

    char events[4096];
    EXPECT_LT (read (watch, events, sizeof (events)), 0);
    close (watch);
    EXPECT_EQ (usersOwn.loadFileAsString(), "the user's own");
}

namespace
{
/** What the copy does to its destination: a number is a write of that many
    bytes, "S" a seek, "F" a flush. */
struct RecordingStream : juce::MemoryOutputStream
{
    void flush() override { log += " F"; }
    bool setPosition (juce::int64 p) override
    {
        log += " S";
        return juce::MemoryOutputStream::setPosition (p);
    }
    bool write (const void* d, size_t n) override
    {
        log += " " + std::to_string (n);
        return juce::MemoryOutputStream::write (d, n);
    }
    std::string log;
};
} // namespace

TEST (IrConversionCopy, DataGoesIn15000ByteBlocksAndMalformedFilesFail)
{
    const auto copy = [] (const Bytes& temporary, RecordingStream& out)
    {
        juce::MemoryInputStream in (temporary.data(), temporary.size(), false);
        return IrConversion::copyChunks (in, out);
    };
    for (auto& [size, blocks] : { std::pair { 15000, " 15000" }, { 15002, " 15000 2" }, { 30000, " 15000 15000" } })
    {
        RecordingStream out;
        ASSERT_TRUE (copy (riff ({ { "JUNK", Bytes (52, '\0') },
                                   { "odd ", "abc" },
                                   { "fmt ", format (1, 1, 48000, 16) },
                                   { "data", Bytes ((size_t) size, 'x') },
                                   { "LIST", "after" } }),
                           out));
        // RIFF, WAVE, the format chunk, the data header, the blocks, then the
        // RIFF size put right and one flush.
        EXPECT_EQ (out.log, " 4 4 4 4 4 16 4 4" + std::string (blocks) + " S 4 S F") << size;
        EXPECT_EQ (Bytes ((const char*) out.getData(), out.getDataSize()), pedalWav (Bytes ((size_t) size, 'x')));
    }

    const auto whole = riff ({ { "fmt ", format (1, 1, 48000, 16) }, { "data", Bytes (100, 'x') } });
    for (auto& bad : { Bytes(), riff ({ { "fmt ", format (1, 1, 48000, 16) } }), whole.substr (0, whole.size() - 1),
                       riff ({}) + "LIST" + le (1000, 4), riff ({ { "data", "xx" } }), "RIFX" + whole.substr (4) })
    {
        RecordingStream out;
        EXPECT_FALSE (copy (bad, out)) << bad.size();
    }
}

TEST (IrConversion, FailedConversionLeavesNothingBehind)
{
    const auto wav = sourceWav (16, false, 1, 44100, 441, 1000);
    // A "bext" chunk after the samples, which JUCE's reader sets memory aside
    // for before reading it, claiming 4 GB in a file of 90 bytes.
    const auto hostile = "RIFF" + le (0xfffffff0u, 4) + "WAVE" + "fmt " + le (16, 4) + format (1, 1, 44100, 16) + "data"
        + le (4, 4) + Bytes (4, '\1') + "bext" + le (0xffffff00u, 4) + Bytes (32, '\0');
    const std::pair<const char*, Bytes> rows[] = {
        { "not a WAV file", Bytes ("RIFF\4\0\0\0TEXT", 12) },
        { "hostile chunk size", hostile },
        { "thousands of channels of 98 bits",
          riff ({ { "fmt ", format (1, 64256, 44100, 98) }, { "data", Bytes (4096, '\x55') } }) },
        { "folder in the way", wav },
    };
    for (auto& [what, bytes] : rows)
    {
        Folders folders;
        const auto source = folders.put ("a.wav", bytes);
        if (juce::String (what) == "folder in the way")
            folders.volume.getChildFile ("a.wav").createDirectory();
        EXPECT_EQ (IrConversion::convertedSize (source) == 0, bytes != wav) << what;

        EXPECT_FALSE (folders.convert (source)) << what;
        EXPECT_FALSE (folders.volume.getChildFile ("a.wav").existsAsFile()) << what;
        EXPECT_EQ (folders.source.getNumberOfChildFiles (juce::File::findFilesAndDirectories), 1) << what;
    }
}

TEST (IrConversion, OnlyTheSampleBytesPresentAreTakenAndAVolumeThatFillsUpKeepsNoShortFile)
{
    // A header claiming 1,000,000 data bytes over 100 that are there: 50
    // samples, as they are, and no silence made up after them.
    Folders folders;
    Bytes data;
    for (int n = 0; n < 50; ++n)
        data += le ((uint64_t) (uint16_t) (n * 300 - 7000), 2);
    auto cut = pedalWav (data);
    cut.replace (40, 4, le (1000000, 4));
    const auto source = folders.put ("cut.wav", cut);
    ASSERT_TRUE (folders.convert (source));
    const auto samples = samplesOf (folders.onVolume ("cut.wav"));
    ASSERT_EQ (samples.size(), 50u);
    for (size_t n = 0; n < samples.size(); ++n)
        EXPECT_EQ (samples[n], (int16_t) readLe (data, n * 2, 2)) << n;

    // 96,044 bytes onto a volume with room for 94,208: the last of the data
    // goes with the seek that puts the RIFF size right, whose failure the
    // stream keeps to itself. Files past the limit fail as on a full volume.
    const auto converted = pedalWav (Bytes (96000, 'x'));
    const auto destination = folders.volume.getChildFile ("full.wav");
    const auto copy = [&]
    {
        juce::MemoryInputStream in (converted.data(), converted.size(), false);
        return IrConversion::copyToVolume (in, destination);
    };
    rlimit saved {};
    ASSERT_EQ (getrlimit (RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal (SIGXFSZ, SIG_IGN);
    auto capped = saved;
    capped.rlim_cur = 94208;
    ASSERT_EQ (setrlimit (RLIMIT_FSIZE, &capped), 0);
    const auto copied = copy();
    setrlimit (RLIMIT_FSIZE, &saved);
    std::signal (SIGXFSZ, previousHandler);

    EXPECT_FALSE (copied);
    EXPECT_FALSE (destination.exists());
    EXPECT_TRUE (copy());
    EXPECT_EQ (destination.getSize(), 96044);
}
