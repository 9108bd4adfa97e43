#include <gtest/gtest.h>

#include "cab/IrConversion.h"

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <functional>

namespace
{
struct Chunk
{
    std::string id;
    std::string body;
};

std::string le (uint64_t value, int bytes)
{
    std::string s;
    for (int i = 0; i < bytes; ++i)
        s += (char) ((value >> (8 * i)) & 0xff);
    return s;
}

std::string riff (const std::vector<Chunk>& chunks)
{
    std::string body = "WAVE";
    for (auto& c : chunks)
        body += c.id + le (c.body.size(), 4) + c.body + (c.body.size() % 2 ? std::string (1, '\0') : "");
    return "RIFF" + le (body.size(), 4) + body;
}

struct Format
{
    int bits;
    bool isFloat;
    int channels;
    int rate;
};

using Signal = std::function<double (int channel, int index)>;

/** A WAV file written by the test itself, with a LIST chunk before the data
    and an odd-sized chunk after it, as recorders and editors leave them. */
std::string sourceWav (const Format& f, int length, const Signal& signal)
{
    const int bytes = f.bits / 8;
    std::string fmt = le (f.isFloat ? 3 : 1, 2) + le ((uint64_t) f.channels, 2) + le ((uint64_t) f.rate, 4)
                      + le ((uint64_t) (f.rate * f.channels * bytes), 4) + le ((uint64_t) (f.channels * bytes), 2)
                      + le ((uint64_t) f.bits, 2);
    std::string data;
    for (int n = 0; n < length; ++n)
        for (int c = 0; c < f.channels; ++c)
        {
            const double v = signal (c, n);
            if (f.isFloat)
            {
                const float x = (float) v;
                uint32_t raw;
                std::memcpy (&raw, &x, 4);
                data += le (raw, 4);
                continue;
            }
            const double full = std::ldexp (1.0, f.bits - 1);
            auto q = (int64_t) std::llround (std::clamp (v * full, -full, full - 1));
            data += le ((uint64_t) (f.bits == 8 ? q + 128 : q), bytes);
        }
    return riff ({ { "LIST", std::string ("INFOISFT\x06\0\0\0tests\0", 18) },
                   { "fmt ", fmt },
                   { "data", data },
                   { "smpl", "odd" } });
}

/** What a strict reader of the copy on the volume sees. */
struct Parsed
{
    size_t fileSize = 0;
    uint32_t riffSize = 0;
    std::vector<std::string> chunks;
    int tag = 0, channels = 0, rate = 0, byteRate = 0, blockAlign = 0, bits = 0;
    std::vector<int16_t> samples;
};

uint32_t readLe (const std::string& s, size_t at, int bytes)
{
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | (uint8_t) s[at + (size_t) i];
    return v;
}

Parsed parse (const std::string& s)
{
    Parsed p;
    p.fileSize = s.size();
    if (s.size() < 12 || s.compare (0, 4, "RIFF") != 0 || s.compare (8, 4, "WAVE") != 0)
        return p;
    p.riffSize = readLe (s, 4, 4);
    for (size_t at = 12; at + 8 <= s.size();)
    {
        const auto id = s.substr (at, 4);
        const auto size = readLe (s, at + 4, 4);
        p.chunks.push_back (id);
        if (id == "fmt ")
        {
            p.tag = (int) readLe (s, at + 8, 2);
            p.channels = (int) readLe (s, at + 10, 2);
            p.rate = (int) readLe (s, at + 12, 4);
            p.byteRate = (int) readLe (s, at + 16, 4);
            p.blockAlign = (int) readLe (s, at + 20, 2);
            p.bits = (int) readLe (s, at + 22, 2);
        }
        if (id == "data")
            for (size_t i = 0; i + 1 < size && at + 8 + i + 1 < s.size(); i += 2)
                p.samples.push_back ((int16_t) readLe (s, at + 8 + i, 2));
        at += 8 + size + (size & 1);
    }
    return p;
}

std::string contentOf (const juce::File& f)
{
    juce::MemoryBlock data;
    f.loadFileAsData (data);
    return { (const char*) data.getData(), data.getSize() };
}

constexpr double twoPi = 6.283185307179586;

/** Samples at each end that ring from the sine's abrupt start and stop, as
    they would through any band-limited resampler: 10 ms. */
constexpr size_t ringing = 480;

/** The error of `samples` against the ideal 48 kHz sine, relative to the
    sine, in dB, leaving out the ringing at both ends. */
double sineErrorDb (const std::vector<int16_t>& samples, double frequency, double amplitude)
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

/** A private scratch area: the user's folder, the pedal's volume and the
    folder for the conversion's own temporary file. */
struct Folders
{
    Folders()
    {
        for (auto* f : { &source, &volume, &work })
            f->createDirectory();
    }

    ~Folders()
    {
        chmod (source.getFullPathName().toRawUTF8(), 0755);
        root.deleteRecursively();
    }

    juce::File put (const juce::String& name, const std::string& bytes) const
    {
        auto file = source.getChildFile (name);
        file.replaceWithData (bytes.data(), bytes.size());
        return file;
    }

    bool convert (const juce::File& file) const
    {
        return IrConversion::convertToVolume (file, volume.getFullPathName() + "/", work);
    }

    Parsed onVolume (const juce::String& name) const { return parse (contentOf (volume.getChildFile (name))); }

    juce::File root { juce::File::getSpecialLocation (juce::File::tempDirectory)
                          .getChildFile ("tessel-ir-" + juce::Uuid().toString()) };
    juce::File source { root.getChildFile ("source") };
    juce::File volume { root.getChildFile ("volume") };
    juce::File work { root.getChildFile ("work") };
};

const std::vector<std::string> fourChunks { "fmt ", "data" };
} // namespace

TEST (IrConversion, EveryReadableFormatBecomes48kHz16BitMonoOfItsFirstChannel)
{
    struct Row
    {
        Format format;
        int length, expectedLength;
        double worstErrorDb;
    };
    // The lengths follow the single-precision rule: 44835 samples give 48799, not 48800.
    const Row rows[] = {
        { { 16, false, 1, 44100 }, 44100, 48000, -85.0 },
        { { 16, false, 1, 44100 }, 44835, 48799, -85.0 },
        { { 16, false, 2, 48000 }, 4000, 4000, -85.0 },
        { { 8, false, 2, 22050 }, 2205, 4800, -35.0 },
        { { 24, false, 3, 96000 }, 1000, 500, -85.0 },
        { { 32, false, 2, 88200 }, 8820, 4800, -85.0 },
        { { 32, true, 6, 32000 }, 3200, 4800, -85.0 },
    };

    Folders folders;
    for (auto& row : rows)
    {
        const auto& f = row.format;
        SCOPED_TRACE (juce::String (f.bits) + (f.isFloat ? " float " : " int ") + juce::String (f.channels) + " ch "
                      + juce::String (f.rate) + " Hz");

        // The first channel a sine; the others loud enough to show if mixed in.
        const auto signal = [&] (int c, int n)
        { return c == 0 ? 0.5 * std::sin (twoPi * 1000.0 * n / f.rate) : 0.45 * std::cos (twoPi * 5000.0 * n / f.rate + c); };
        const auto bytes = sourceWav (f, row.length, signal);
        const auto file = folders.put ("ir.wav", bytes);

        ASSERT_TRUE (folders.convert (file));
        const auto out = folders.onVolume ("ir.wav");
        EXPECT_EQ (IrConversion::convertedSize (file), (juce::int64) out.fileSize);

        EXPECT_EQ (out.chunks, fourChunks);
        EXPECT_EQ (out.riffSize, out.fileSize - 8);
        EXPECT_EQ (std::vector<int> ({ out.tag, out.channels, out.rate, out.byteRate, out.blockAlign, out.bits }),
                   std::vector<int> ({ 1, 1, 48000, 96000, 2, 16 }));
        EXPECT_EQ ((int) out.samples.size(), row.expectedLength);
        if (out.samples.size() > 4 * ringing)
        {
            EXPECT_LT (sineErrorDb (out.samples, 1000.0, 0.5), row.worstErrorDb);
        }

        // A 48 kHz 16-bit source is not resampled: its samples arrive as they were.
        if (f.rate == 48000 && f.bits == 16)
        {
            for (int n = 0; n < row.length; ++n)
                ASSERT_EQ (out.samples[(size_t) n], (int16_t) readLe (bytes, (size_t) (12 + 8 + 18 + 8 + 16 + 8 + n * 4), 2));
        }
    }
}

TEST (IrConversion, ResampledSinesStayCloseToTheIdealAcrossTheBand)
{
    struct Row
    {
        int rate;
        double frequency, worstErrorDb;
    };
    // 16-bit samples hold about -92 dB; near the top of the band the filter's
    // passband ripple (at most 0.01 dB) comes on top.
    const Row rows[] = { { 44100, 100.0, -86.0 }, { 44100, 10000.0, -86.0 }, { 44100, 20000.0, -70.0 },
                         { 96000, 21000.0, -86.0 } };

    Folders folders;
    for (auto& row : rows)
    {
        SCOPED_TRACE (juce::String (row.frequency) + " Hz at " + juce::String (row.rate));
        const auto file = folders.put ("sine.wav", sourceWav ({ 16, false, 1, row.rate }, row.rate / 2, [&] (int, int n)
                                                              { return 0.5 * std::sin (twoPi * row.frequency * n / row.rate); }));
        ASSERT_TRUE (folders.convert (file));
        EXPECT_LT (sineErrorDb (folders.onVolume ("sine.wav").samples, row.frequency, 0.5), row.worstErrorDb);
    }
}

namespace
{
/** Records what the copy does to its destination: "F" a flush, "S" a seek,
    a number a write of that many bytes. */
struct RecordingStream : juce::OutputStream
{
    void flush() override { log += " F"; }
    bool setPosition (juce::int64 p) override { log += " S"; return memory.setPosition (p); }
    juce::int64 getPosition() override { return memory.getPosition(); }
    bool write (const void* d, size_t n) override
    {
        log += " " + std::to_string (n);
        return memory.write (d, n);
    }

    juce::MemoryOutputStream memory;
    std::string log;
};

const std::string format48k16Mono = le (1, 2) + le (1, 2) + le (48000, 4) + le (96000, 4) + le (2, 2) + le (16, 2);

bool walk (const std::string& temporary, RecordingStream& out)
{
    juce::MemoryInputStream in (temporary.data(), temporary.size(), false);
    return IrConversion::copyChunks (in, out);
}
} // namespace

TEST (IrConversionCopy, SampleDataGoesIn15000ByteBlocksAndTheCopyIsFlushedOnceWhole)
{
    const std::pair<int, std::string> rows[] = {
        { 14998, " 14998" },
        { 15000, " 15000" },
        { 15002, " 15000 2" },
        { 30000, " 15000 15000" },
    };
    for (auto& [size, blocks] : rows)
    {
        RecordingStream out;
        const auto temporary = riff ({ { "JUNK", std::string (52, '\0') },
                                       { "odd ", "abc" },
                                       { "fmt ", format48k16Mono },
                                       { "data", std::string ((size_t) size, 'x') },
                                       { "LIST", "after" } });
        ASSERT_TRUE (walk (temporary, out));
        // RIFF and its size, WAVE, the format chunk, the data header, the
        // blocks, then the RIFF size put right.
        EXPECT_EQ (out.log, " 4 4 4 4 4 16 4 4" + blocks + " S 4 S F") << size;

        const auto parsed = parse (std::string ((const char*) out.memory.getData(), out.memory.getDataSize()));
        EXPECT_EQ (parsed.chunks, fourChunks);
        EXPECT_EQ (parsed.riffSize, 4 + 8 + 16 + 8 + (uint32_t) size);
    }
}

TEST (IrConversionCopy, TemporaryFileEndingBeforeItsDataFails)
{
    const auto whole = riff ({ { "fmt ", format48k16Mono }, { "data", std::string (100, 'x') } });
    const std::pair<const char*, std::string> rows[] = {
        { "empty", "" },
        { "no chunks after WAVE", riff ({}) },
        { "format but no data", riff ({ { "fmt ", format48k16Mono } }) },
        { "data cut short", whole.substr (0, whole.size() - 1) },
        { "other chunk longer than the file", riff ({ { "fmt ", format48k16Mono } }) + "LIST" + le (1000, 4) },
        { "data before format", riff ({ { "data", "xx" }, { "fmt ", format48k16Mono } }) },
        { "not a RIFF file", "RIFX" + whole.substr (4) },
    };
    for (auto& [what, bytes] : rows)
    {
        RecordingStream out;
        EXPECT_FALSE (walk (bytes, out)) << what;
    }
}

namespace
{
/** Whether anything in a folder was created, changed, deleted or opened for
    writing: the kernel reports even an open for writing that wrote nothing. */
struct FolderWatch
{
    explicit FolderWatch (const juce::File& folder)
    {
        fd = inotify_init1 (IN_NONBLOCK);
        inotify_add_watch (fd, folder.getFullPathName().toRawUTF8(),
                           IN_CREATE | IN_DELETE | IN_MODIFY | IN_CLOSE_WRITE | IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB);
    }
    ~FolderWatch() { close (fd); }

    bool untouched() const
    {
        char buffer[4096];
        return read (fd, buffer, sizeof (buffer)) < 0;
    }

    int fd;
};
} // namespace

TEST (IrConversion, ReadOnlySourceConvertsWithoutItsFolderBeingTouched)
{
    Folders folders;
    const auto source = folders.put ("cab.wav", sourceWav ({ 16, false, 2, 44100 }, 4410, [] (int, int n)
                                                           { return 0.25 * std::sin (n * 0.1); }));
    const auto usersOwn = folders.put ("Temporary.wav", "the user's own file");
    chmod (source.getFullPathName().toRawUTF8(), 0444);
    chmod (folders.source.getFullPathName().toRawUTF8(), 0555);

    // An older IR of the same name on the volume is replaced, not appended to.
    folders.volume.getChildFile ("cab.wav").replaceWithText (juce::String::repeatedString ("old", 100000));

    FolderWatch watch (folders.source);
    ASSERT_TRUE (folders.convert (source));

    EXPECT_TRUE (watch.untouched());
    EXPECT_EQ (contentOf (usersOwn), "the user's own file");
    const auto out = folders.onVolume ("cab.wav");
    EXPECT_EQ (out.chunks, fourChunks);
    EXPECT_EQ (out.samples.size(), 4800u);
    EXPECT_EQ (out.riffSize, out.fileSize - 8);
    EXPECT_EQ (folders.work.getNumberOfChildFiles (juce::File::findFilesAndDirectories), 0);
}

TEST (IrConversion, FailedConversionLeavesNothingBehind)
{
    const auto wav = sourceWav ({ 16, false, 1, 44100 }, 441, [] (int, int) { return 0.1; });
    struct Row
    {
        const char* what;
        std::function<juce::File (Folders&)> prepare;
        juce::String volumeRoot; // empty: the volume folder
    };
    const Row rows[] = {
        { "not a WAV file", [] (Folders& f) { return f.put ("a.wav", "RIFF\x04\0\0\0TEXT"); }, {} },
        { "missing source", [] (Folders& f) { return f.source.getChildFile ("gone.wav"); }, {} },
        { "volume gone", [&] (Folders& f) { return f.put ("a.wav", wav); }, "/nonexistent-tessel-volume/" },
        { "folder in the way", [&] (Folders& f)
          {
              f.volume.getChildFile ("a.wav").createDirectory();
              return f.put ("a.wav", wav);
          },
          {} },
        { "no work folder", [&] (Folders& f)
          {
              f.work.deleteRecursively();
              return f.put ("a.wav", wav);
          },
          {} },
    };
    for (auto& row : rows)
    {
        Folders folders;
        const auto source = row.prepare (folders);
        const auto sourceFiles = folders.source.getNumberOfChildFiles (juce::File::findFiles);

        EXPECT_FALSE (IrConversion::convertToVolume (
            source, row.volumeRoot.isEmpty() ? folders.volume.getFullPathName() + "/" : row.volumeRoot, folders.work))
            << row.what;

        EXPECT_FALSE (folders.volume.getChildFile (source.getFileName()).existsAsFile()) << row.what;
        EXPECT_EQ (folders.source.getNumberOfChildFiles (juce::File::findFiles), sourceFiles) << row.what;
        EXPECT_EQ (folders.work.getNumberOfChildFiles (juce::File::findFilesAndDirectories), 0) << row.what;
    }
}
