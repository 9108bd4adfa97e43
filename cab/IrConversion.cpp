#include "cab/IrConversion.h"

#include <soxr.h>

#include <algorithm>
#include <cstring>

namespace IrConversion
{
namespace
{
// A "fmt " chunk is 16 to 40 bytes; anything far larger is not a WAV header.
constexpr uint32_t largestFormatChunk = 1024;

// Far beyond any IR (about six minutes at 48 kHz), and small enough that an
// odd rate in a header (a few hertz, say) cannot make the output length
// overflow or the memory for it run out.
constexpr double longestOutput = 1 << 24;

// How much of the input the resampler is handed at a time.
constexpr size_t resampleStep = 8192;

bool sameId (const char* id, const char* name)
{
    return juce::String (id, 4).equalsIgnoreCase (name);
}

bool readSize (juce::InputStream& in, uint32_t& size)
{
    uint8_t bytes[4];
    if (in.read (bytes, 4) != 4)
        return false;

    size = juce::ByteOrder::littleEndianInt (bytes);
    return true;
}

bool writeHeader (juce::OutputStream& out, const char* id, uint32_t size)
{
    return out.write (id, 4) && out.writeInt ((int) size);
}

bool fitsIn (juce::InputStream& in, uint64_t bytes)
{
    return bytes <= (uint64_t) in.getNumBytesRemaining();
}

/** The sample bytes, in blocks of copyBlockBytes. */
bool copySampleData (juce::InputStream& in, juce::OutputStream& out, uint32_t size)
{
    juce::HeapBlock<char> block ((size_t) std::min<uint32_t> (size, (uint32_t) copyBlockBytes));

    for (uint32_t done = 0; done < size;)
    {
        const auto count = (int) std::min<uint32_t> (size - done, (uint32_t) copyBlockBytes);

        if (in.read (block.get(), count) != count || ! out.write (block.get(), (size_t) count))
            return false;

        done += (uint32_t) count;
    }

    return true;
}

/** Whether every chunk of a RIFF file, but for its sample data, lies wholly
    inside the file. JUCE's WAV reader sets aside as much memory as a header
    chunk ("bext", "smpl", "cue "...) says it holds before reading it, so a few
    bytes of damaged or hostile file could ask for gigabytes. Sample data that
    runs past the end is a recorder that never finished its header: the
    reader then reads what is there. `dataStart` gets where the first "data"
    chunk's samples begin, or the file's length when it has none. Leaves the
    stream where it began. */
bool chunksLieInside (juce::InputStream& in, int64_t& dataStart)
{
    const auto start = in.getPosition();
    const auto total = in.getTotalLength();
    constexpr int headerBytes = 12; // "RIFF", its size, "WAVE"

    in.skipNextBytes (headerBytes);
    dataStart = total;

    bool inside = true, atEnd = false;
    while (inside && ! atEnd && total - in.getPosition() >= 8)
    {
        char id[4];
        uint32_t size = 0;
        if (in.read (id, 4) != 4 || ! readSize (in, size))
            break;

        const auto left = (uint64_t) (total - in.getPosition());
        const bool sampleData = std::memcmp (id, "data", 4) == 0;

        if (sampleData && dataStart == total)
            dataStart = in.getPosition();

        if (size > left)
        {
            inside = sampleData;
            atEnd = true;
        }
        else
        {
            in.skipNextBytes ((int64_t) size + (size & 1));
        }
    }

    in.setPosition (start);
    return inside;
}

/** The source's reader and the number of its samples worth reading, or
    nullptr when it is not a WAV file that can be converted. */
std::unique_ptr<juce::AudioFormatReader> openSource (const juce::File& source, int& length)
{
    auto stream = std::make_unique<juce::FileInputStream> (source);
    if (stream->failedToOpen())
        return {};

    const auto fileSize = stream->getTotalLength();
    int64_t dataStart = 0;
    if (! chunksLieInside (*stream, dataStart))
        return {};

    std::unique_ptr<juce::AudioFormatReader> reader (juce::WavAudioFormat().createReaderFor (stream.get(), false));
    if (reader == nullptr)
        return {};
    stream.release();

    // JUCE's reader copes only with the sample sizes it knows, and a frame of thousands of channels
    // at an odd size once made it write past its buffers.
    const auto bits = reader->bitsPerSample;
    if (reader->sampleRate <= 0.0 || reader->numChannels == 0 || reader->numChannels > 64 || reader->lengthInSamples < 0
        || (bits != 8 && bits != 16 && bits != 24 && bits != 32))
        return {};

    // A header may claim more samples than its file holds (a recorder that
    // never finished its header): only the sample bytes the file holds are
    // read, and nothing is allocated for the rest, which would be silence
    // made up and put on the pedal.
    const auto bytesPerFrame = std::max<int64_t> (1, (int64_t) reader->numChannels * reader->bitsPerSample / 8);
    const auto available = std::min<int64_t> (reader->lengthInSamples, (fileSize - dataStart) / bytesPerFrame);

    if ((double) available * targetSampleRate / reader->sampleRate > longestOutput)
        return {};

    length = (int) available;
    return reader;
}

/** The pedal's form of the IR, made in memory by JUCE's WAV writer: 48 kHz,
    one channel, 16 bits. */
class ConvertedFile
{
public:
    ConvertedFile (juce::MemoryBlock& file, int samples)
    {
        // Room for all of it at once, so the block is never copied as it grows.
        constexpr size_t headerRoom = 4096;
        file.ensureSize (headerRoom + (size_t) samples * (targetBitsPerSample / 8));

        auto stream = std::make_unique<juce::MemoryOutputStream> (file, false);
        writer.reset (juce::WavAudioFormat().createWriterFor (
            stream.get(), targetSampleRate, juce::AudioChannelSet::mono(), targetBitsPerSample, {}, 0));
        if (writer != nullptr)
            stream.release();
    }

    bool isOpen() const { return writer != nullptr; }

    bool write (const float* samples, size_t count)
    {
        // The writer keeps the top 16 bits of 32-bit samples, which truncates:
        // a bias of half a step and twice the noise of rounding. Rounded to 16
        // bits here (and clipped to the 16-bit range), what it keeps is exact.
        for (size_t done = 0; done < count;)
        {
            const auto part = std::min (block.size(), count - done);
            for (size_t i = 0; i < part; ++i)
                block[i] = juce::jlimit (-32768, 32767, juce::roundToInt (samples[done + i] * 32768.0f)) * 65536;

            const int* channels[] = { block.data(), nullptr };
            if (! writer->write (channels, (int) part))
                return false;
            done += part;
        }
        return true;
    }

    bool writeSilence (size_t count)
    {
        const std::vector<float> silence (std::min<size_t> (count, block.size()), 0.0f);
        for (size_t done = 0; done < count; done += silence.size())
            if (! write (silence.data(), std::min (silence.size(), count - done)))
                return false;
        return true;
    }

    /** Completes the header. */
    void close() { writer.reset(); }

private:
    std::unique_ptr<juce::AudioFormatWriter> writer;
    std::vector<int> block = std::vector<int> (4096);
};

/** Reads the source's first channel piece by piece: the pedal's IRs are mono,
    and the other channels are dropped, not mixed in. */
class FirstChannel
{
public:
    FirstChannel (juce::AudioFormatReader& r, int samples)
        : reader (r),
          length (samples)
    {
    }

    /** The next piece, empty at the end; null when the source can't be read. */
    const float* next (size_t& count)
    {
        count = (size_t) std::min<int64_t> ((int64_t) piece.size(), length - position);
        if (count == 0)
            return piece.data();

        float* channels[] = { piece.data() };
        juce::AudioBuffer<float> buffer (channels, 1, (int) count);
        if (! reader.read (&buffer, 0, (int) count, position, true, false))
            return nullptr;

        position += (int64_t) count;
        return piece.data();
    }

private:
    juce::AudioFormatReader& reader;
    const int64_t length;
    int64_t position = 0;
    std::vector<float> piece = std::vector<float> (resampleStep);
};

/** Resamples the source to 48 kHz into exactly outputLength samples, as one
    stream through one resampler (linear phase, very high quality, 2 %
    transition band); what still falls short of the length after the
    resampler's filter has been flushed is silence. */
bool resampleInto (FirstChannel& input, double sourceRate, size_t length, ConvertedFile& out)
{
    const auto io = soxr_io_spec (SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    auto quality = soxr_quality_spec (SOXR_VHQ, SOXR_LINEAR_PHASE);
    quality.passband_end = 0.98;
    const auto runtime = soxr_runtime_spec (1);

    soxr_error_t error = nullptr;
    std::unique_ptr<soxr, decltype (&soxr_delete)> resampler (
        soxr_create (sourceRate, targetSampleRate, 1, &error, &io, &quality, &runtime), &soxr_delete);
    if (error != nullptr || resampler == nullptr)
        return false;

    // Pieces in and out, never the whole IR: the whole signal is never held
    // in memory but as the converted file itself.
    std::vector<float> produced (resampleStep * 2);
    const float* piece = nullptr;
    size_t pieceLength = 0, pieceUsed = 0, written = 0;
    bool inputEnded = false;

    while (written < length)
    {
        if (pieceUsed == pieceLength && ! inputEnded)
        {
            piece = input.next (pieceLength);
            if (piece == nullptr)
                return false;
            pieceUsed = 0;
            inputEnded = pieceLength == 0;
        }

        // A null input flushes the resampler's filter at the end.
        size_t used = 0, made = 0;
        error = soxr_process (resampler.get(), inputEnded ? nullptr : piece + pieceUsed, pieceLength - pieceUsed, &used,
                              produced.data(), std::min (produced.size(), length - written), &made);
        if (error != nullptr || ! out.write (produced.data(), made))
            return false;

        pieceUsed += used;
        written += made;
        if (inputEnded && made == 0)
            break;
    }

    return out.writeSilence (length - written);
}

/** The source as it is, at 48 kHz already. */
bool copyInto (FirstChannel& input, ConvertedFile& out)
{
    for (;;)
    {
        size_t count = 0;
        const auto* piece = input.next (count);
        if (piece == nullptr || ! out.write (piece, count))
            return false;
        if (count == 0)
            return true;
    }
}
} // namespace

bool copyToVolume (juce::InputStream& in, const juce::File& destination)
{
    if (destination.isDirectory() || (destination.existsAsFile() && ! destination.deleteFile()))
        return false;

    bool copied = false;
    juce::int64 meant = -1;
    {
        juce::FileOutputStream out (destination, destinationBufferBytes);
        copied = ! out.failedToOpen() && copyChunks (in, out) && out.getStatus().wasOk();
        meant = out.getPosition();
    }

    // A volume that fills up part-way can pass every write unseen (the
    // stream drops what it could not flush before a seek), so the size on
    // the volume has the last word. A half-written IR must not stay there:
    // it would look imported.
    copied = copied && destination.getSize() == meant;
    if (! copied)
        destination.deleteFile();

    return copied;
}

juce::int64 convertedSize (const juce::File& source)
{
    int length = 0;
    const auto reader = openSource (source, length);
    if (reader == nullptr)
        return 0;

    // RIFF, WAVE, a 16-byte "fmt " chunk and the data header.
    constexpr juce::int64 headerBytes = 44;
    const auto samples = reader->sampleRate == targetSampleRate ? length : outputLength (length, reader->sampleRate);
    return headerBytes + (juce::int64) std::max (0, samples) * (targetBitsPerSample / 8);
}

int outputLength (int inputLength, double sourceRate)
{
    return (int) ((float) inputLength * (float) targetSampleRate / (float) sourceRate);
}

bool copyChunks (juce::InputStream& in, juce::OutputStream& out)
{
    const auto start = out.getPosition();
    bool sawRiff = false, sawWave = false, sawFormat = false;

    for (;;)
    {
        char id[4];
        if (in.read (id, 4) != 4)
            return false;

        if (! sawRiff)
        {
            uint32_t size = 0;
            if (! sameId (id, "RIFF") || ! readSize (in, size) || ! writeHeader (out, id, size))
                return false;
            sawRiff = true;
        }
        else if (! sawWave)
        {
            if (! sameId (id, "WAVE") || ! out.write (id, 4))
                return false;
            sawWave = true;
        }
        else if (sameId (id, "fmt "))
        {
            uint32_t size = 0;
            if (sawFormat || ! readSize (in, size) || size > largestFormatChunk || ! fitsIn (in, size))
                return false;

            juce::HeapBlock<char> format ((size_t) size);
            if (in.read (format.get(), (int) size) != (int) size || ! writeHeader (out, id, size)
                || ! out.write (format.get(), size))
                return false;
            sawFormat = true;
        }
        else if (sameId (id, "data"))
        {
            uint32_t size = 0;
            if (! sawFormat || ! readSize (in, size) || ! fitsIn (in, size))
                return false;

            if (! writeHeader (out, id, size) || ! copySampleData (in, out, size))
                return false;

            // The copy drops chunks the source counted in its RIFF size.
            const auto end = out.getPosition();
            if (! out.setPosition (start + 4) || ! out.writeInt ((int) (end - start - 8)) || ! out.setPosition (end))
                return false;

            // One flush, when the file is whole: on the volume a flush is a
            // sync to the device, which is what the pedal reads.
            out.flush();
            return true;
        }
        else
        {
            // Chunks are padded to an even length.
            uint32_t size = 0;
            if (! readSize (in, size) || ! fitsIn (in, (uint64_t) size + (size & 1)))
                return false;
            in.skipNextBytes ((int64_t) size + (size & 1));
        }
    }
}

bool convertToVolume (const juce::File& source, const juce::String& volumeRoot)
{
    if (! juce::File::isAbsolutePath (volumeRoot))
        return false;

    int inputLength = 0;
    const auto reader = openSource (source, inputLength);
    if (reader == nullptr)
        return false;

    const auto sourceRate = reader->sampleRate;
    const bool as48k = sourceRate == (double) targetSampleRate;
    const auto length = as48k ? inputLength : std::max (0, outputLength (inputLength, sourceRate));

    // The converted file stays in memory (about half the size of the
    // samples it holds): no folder of the user's, and no temporary folder
    // that may be full, is written to on the way to the volume.
    juce::MemoryBlock converted;
    {
        ConvertedFile out (converted, length);
        FirstChannel input (*reader, inputLength);
        if (! out.isOpen()
            || ! (as48k ? copyInto (input, out) : resampleInto (input, sourceRate, (size_t) length, out)))
            return false;
        out.close();
    }

    juce::MemoryInputStream in (converted, false);
    return copyToVolume (in, juce::File (volumeRoot + source.getFileName()));
}
} // namespace IrConversion
