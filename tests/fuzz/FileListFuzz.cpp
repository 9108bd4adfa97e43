#include "FuzzSupport.h"

#include "cab/FileList.h"

// FileList as the pedal's volume holds it: written by the pedal, by this
// editor, or by anything else that had the volume mounted. Reading it must
// stay inside the file; an index read soundly and then edited must be
// written back so that it reads the same.
//
// Input: edits to make (count, then each: kind, entry, name), then the file.

namespace
{
using namespace tessel::fuzz;

juce::File volume()
{
    static const auto folder = []
    {
        auto f = scratchFile ("volume");
        f.createDirectory();
        return f;
    }();
    return folder;
}

void seeds (SeedWriter& out)
{
    // No edits (the first byte) or the edits given, then the file; a name after '~' once named a home folder.
    const auto file = [&out] (const ListInfor& info, SeedBytes edits = SeedBytes().byte (0))
    {
        const auto bytes = *fileListBytes (info);
        out.add (edits.raw (bytes.getData(), bytes.getSize()));
    };

    for (int count : { 0, 1, 3, 300 })
    {
        ListInfor info;
        for (int i = 0; i < count; ++i)
            appendEntry (info,
                         (i % 2 == 0 ? "IR " : "~IR ") + juce::String (i)
                             + (i % 2 == 0 ? ".wav" : " \xc3\xa9t\xc3\xa9.WAV"));
        file (info);
    }

    // A name of over-long UTF-8, shorter in characters than in bytes, appended to a sound index.
    ListInfor one;
    appendEntry (one, "b.wav");
    file (one, SeedBytes().byte (1).byte (0).byte (0).byte (0).text ("\xc1\x8d\xe9\x8d\x8d\xc1\x8d"));
}

bool sameIndex (const std::optional<ListInfor>& a, const ListInfor& b)
{
    bool same = a.has_value() && a->irCount == b.irCount;
    for (uint32_t i = 0; same && i < b.irCount; ++i)
        same = a->entries[i].nameOffset == b.entries[i].nameOffset
            && a->entries[i].nameLength == b.entries[i].nameLength && a->entries[i].name == b.entries[i].name;
    return same;
}

/** Laid out as the editor lays an index out itself: the names back to back after the header, each readable. */
bool isCanonical (const ListInfor& info)
{
    uint32_t offset = IrIndex::headerSize;
    for (uint32_t i = 0; i < info.irCount; offset += info.entries[i++].nameLength)
    {
        const auto& entry = info.entries[i];
        if (entry.nameOffset != offset || entry.name.isEmpty() || entry.nameLength < 1
            || entry.nameLength > (uint32_t) IrIndex::maxNameLength
            || (uint32_t) entry.name.getNumBytesAsUTF8() >= entry.nameLength)
            return false;
    }
    return true;
}

void run (Input& input)
{
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
        // Names come from the file system, as valid UTF-8.
        const auto text = input.text (80);
        edit.name = juce::CharPointer_UTF8::isValidString (text.data(), (int) text.size())
            ? juce::String::fromUTF8 (text.data(), (int) text.size())
            : "x.wav";
    }

    const auto file = input.rest();
    auto info = readFileList (file.data(), file.size());
    require (info.irCount <= (uint32_t) IrIndex::maxEntries, "more entries than slots");
    for (uint32_t i = 0; i < info.irCount; ++i)
    {
        const auto& entry = info.entries[i];
        if (entry.name.isEmpty())
            continue;

        // A name that fills its slot with no NUL is read whole (it names no file, see irFileFor).
        require ((uint64_t) entry.nameOffset + entry.nameLength <= file.size()
                     && (size_t) entry.name.getNumBytesAsUTF8() <= entry.nameLength,
                 "a name read from outside its slot");
        if (auto named = irFileFor (volume(), entry))
            require (named->getParentDirectory() == volume(), "an entry names a file outside the volume's root");
    }

    // The same bytes read from a volume give the same index.
    writeWholeFile (volume().getChildFile (IrIndex::fileName), file.data(), file.size());
    require (sameIndex (readFileListFrom (volume()), info), "FileList read differently from the volume");

    if (! isCanonical (info))
        return;

    for (const auto& edit : edits)
    {
        if (edit.kind == 0)
            appendEntry (info, edit.name);
        else if (edit.kind == 1)
            removeEntry (info, edit.index);
        else
            renameEntry (info, edit.index, edit.name);
    }

    // What the editor writes is what it reads back.
    if (! isCanonical (info))
        return;
    if (writeFileListTo (volume(), info))
        require (sameIndex (readFileListFrom (volume()), info), "an index changed on its way through the file");
    else
        require (! fileListBytes (info).has_value(), "a sound index was not written");
}
} // namespace

const tessel::fuzz::Target tessel::fuzz::target { false, seeds, run };
