#pragma once

#include <vector>

#include <juce_core/juce_core.h>

/** One IR of the CAB pedal's index, as the IR list shows it. */
struct IrTableEntry
{
    /** The name the index stores: "/" followed by the WAV file's name. */
    juce::String name;

    /** Whether the WAV file the name points at is on the volume. */
    bool filePresent = false;
};

/** The pedal's IRs in index order; the row of the IR list is the position here. */
using IrTable = std::vector<IrTableEntry>;

/** The index holds at most this many IRs. */
constexpr int maxIrCount = 300;
