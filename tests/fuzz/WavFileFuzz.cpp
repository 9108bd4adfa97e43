#include "FuzzSupport.h"

#include "cab/IrConversion.h"

// A WAV file the user picks for the CAB pedal's IR library: whatever it
// holds, the conversion either writes a whole IR of the pedal's one form
// onto the volume or leaves nothing there, and it says beforehand how large
// that IR will be.

namespace
{
using namespace tessel::fuzz;

juce::File folder (const char* name)
{
    const auto f = scratchFile (name);
    f.createDirectory();
    return f;
}

std::string le (uint32_t value, int bytes)
{
    std::string out;
    for (int i = 0; i < bytes; ++i)
        out += (char) (value >> (8 * i));
    return out;
}

std::string wavFile (uint32_t rate, int channels, int bits, int frames, const std::string& extraChunk = {})
{
    const auto align = (uint32_t) (channels * bits / 8);
    std::string samples (frames * align, '\0');
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = (char) (i * 37);
    const auto body = "WAVEfmt " + le (16, 4) + le (1, 2) + le ((uint32_t) channels, 2) + le (rate, 4)
        + le (rate * align, 4) + le (align, 2) + le ((uint32_t) bits, 2) + extraChunk + "data"
        + le ((uint32_t) samples.size(), 4) + samples;
    return "RIFF" + le ((uint32_t) body.size(), 4) + body;
}

void seeds (SeedWriter& out)
{
    // The last: a chunk after the samples claiming some 4 GB, which JUCE's reader would set aside.
    for (const auto& file : { wavFile (48000, 1, 16, 64), wavFile (44100, 2, 24, 50, "LIST" + le (4, 4) + "INFO"),
                              wavFile (96000, 1, 32, 40), wavFile (8000, 1, 8, 16),
                              wavFile (44100, 1, 16, 2).replace (4, 4, le (0xfffffff0u, 4)) + "bext"
                                  + le (0xffffff00u, 4) + std::string (32, '\0') })
        out.add (file.data(), file.size());
}

void run (Input& input)
{
    const auto contents = input.rest();
    const auto source = writeWholeFile (scratchFile ("chosen/impulse.wav"), contents.data(), contents.size());

    const auto volumeRoot = folder ("volume").getFullPathName() + "/";
    const auto destination = juce::File (volumeRoot + source.getFileName());
    destination.deleteFile();

    const auto expectedSize = IrConversion::convertedSize (source);
    const auto converted = IrConversion::convertToVolume (source, volumeRoot);

    juce::MemoryBlock after;
    source.loadFileAsData (after);
    require (after == juce::MemoryBlock (contents.data(), contents.size()), "the chosen file was changed");

    // The chunk copy on its own, over the source as it stands.
    juce::MemoryInputStream in (contents.data(), contents.size(), false);
    juce::MemoryOutputStream copy;
    if (IrConversion::copyChunks (in, copy))
        require (copy.getDataSize() <= contents.size(), "the chunk copy is larger than its source");

    require (converted || ! destination.exists(), "a failed conversion left a file on the volume");
    if (! converted)
        return;

    require (expectedSize > 0 && destination.getSize() == expectedSize, "the IR's size is not the one announced");

    std::unique_ptr<juce::AudioFormatReader> reader (
        juce::WavAudioFormat().createReaderFor (new juce::FileInputStream (destination), true));
    require (reader != nullptr && reader->sampleRate == IrConversion::targetSampleRate && reader->numChannels == 1
                 && reader->bitsPerSample == IrConversion::targetBitsPerSample,
             "the IR on the volume is not of the pedal's form");
}
} // namespace

const tessel::fuzz::Target tessel::fuzz::target { false, seeds, run };
