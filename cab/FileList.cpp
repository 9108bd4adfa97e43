#include "cab/FileList.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include <juce_events/juce_events.h>

namespace
{
// Held while an index is written through its temporary file and renamed, so
// that a temporary file is only ever taken for a leftover when no write of
// this program is under way.
std::mutex indexWrites;

juce::File temporaryFileListAt (const juce::File& volumeRoot)
{
    return volumeRoot.getChildFile (juce::String (IrIndex::fileName) + ".new");
}

uint32_t readU32 (const uint8_t* bytes, size_t size, size_t offset)
{
    // A field that isn't wholly inside the data counts as 0.
    if (offset > size || size - offset < 4)
        return 0;

    return (uint32_t) bytes[offset] | ((uint32_t) bytes[offset + 1] << 8) | ((uint32_t) bytes[offset + 2] << 16)
        | ((uint32_t) bytes[offset + 3] << 24);
}

void writeU32 (juce::MemoryOutputStream& out, uint32_t value)
{
    out.writeInt ((int) value); // JUCE writes little-endian
}

juce::String nameAt (const uint8_t* bytes, size_t size, uint32_t offset, uint32_t length)
{
    if (length < 1 || length > (uint32_t) IrIndex::maxNameLength || offset > size || size - offset < length)
        return {};

    const auto* start = reinterpret_cast<const char*> (bytes + offset);
    size_t textLength = 0;

    while (textLength < length && start[textLength] != 0)
        ++textLength;

    if (! juce::CharPointer_UTF8::isValidString (start, (int) textLength))
        return {};

    return juce::String::fromUTF8 (start, (int) textLength);
}

uint32_t storedLengthOf (const juce::String& fileName)
{
    // The bytes the writer puts in the file: a file name that isn't quite
    // UTF-8 (Linux allows any bytes) can count differently character by character.
    return (uint32_t) std::strlen (("/" + fileName).toRawUTF8()) + 1;
}
} // namespace

bool IrIndex::isIndexFileName (const juce::String& name)
{
    const auto fileName = name.startsWithChar ('/') ? name.substring (1) : name;

    for (auto* own : { IrIndex::fileName, "FileList.new", "Para.bin" })
        if (fileName.equalsIgnoreCase (own))
            return true;

    return false;
}

ListInfor asWritten (const ListInfor& info)
{
    auto written = info;
    const auto count = std::min (info.irCount, (uint32_t) IrIndex::maxEntries);
    uint32_t kept = 0;
    auto offset = (uint32_t) IrIndex::headerSize;

    // A slot of a damaged FileList that names no file (the page shows it
    // empty) must not keep every later edit from being written.
    for (uint32_t i = 0; i < count; ++i)
    {
        const auto& entry = info.entries[i];
        if (entry.nameLength < 1 || entry.nameLength > (uint32_t) IrIndex::maxNameLength)
            continue;

        auto& slot = written.entries[kept++];
        slot = entry;
        slot.nameOffset = offset;
        offset += entry.nameLength;
    }

    for (auto i = kept; i < count; ++i)
        written.entries[i] = {};

    written.irCount = kept;
    return written;
}

std::optional<juce::MemoryBlock> fileListBytes (const ListInfor& table)
{
    if (table.irCount > (uint32_t) IrIndex::maxEntries)
        return std::nullopt;

    const auto info = asWritten (table);
    juce::MemoryOutputStream out;
    writeU32 (out, info.irCount);

    for (const auto& entry : info.entries)
    {
        writeU32 (out, entry.nameOffset);
        writeU32 (out, entry.nameLength);
    }

    for (uint32_t i = 0; i < info.irCount; ++i)
    {
        const auto& entry = info.entries[i];
        const auto text = entry.name.toRawUTF8();
        const auto textLength = std::min<size_t> (std::strlen (text), entry.nameLength);
        out.write (text, textLength);
        out.writeRepeatedByte (0, entry.nameLength - textLength);
    }

    return out.getMemoryBlock();
}

ListInfor readFileList (const void* data, size_t size)
{
    const auto* bytes = static_cast<const uint8_t*> (data);
    ListInfor info;

    auto count = readU32 (bytes, size, 0);

    if (size < 4 || count > (uint32_t) IrIndex::maxEntries)
        count = 0;

    // Slots the file is too short to hold are not entries.
    const auto slotsPresent = size < 4 ? 0 : (uint32_t) ((size - 4) / IrIndex::slotSize);
    count = std::min (count, slotsPresent);

    for (uint32_t i = 0; i < count; ++i)
    {
        auto& entry = info.entries[i];
        entry.nameOffset = readU32 (bytes, size, 4 + (size_t) i * IrIndex::slotSize);
        entry.nameLength = readU32 (bytes, size, 8 + (size_t) i * IrIndex::slotSize);
        entry.name = nameAt (bytes, size, entry.nameOffset, entry.nameLength);
    }

    info.irCount = count;
    return info;
}

std::optional<ListInfor> readFileListFrom (const juce::File& volumeRoot)
{
    if (! volumeRoot.isDirectory())
        return std::nullopt;

    const auto file = volumeRoot.getChildFile (IrIndex::fileName);

    if (! file.existsAsFile())
        return std::nullopt;

    juce::FileInputStream in (file);

    if (! in.openedOk())
        return std::nullopt;

    juce::MemoryBlock data;
    in.readIntoMemoryBlock (data, IrIndex::largestFileSize);

    return readFileList (data.getData(), data.getSize());
}

bool writeFileListTo (const juce::File& volumeRoot, const ListInfor& info)
{
    const auto bytes = fileListBytes (info);

    if (! bytes.has_value() || ! volumeRoot.isDirectory())
        return false;

    const auto target = volumeRoot.getChildFile (IrIndex::fileName);
    const auto temporary = temporaryFileListAt (volumeRoot);

    // A directory named FileList is not ours to replace.
    if (target.isDirectory() || temporary.isDirectory())
        return false;

    const std::lock_guard<std::mutex> writing (indexWrites);

    temporary.deleteFile();
    bool written = false;

    {
        juce::FileOutputStream out (temporary, 16384);

        if (out.openedOk())
        {
            out.write (bytes->getData(), bytes->getSize());
            out.flush();
            written = out.getStatus().wasOk();
        }
    }

    // Checked again from outside: the size on the volume is what counts.
    written = written && temporary.getSize() == (juce::int64) bytes->getSize();

    // rename() replaces FileList in one step; until then the old index stands.
    if (! written || std::rename (temporary.getFullPathName().toRawUTF8(), target.getFullPathName().toRawUTF8()) != 0)
    {
        temporary.deleteFile();
        return false;
    }

    return true;
}

bool sameEntries (const ListInfor& a, const ListInfor& b)
{
    if (a.irCount != b.irCount || a.irCount > (uint32_t) IrIndex::maxEntries)
        return false;

    for (uint32_t i = 0; i < a.irCount; ++i)
        if (a.entries[i].nameLength != b.entries[i].nameLength || a.entries[i].name != b.entries[i].name)
            return false;

    return true;
}

IndexWrite writeFileListOver (const juce::File& volumeRoot, const ListInfor& readFrom, const ListInfor& info)
{
    const auto target = volumeRoot.getChildFile (IrIndex::fileName);

    if (target.existsAsFile())
    {
        const auto standing = readFileListFrom (volumeRoot);
        if (! standing.has_value() || ! sameEntries (*standing, readFrom))
            return IndexWrite::notTheIndexRead;
    }
    else if (volumeRoot.isDirectory() && ! target.exists() && readFrom.irCount != 0)
    {
        return IndexWrite::notTheIndexRead;
    }

    return writeFileListTo (volumeRoot, info) ? IndexWrite::written : IndexWrite::failed;
}

bool removeUnfinishedFileList (const juce::File& volumeRoot)
{
    const std::unique_lock<std::mutex> noWrite (indexWrites, std::try_to_lock);
    const auto leftover = temporaryFileListAt (volumeRoot);

    // A write under way has its own file there: the next read will see.
    if (! noWrite.owns_lock() || ! volumeRoot.isDirectory() || ! leftover.existsAsFile())
        return false;

    return leftover.deleteFile();
}

std::optional<juce::File> irFileFor (const juce::File& root, const IrListEntry& entry)
{
    const auto& name = entry.name;

    // The length is checked too: a name cut short by a NUL is not the file
    // the index meant.
    if (! name.startsWithChar ('/') || storedLengthOf (name.substring (1)) != entry.nameLength)
        return std::nullopt;

    const auto fileName = name.substring (1);

    if (fileName.isEmpty() || IrIndex::isIndexFileName (fileName) || fileName == "." || fileName == ".."
        || fileName.containsAnyOf ("/\\") || fileName.containsChar (0))
        return std::nullopt;

    // "./" first: JUCE reads a name that starts with '~' as a home folder.
    return root.getChildFile ("./" + fileName);
}

bool appendEntry (ListInfor& info, const juce::String& fileName)
{
    if (info.irCount >= (uint32_t) IrIndex::maxEntries)
        return false;

    auto& entry = info.entries[info.irCount];

    if (info.irCount == 0)
    {
        entry.nameOffset = (uint32_t) IrIndex::headerSize;
    }
    else
    {
        const auto& last = info.entries[info.irCount - 1];
        entry.nameOffset = last.nameOffset + last.nameLength;
    }

    entry.name = "/" + fileName;
    entry.nameLength = storedLengthOf (fileName);
    ++info.irCount;
    return true;
}

void removeEntry (ListInfor& info, int index)
{
    if (index < 0 || (uint32_t) index >= info.irCount)
        return;

    const auto removedLength = info.entries[(size_t) index].nameLength;

    for (auto i = (uint32_t) index + 1; i < info.irCount; ++i)
    {
        info.entries[i - 1] = info.entries[i];
        info.entries[i - 1].nameOffset -= removedLength;
    }

    --info.irCount;
    info.entries[info.irCount] = {};
}

void renameEntry (ListInfor& info, int index, const juce::String& fileName)
{
    if (index < 0 || (uint32_t) index >= info.irCount)
        return;

    auto& entry = info.entries[(size_t) index];
    const auto newLength = storedLengthOf (fileName);
    const auto change = newLength - entry.nameLength; // wraps as the offsets do

    entry.name = "/" + fileName;
    entry.nameLength = newLength;

    for (auto i = (uint32_t) index + 1; i < info.irCount; ++i)
        info.entries[i].nameOffset += change;
}

SharedIrTable::SharedIrTable()
    : table (std::make_shared<const IrTable>()),
      lifetime (std::make_shared<SharedIrTable*> (this))
{
}

SharedIrTable::~SharedIrTable()
{
    *lifetime = nullptr;
}

SharedIrTable::Pointer SharedIrTable::current() const
{
    const std::lock_guard<std::mutex> hold (lock);
    return table;
}

void SharedIrTable::handOver (IrTable finished)
{
    auto pointer = std::make_shared<const IrTable> (std::move (finished));

    if (juce::MessageManager::existsAndIsCurrentThread())
    {
        swapIn (std::move (pointer));
        return;
    }

    std::weak_ptr<SharedIrTable*> cell = lifetime;

    juce::MessageManager::callAsync (
        [cell, pointer]
        {
        if (auto owner = cell.lock())
            if (auto* shared = *owner)
                shared->swapIn (pointer);
    });
}

void SharedIrTable::swapIn (Pointer newTable)
{
    {
        const std::lock_guard<std::mutex> hold (lock);
        table = std::move (newTable);
    }

    if (onChange != nullptr)
        onChange();
}
