#include "FuzzSupport.h"

#include "cab/FileList.h"

// FileList as the pedal's volume holds it: written by the pedal, by this
// editor, or by anything else that had the volume mounted. Reading it must
// stay inside the file; an index read soundly and then edited must be
// written back so that it reads the same.

namespace
{
using tessel::fuzz::require;

juce::File volume()
{
    static const auto folder = []
    {
        auto f = tessel::fuzz::scratchFolder().getChildFile ("volume");
        f.createDirectory();
        return f;
    }();
    return folder;
}

void seeds (tessel::fuzz::SeedWriter& out)
{
    for (int count : { 0, 1, 3, 300 })
    {
        ListInfor info;
        for (int i = 0; i < count; ++i)
            appendEntry (info, "IR " + juce::String (i) + (i % 2 == 0 ? ".wav" : " \xc3\xa9t\xc3\xa9.WAV"));
        out.add (*fileListBytes (info));
    }

    // An index whose names are padded with NULs past their text, and one cut short.
    ListInfor padded;
    appendEntry (padded, "A.wav");
    padded.entries[0].nameLength += 4;
    auto bytes = *fileListBytes (padded);
    out.add (bytes);
    out.add (bytes.getData(), bytes.getSize() - 3);
}

bool sameEntry (const IrListEntry& a, const IrListEntry& b)
{
    return a.nameOffset == b.nameOffset && a.nameLength == b.nameLength && a.name == b.name;
}

/** Laid out as the editor lays an index out itself: the names back to back
    after the header, each readable. */
bool isCanonical (const ListInfor& info)
{
    uint32_t offset = IrIndex::headerSize;
    for (uint32_t i = 0; i < info.irCount; ++i)
    {
        const auto& entry = info.entries[i];
        if (entry.nameOffset != offset || entry.name.isEmpty() || entry.nameLength < 1
            || entry.nameLength > (uint32_t) IrIndex::maxNameLength
            || (uint32_t) entry.name.getNumBytesAsUTF8() >= entry.nameLength)
            return false;
        offset += entry.nameLength;
    }
    return true;
}

void checkRead (const ListInfor& info, size_t size)
{
    require (info.irCount <= (uint32_t) IrIndex::maxEntries, "more entries than slots");
    for (uint32_t i = 0; i < info.irCount; ++i)
    {
        const auto& entry = info.entries[i];
        if (entry.name.isEmpty())
            continue;

        require ((uint64_t) entry.nameOffset + entry.nameLength <= size, "a name read from outside the file");
        // A name that fills its slot with no NUL is read whole (it names no file, see irFileFor).
        require ((size_t) entry.name.getNumBytesAsUTF8() <= entry.nameLength, "a name longer than its slot says");

        if (auto file = irFileFor (volume(), entry))
            require (file->getParentDirectory() == volume(), "an entry names a file outside the volume's root");
    }
}

juce::String nameFrom (tessel::fuzz::Input& input)
{
    // Names come from the file system, as valid UTF-8.
    const auto text = input.text (80);
    if (! juce::CharPointer_UTF8::isValidString (text.data(), (int) text.size()))
        return "x.wav";
    return juce::String::fromUTF8 (text.data(), (int) text.size());
}

void run (tessel::fuzz::Input& input)
{
    // Layout: edits to make (count, then each: kind, entry, name), then the file.
    struct Edit
    {
        int kind, index;
        juce::String name;
    };

    std::vector<Edit> edits ((size_t) input.inRange (0, 4));
    for (auto& edit : edits)
    {
        edit.kind = input.inRange (0, 2);
        edit.index = input.inRange (0, 300);
        edit.name = nameFrom (input);
    }

    const auto file = input.rest();
    auto info = readFileList (file.data(), file.size());
    checkRead (info, file.size());

    // The same bytes read from a volume give the same index.
    tessel::fuzz::writeWholeFile (volume().getChildFile (IrIndex::fileName), file.data(), file.size());
    const auto fromVolume = readFileListFrom (volume());
    require (fromVolume.has_value() && fromVolume->irCount == info.irCount, "FileList read differently from the volume");
    for (uint32_t i = 0; i < info.irCount; ++i)
        require (sameEntry (fromVolume->entries[i], info.entries[i]), "an entry read differently from the volume");

    if (! isCanonical (info))
        return;

    for (const auto& edit : edits)
    {
        switch (edit.kind)
        {
            case 0: appendEntry (info, edit.name); break;
            case 1: removeEntry (info, edit.index); break;
            default: renameEntry (info, edit.index, edit.name); break;
        }
    }

    if (! isCanonical (info))
        return;

    // What the editor writes is what it reads back.
    if (! writeFileListTo (volume(), info))
    {
        require (! fileListBytes (info).has_value(), "a sound index was not written");
        return;
    }

    const auto reread = readFileListFrom (volume());
    require (reread.has_value() && reread->irCount == info.irCount, "the written index has another count");
    for (uint32_t i = 0; i < info.irCount; ++i)
        require (sameEntry (reread->entries[i], info.entries[i]), "an entry changed on its way through the file");
}
} // namespace

const tessel::fuzz::Target tessel::fuzz::target { false, seeds, run };
