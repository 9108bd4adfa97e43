#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include <juce_core/juce_core.h>

// FileList, the pedal's index of its impulse responses: one file at the root
// of the pedal's volume that fixes the order and names of the IRs. Little-
// endian throughout: a 32-bit count, always 300 slots of 32-bit name offset
// and 32-bit name length, then the names of the valid entries back to back,
// each "/" plus the WAV file's name and a NUL.

namespace IrIndex
{
constexpr const char* fileName = "FileList";
constexpr int maxEntries = 300;
constexpr int slotSize = 8;
constexpr int headerSize = 4 + maxEntries * slotSize; // 2404
constexpr int maxNameLength = 300;                    // with the NUL
constexpr int largestFileSize = headerSize + maxEntries * maxNameLength;

/** Whether a name (a stored name with its "/", or a file name) is one of the
    volume's own files: FileList, the FileList.new it is written through, and
    the pedal's Para.bin. The volume is FAT, so letter case doesn't count.
    Such a file is never an IR: never deleted, replaced or written as one. */
bool isIndexFileName (const juce::String& name);
} // namespace IrIndex

/** One IR of the index. */
struct IrListEntry
{
    uint32_t nameOffset = 0; // where the name starts in FileList
    uint32_t nameLength = 0; // its UTF-8 bytes plus the NUL
    juce::String name;       // "/" followed by the WAV file's name
};

/** The whole index: the valid entries first, the rest carrying no meaning. */
struct ListInfor
{
    uint32_t irCount = 0;
    std::array<IrListEntry, IrIndex::maxEntries> entries;
};

/** The CAB page's copy of the index has the same shape. */
using IrTable = ListInfor;

/** The index as FileList will hold it: an entry whose length no reader
    accepts (0, or over 300) names no file and is dropped, and the names are
    laid out back to back from the end of the header in entry order, with
    the offsets to match. A sound index comes back as it was. */
ListInfor asWritten (const ListInfor& info);

/** The bytes of FileList for asWritten (info). Slots past the count are
    written as they stand; each entry's name takes exactly nameLength bytes
    (its UTF-8 text, then NULs). Nothing when the count is over 300. */
std::optional<juce::MemoryBlock> fileListBytes (const ListInfor& info);

/** Reads an index from FileList's bytes. Nothing is read outside them: a
    count over 300, or a file too short for one, gives an empty index; a count
    larger than the slots the file holds is cut to those; a slot whose name
    doesn't lie wholly inside the data, has a length outside 1 to 300 or isn't
    valid UTF-8 is listed with an empty name, keeping its offset and length. */
ListInfor readFileList (const void* data, size_t size);

/** Reads FileList from a volume root; nothing when the file isn't there (or
    is a directory, or can't be read). Bytes past the largest sound index are
    not read: no name of a sound index lies there. */
std::optional<ListInfor> readFileListFrom (const juce::File& volumeRoot);

/** Writes FileList at a volume root. The bytes go to a temporary file beside
    it, which replaces FileList in one rename only once it is completely
    written and flushed: a failure part-way (volume full, pulled out) leaves
    the old index as it was. Returns whether the new index is in place. */
bool writeFileListTo (const juce::File& volumeRoot, const ListInfor& info);

/** How a write over the index a table was read from went. */
enum class IndexWrite
{
    written,
    notTheIndexRead, // FileList on the volume is not the one the table was read from: left as it is
    failed           // the old index stands
};

/** Writes FileList at a volume root, but only over the index that `readFrom`
    was read from: read again now, FileList must hold the same entries in
    the same order, or there must be no FileList at all and `readFrom` be
    empty. Any other index (another read's, one this program never read, one
    it cannot read) would lose the IRs it names if written over. */
IndexWrite writeFileListOver (const juce::File& volumeRoot, const ListInfor& readFrom, const ListInfor& info);

/** Whether two indexes hold the same entries (stored names and lengths) in
    the same order. */
bool sameEntries (const ListInfor& a, const ListInfor& b);

/** Removes the temporary file a write left at a volume root when it was cut
    off before its rename (the volume went between the two): FileList is then
    the old index, whole, and the temporary file nobody's. A write of this
    program under way keeps its file. Returns whether one was removed. */
bool removeUnfinishedFileList (const juce::File& volumeRoot);

/** The file an entry names under root (the pedal's volume, or a folder the
    user chose), or nothing when its stored name isn't "/" followed by a plain
    file name that matches its length, or names one of the volume's own files:
    such an entry is never used as a path, and its file counts as missing. */
std::optional<juce::File> irFileFor (const juce::File& root, const IrListEntry& entry);

// The offset rules that keep the names contiguous and in entry order.

/** Appends the WAV file named fileName after the last entry; false when the
    index is full. */
bool appendEntry (ListInfor& info, const juce::String& fileName);

/** Removes entry index; every later entry moves down one slot and its name
    offset drops by the removed entry's length. */
void removeEntry (ListInfor& info, int index);

/** Gives entry index a new file name; it keeps its offset, and every later
    entry's offset moves by the change in length. */
void renameEntry (ListInfor& info, int index, const juce::String& fileName);

/** Hands finished tables from the IR library's worker to the message thread.
    A table is never changed once handed over: the worker builds a new one and
    the message thread swaps it in whole, so the IR list never paints from a
    table half written. */
class SharedIrTable
{
public:
    using Pointer = std::shared_ptr<const IrTable>;

    /** Called on the message thread after each swap (to refresh the list). */
    std::function<void()> onChange;

    SharedIrTable();
    ~SharedIrTable();

    /** The table now in force; never null. Any thread. */
    Pointer current() const;

    /** Puts a finished table in force: at once on the message thread,
        otherwise through a message posted to it. Any thread. */
    void handOver (IrTable table);

private:
    void swapIn (Pointer table);

    mutable std::mutex lock;
    Pointer table;

    // Posted swaps hold this cell, which the destructor empties.
    std::shared_ptr<SharedIrTable*> lifetime;

    JUCE_DECLARE_NON_COPYABLE (SharedIrTable)
};
