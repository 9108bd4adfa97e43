#include "support/SimulatedCabVolume.h"

#include <cmath>

#include <juce_audio_formats/juce_audio_formats.h>

#include "cab/FileList.h"

namespace tessel::sim
{
bool writeIrWav (const juce::File& file)
{
    constexpr double sampleRate = 48000.0;
    constexpr int samples = 480;

    juce::AudioBuffer<float> click (1, samples);
    for (int i = 0; i < samples; ++i)
        click.setSample (0, i, (float) std::exp (-i / 40.0) * (i % 2 == 0 ? 0.8f : -0.8f));

    file.deleteFile();
    std::unique_ptr<juce::OutputStream> out (file.createOutputStream());
    if (out == nullptr)
        return false;

    std::unique_ptr<juce::AudioFormatWriter> writer (
        juce::WavAudioFormat().createWriterFor (out.get(), sampleRate, 1, 16, {}, 0));
    if (writer == nullptr)
        return false;

    out.release();  // the writer owns the stream now
    return writer->writeFromAudioSampleBuffer (click, 0, samples);
}

int addCabVolume (SimulatedDisks& disks, const juce::StringArray& irFiles, bool mountNow)
{
    const int disk = disks.addPedalVolume ("TESSEL", false);
    const auto root = disks.volumeRoot (disk);

    ListInfor index;
    for (const auto& name : irFiles)
    {
        writeIrWav (root.getChildFile (name));
        appendEntry (index, name);
    }

    writeFileListTo (root, index);

    if (mountNow)
        disks.mount (disk);

    return disk;
}
} // namespace tessel::sim
