#pragma once

#include <juce_audio_formats/juce_audio_formats.h>

// The CAB pedal plays IR files of one form only: 48000 Hz, 16-bit PCM, one
// channel, and nothing in the file but the "RIFF", "WAVE", "fmt " and "data"
// chunks. Any WAV file JUCE can read is turned into that form here and written
// to the root of the pedal's volume under its own name.
//
// A conversion runs on the IR library job's worker thread and touches nothing
// but its source (read only) and its destination.

namespace IrConversion
{
constexpr int targetSampleRate = 48000;
constexpr int targetBitsPerSample = 16;

/** The sample data goes to the volume in blocks of this size. */
constexpr int copyBlockBytes = 15000;

constexpr int destinationBufferBytes = 16384;

/** Converts `source` and writes the result to `volumeRoot` (the volume's
    mount path, ending in "/") + the source's file name, replacing any file of
    that name there. The converted file is made in memory; the source is
    only ever read.

    Returns true when the converted file is complete on the volume; on false
    nothing of it is left there. */
bool convertToVolume (const juce::File& source, const juce::String& volumeRoot);

/** The size of the file convertToVolume would write for `source`, or 0
    when it is not a WAV file that can be converted. Reads the header only. */
juce::int64 convertedSize (const juce::File& source);

/** The number of 48 kHz samples a source of `inputLength` samples at
    `sourceRate` gives. Computed in single precision and truncated, which is
    how the pedal's IR files have always been sized: 44100 samples at
    44.1 kHz give 48000, 1000 samples at 96 kHz give 500. */
int outputLength (int inputLength, double sourceRate);

/** Copies a WAV file from `converted` to `destination`, keeping only its
    "RIFF", "WAVE", "fmt " and "data" chunks and nothing after "data". The
    RIFF size written is the copy's own. Sample data goes in copyBlockBytes
    blocks; the destination is flushed once, when the copy is whole. False on
    a failed write, or when the file ends (or is malformed) before its "data"
    chunk is whole. */
bool copyChunks (juce::InputStream& converted, juce::OutputStream& destination);

/** Copies a converted WAV file to `destination` on the volume with
    copyChunks, replacing any file there. True only when every byte meant is
    on the volume; otherwise the destination is removed. */
bool copyToVolume (juce::InputStream& converted, const juce::File& destination);
} // namespace IrConversion
