#include "FuzzSupport.h"

#include "cab/IrConversion.h"

// A WAV file the user picks for the CAB pedal's IR library: whatever it
// holds, the conversion either writes a whole IR of the pedal's one form
// onto the volume or leaves nothing there, and it says beforehand how large
// that IR will be.

namespace
{
using namespace tessel::fuzz;

juce::File folder (const char* name) { const auto f = scratchFile (name); f.createDirectory(); return f; }

juce::MemoryBlock wavFile (double rate, int channels, int bits, int samples, bool withExtraChunk)
{
    juce::MemoryBlock data;
    {
        auto* stream = new juce::MemoryOutputStream (data, false);
        juce::StringPairArray metadata;
        if (withExtraChunk)
            metadata.set (juce::WavAudioFormat::bwavDescription, "an impulse");

        std::unique_ptr<juce::AudioFormatWriter> writer (juce::WavAudioFormat().createWriterFor (
            stream, rate, (unsigned) channels, bits, metadata, 0));
        juce::AudioBuffer<float> buffer (channels, samples);
        for (int c = 0; c < channels; ++c)
            for (int i = 0; i < samples; ++i)
                buffer.setSample (c, i, (float) std::exp (-i / 8.0) * (i % 2 == 0 ? 0.9f : -0.7f));
        writer->writeFromAudioSampleBuffer (buffer, 0, samples);
    }
    return data;
}

void seeds (SeedWriter& out)
{
    out.add (wavFile (48000, 1, 16, 64, false));
    out.add (wavFile (44100, 2, 24, 50, true));
    out.add (wavFile (96000, 1, 32, 40, false));
    out.add (wavFile (8000, 1, 8, 16, false));

    // A chunk after the samples claiming some 4 GB, which JUCE's reader would set aside.
    const auto le32 = [] (uint32_t v) { return std::string { (char) v, (char) (v >> 8), (char) (v >> 16), (char) (v >> 24) }; };
    const auto hostile = "RIFF" + le32 (0xfffffff0u) + "WAVEfmt " + le32 (16) + le32 (0x10001) + le32 (44100) + le32 (88200)
                         + le32 (0x100002) + "data" + le32 (4) + std::string (4, '\1') + "bext" + le32 (0xffffff00u) + std::string (32, '\0');
    out.add (hostile.data(), hostile.size());
}

void run (Input& input)
{
    const auto contents = input.rest();
    const auto source = writeWholeFile (scratchFile ("chosen/impulse.wav"), contents.data(), contents.size());

    const auto volumeRoot = folder ("volume").getFullPathName() + "/";
    const auto destination = juce::File (volumeRoot + source.getFileName());
    destination.deleteFile();

    const auto expectedSize = IrConversion::convertedSize (source);
    const auto converted = IrConversion::convertToVolume (source, volumeRoot, folder ("work"));

    require (folder ("work").getNumberOfChildFiles (juce::File::findFilesAndDirectories) == 0,
             "the conversion left its temporary file");

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
