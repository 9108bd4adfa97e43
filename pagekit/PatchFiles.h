#pragma once

#include <algorithm>

#include <juce_core/juce_core.h>

#include "device/PatchRecord.h"

// Patch files (".tessel"): nothing but raw patch records of one pedal kind,
// one record or all of a page's records in patch order. The file's size
// alone tells which, so an import accepts a file only when its size is
// exactly what the chosen menu item needs.

namespace PatchFiles
{
enum MenuItem
{
    onePatch = 1,
    allPatches = 2
};

// The Linux choosers (zenity, kdialog) match patterns case-sensitively; the
// bracket form lets them show the suffix in any letter case, the plain ones
// serve JUCE's own chooser, which knows no brackets.
const juce::String filePattern { "*.tessel;*.Tessel;*.TESSEL;*.[tT][eE][sS][sS][eE][lL]" };

const juce::String exportPrompt {
    "All exported patches will be stored as a \".tessel\" file. Click \"OK\" to enter a file name and select an "
    "export directory."
};
const juce::String wrongFileMessage {
    "Wrong patch file. Please check the patch file type (single/all) or make sure this file is compatible with your "
    "device."
};
const juce::String ampImportPrompt { "Please select a patch file (must have a \".tessel\" extension)." };
const juce::String effectImportPrompt { "Please select a patch file (with a \".tessel\" suffix)." };
const juce::String noPatchSelectedMessage { "Please select a patch in the patch list first." };
const juce::String selectionChangedMessage {
    "The selected patch changed while you were choosing the file, so nothing was done. Please check the patch list "
    "and try again."
};
const juce::String patchesChangedMessage {
    "The pedal's patches changed while you were choosing the file, so nothing was written. Please check the patch "
    "list and try again."
};
const juce::String importIncompleteMessage {
    "The import did not complete. Please reconnect the pedal and import the patches again."
};
const juce::String partialSetMessage {
    "Not every patch could be read from the pedal, so all patches cannot be imported or exported. Please disconnect "
    "the pedal, connect it again and wait until all its patches are read, then try again."
};
const juce::String exportFailedMessage {
    "The patch file could not be written. Please check that the folder can be written to and has free space, then "
    "try again."
};

/** How long an all-patches import lets the pedal settle before it selects
    patches again; tests shorten it. */
inline int settleAfterImportMs = 1000;

/** Whether a page's records are every patch the pedal has: a dump that
    stopped half-way leaves fewer than the patch count the pedal gave. */
template <typename Shape>
bool holdsEveryPatch (const juce::OwnedArray<Shape>& records)
{
    const auto* first = records.getFirst();
    return first == nullptr || records.size() >= first->bytes[PatchRecord::countByte];
}

/** A record written into the pedal's patch `patch`: the page's record of
    that patch takes its values (bytes 3 on), so that what the page shows and
    exports is what the pedal now holds. The dump's count and current patch
    stay. False when the page holds no record of that patch. */
template <typename Shape>
bool keepWrittenRecord (juce::OwnedArray<Shape>& records, int patch, const uint8_t* written)
{
    auto* record = juce::isPositiveAndBelow (patch, records.size()) ? records[patch] : nullptr;
    if (record == nullptr)
        return false;

    std::copy (written + PatchRecord::firstKnobByte, written + Shape::size,
               record->bytes.begin() + PatchRecord::firstKnobByte);
    return true;
}

/** Checked after each modal wait of an export or import (the prompt, the
    chooser), which runs the message loop: the pedal still linked, the
    records the operation needs still there and, for one patch, the row
    selected before the wait still the selected one. When not, tells the
    user why and answers false: nothing may be sent or written then. */
bool stillAsChosen (int menuItem, int selectedBefore, int selectedNow, bool pedalLinked, bool recordsThere);

/** Checked before an import or export asks anything: all patches need every
    patch the pedal has. A dump that stopped half-way left fewer, which an
    export would pass off as all of them, and against which a whole file of
    the pedal's patches would be refused as the wrong size. When so, tells
    the user and answers false. */
bool wholeSetOrTold (int menuItem, bool holdsEveryPatch);

/** Writes `data` to `target` through a temporary file beside it, which
    replaces the target only once it is complete: a failed write leaves any
    old file as it was. A symbolic link is followed as the system follows it
    on open (a relative one from the real folder it lies in) and the file it
    points to written; a file replaced keeps its permissions. Where no file can be made
    beside an existing one, that file is overwritten where it stands. */
bool writeFileSafely (const juce::File& target, const juce::MemoryBlock& data);
} // namespace PatchFiles
