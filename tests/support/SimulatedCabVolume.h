#pragma once

#include "support/SimulatedDisks.h"

namespace tessel::sim
{
/** A silent IR as the pedal plays it (48 kHz, 16-bit, one channel), of
    exactly `bytes` bytes, header included. Returns whether it was written. */
bool writeIrWav (const juce::File& file, int bytes = 2000);

/** The CAB pedal's USB volume on these disks: FileList indexing `irFiles` in
    order, each a WAV of its own at the volume's root. Filled before it is
    mounted, so the editor never sees it half made; `mountNow` false leaves
    the mounting to the test (the volume can come after the patch dump).
    `usbDevice` is its pedal's USB device (empty: not known). Returns the
    disk's number. */
int addCabVolume (SimulatedDisks& disks, const juce::StringArray& irFiles, bool mountNow = true,
                  const juce::String& usbDevice = {});
} // namespace tessel::sim
