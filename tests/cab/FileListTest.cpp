#include <gtest/gtest.h>

#include "cab/FileList.h"

namespace
{
std::vector<uint8_t> bytesOf (const ListInfor& info)
{
    const auto block = fileListBytes (info);
    if (! block.has_value())
        return {};
    const auto* data = static_cast<const uint8_t*> (block->getData());
    return { data, data + block->getSize() };
}

ListInfor indexOf (std::initializer_list<const char*> fileNames)
{
    ListInfor info;
    for (auto* name : fileNames)
        appendEntry (info, juce::String::fromUTF8 (name));
    return info;
}

std::vector<uint32_t> offsetsOf (const ListInfor& info)
{
    std::vector<uint32_t> offsets;
    for (uint32_t i = 0; i < info.irCount; ++i)
        offsets.push_back (info.entries[i].nameOffset);
    return offsets;
}

void putU32 (std::vector<uint8_t>& bytes, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + (size_t) i] = (uint8_t) (value >> (8 * i));
}

ListInfor read (const std::vector<uint8_t>& bytes)
{
    return readFileList (bytes.data(), bytes.size());
}

/** A folder standing for the pedal's volume. */
struct Volume
{
    Volume() { root.createDirectory(); }
    ~Volume() { root.deleteRecursively(); }

    juce::MemoryBlock fileList() const
    {
        juce::MemoryBlock data;
        root.getChildFile ("FileList").loadFileAsData (data);
        return data;
    }

    juce::File root = juce::File::getSpecialLocation (juce::File::tempDirectory)
                          .getNonexistentChildFile ("tessel-filelist-" + juce::String::toHexString (juce::Random::getSystemRandom().nextInt64()), {}, false);
};
} // namespace

TEST (FileList, WrittenByteForByte)
{
    const auto empty = bytesOf ({});
    ASSERT_EQ (empty.size(), 2404u);
    EXPECT_TRUE (std::all_of (empty.begin(), empty.end(), [] (uint8_t b) { return b == 0; }));

    // One IR, a.wav: count 1, offset 2404 (0x964), length 7, little-endian.
    const auto one = bytesOf (indexOf ({ "a.wav" }));
    ASSERT_EQ (one.size(), 2411u);
    EXPECT_EQ (std::vector<uint8_t> (one.begin(), one.begin() + 12),
               (std::vector<uint8_t> { 1, 0, 0, 0, 0x64, 0x09, 0, 0, 7, 0, 0, 0 }));
    EXPECT_EQ (std::vector<uint8_t> (one.end() - 7, one.end()),
               (std::vector<uint8_t> { '/', 'a', '.', 'w', 'a', 'v', 0 }));

    EXPECT_EQ (indexOf ({ "\xc3\xa9.wav" }).entries[0].nameLength, 8u);

    // Lengths 7, 9, 8: the names follow one another in entry order, and read back as written.
    // (Removing and renaming entries is checked through the IR jobs.)
    auto three = indexOf ({ "a.wav", "abc.wav", "ab.wav" });
    EXPECT_EQ (offsetsOf (three), (std::vector<uint32_t> { 2404, 2411, 2420 }));
    EXPECT_EQ (offsetsOf (read (bytesOf (three))), offsetsOf (three));
    EXPECT_EQ (read (bytesOf (three)).entries[2].name, "/ab.wav");
}

TEST (FileList, ReaderStaysInsideTheDataAndListsBadSlotsWithoutAName)
{
    const auto good = bytesOf (indexOf ({ "a.wav", "abc.wav" }));

    struct Case
    {
        const char* what;
        std::function<void (std::vector<uint8_t>&)> damage;
        uint32_t count;
        const char* firstName;
        const char* secondName;
    };

    // Slot 1 has its offset at byte 12 and its length at byte 16.
    const std::vector<Case> cases = {
        { "intact", [] (auto&) {}, 2, "/a.wav", "/abc.wav" },
        { "count 301", [] (auto& b) { putU32 (b, 0, 301); }, 0, "", "" },
        { "shorter than a count", [] (auto& b) { b.resize (3); }, 0, "", "" },
        { "count beyond the slots present", [] (auto& b) { putU32 (b, 0, 300); b.resize (4 + 8 * 2); }, 2, "", "" },
        { "length 0", [] (auto& b) { putU32 (b, 16, 0); }, 2, "/a.wav", "" },
        { "length 301", [] (auto& b) { putU32 (b, 16, 301); }, 2, "/a.wav", "" },
        { "offset that wraps past the end", [] (auto& b) { putU32 (b, 12, 0xFFFFFFF8u); }, 2, "/a.wav", "" },
        { "name running past the end", [] (auto& b) { b.resize (b.size() - 2); }, 2, "/a.wav", "" },
        { "not UTF-8", [] (auto& b) { b[2412] = 0xFF; }, 2, "/a.wav", "" },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        auto bytes = good;
        c.damage (bytes);

        const auto info = read (bytes);
        EXPECT_EQ (info.irCount, c.count);
        EXPECT_EQ (info.entries[0].name, juce::String (c.firstName));
        EXPECT_EQ (info.entries[1].name, juce::String (c.secondName));
    }

    EXPECT_EQ (read (good).entries[1].nameLength, 9u);
    auto longOne = good;
    putU32 (longOne, 16, 5000);
    EXPECT_EQ (read (longOne).entries[1].nameLength, 5000u);  // kept as read
}

TEST (FileList, AFileNameThatIsNotQuiteUtf8ComesBackAsItWasWritten)
{
    // Linux allows any bytes in a file name; these are over-long UTF-8, which
    // counted character by character is shorter than its bytes.
    ListInfor info;
    appendEntry (info, juce::String::fromUTF8 ("\xc1\x8d\xe9\x8d\x8d\xc1\x8d"));
    appendEntry (info, "b.wav");

    const auto bytes = fileListBytes (info);
    ASSERT_TRUE (bytes.has_value());
    const auto read = readFileList (bytes->getData(), bytes->getSize());
    ASSERT_EQ (read.irCount, 2u);
    for (int i = 0; i < 2; ++i)
    {
        EXPECT_EQ (read.entries[(size_t) i].name, info.entries[(size_t) i].name) << i;
        EXPECT_EQ (read.entries[(size_t) i].nameOffset, info.entries[(size_t) i].nameOffset) << i;
    }
    EXPECT_TRUE (irFileFor (juce::File ("/v"), read.entries[1]).has_value());
}

TEST (FileList, OnlyPlainFileNamesBecomePaths)
{
    const juce::File root ("/media/anna/TESSEL");

    const auto entry = [] (const char* name, int lengthChange = 0)
    {
        IrListEntry e;
        e.name = juce::String::fromUTF8 (name);
        e.nameLength = (uint32_t) (e.name.getNumBytesAsUTF8() + 1 + (size_t) lengthChange);
        return e;
    };

    EXPECT_EQ (irFileFor (root, entry ("/Vintage 4x12.wav")), root.getChildFile ("Vintage 4x12.wav"));

    for (const auto& bad : { entry (""), entry ("/"), entry ("a.wav"), entry ("/.."), entry ("/."),
                             entry ("/../a.wav"), entry ("/sub/a.wav"), entry ("/a\\b.wav"),
                             entry ("/a", 5) /* cut short by a NUL */ })
        EXPECT_FALSE (irFileFor (root, bad).has_value()) << bad.name;
}

TEST (FileList, AnUnreadableTableIsRefusedAndAGoodOneReplacesTheOld)
{
    Volume volume;
    const auto oldIndex = indexOf ({ "a.wav" });
    ASSERT_TRUE (writeFileListTo (volume.root, oldIndex));
    const auto oldBytes = volume.fileList();

    // A table no reader would accept is refused, not written.
    auto broken = oldIndex;
    broken.entries[0].nameLength = 70000;
    EXPECT_FALSE (writeFileListTo (volume.root, broken));
    EXPECT_EQ (volume.fileList(), oldBytes);

    // A good one replaces the old, with nothing left beside it.
    ASSERT_TRUE (writeFileListTo (volume.root, indexOf ({ "a.wav", "b.wav" })));
    EXPECT_EQ (readFileListFrom (volume.root)->irCount, 2u);
    EXPECT_EQ (volume.root.getNumberOfChildFiles (juce::File::findFilesAndDirectories), 1);
}
