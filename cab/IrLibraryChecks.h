#pragma once

#include <juce_core/juce_core.h>

// What the IR library job decides without touching the page or the window:
// its result codes and their messages, and the checks each chosen WAV file
// must pass before it is converted onto the pedal's volume.

namespace IrLibrary
{
/** The job's outcome; 0 shows nothing. */
enum ResultCode : uint32_t
{
    success = 0,
    fileTooLarge = 10001,
    storageFull = 10002,
    alreadyLoaded = 10003,
    filesMissing = 10004,
    conversionFailed = 10005,
    listFull = 10006,        // the chosen files would take the list past its 300 IRs
    deleteFailed = 10007,    // FileList could not be written: nothing was deleted
    exportFailed = 10008,    // an IR file could not be written into the chosen folder
    notTheIndexShown = 10009 // FileList is not the index the list was read from: nothing was written
};

/** The largest WAV file the user may add (exactly this size passes). */
constexpr juce::int64 largestChosenFile = 1048576;

/** The text of the message box for `resultCode`, with `failedNames` after
    the texts that list names; empty for codes that show nothing. */
juce::String messageFor (uint32_t resultCode, const juce::String& failedNames);

/** Names as the messages list them: each followed by ", ". */
juce::String listOfNames (const juce::StringArray& names);

/** Whether `path` names an existing file (not a folder). */
bool fileExists (const juce::String& path);

/** The size and space checks, in that order: fileTooLarge when the chosen
    file is over largestChosenFile, storageFull when the volume's free bytes
    are fewer than the file needs there (the larger of the chosen file and
    its converted copy), otherwise success. */
ResultCode checkSizeAndSpace (juce::int64 chosenSize, juce::int64 convertedSize, juce::int64 freeBytes);

/** The same checks for `chosen` on the volume at `volumeRoot` (its mount
    path ending in "/"), whose free space is that of its "FileList". A size
    that cannot be read counts as 0 bytes. */
ResultCode checkSizeAndSpace (const juce::File& chosen, const juce::String& volumeRoot);
} // namespace IrLibrary
