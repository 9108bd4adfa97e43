#include <gtest/gtest.h>

#include "cab/FileList.h"

namespace
{
std::vector<uint8_t> bytesOf (const ListInfor& info)
{
    const auto block = fileListBytes (info);
    const auto* data = block.has_value() ? static_cast<const uint8_t*> (block->getData()) : nullptr;
    return block.has_value() ? std::vector<uint8_t> (data, data + block->getSize()) : std::vector<uint8_t>();
}

ListInfor indexOf (std::initializer_list<const char*> fileNames)
{
    ListInfor info;
    for (auto* name : fileNames)
        appendEntry (info, juce::String::fromUTF8 (name));
    return info;
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
} // namespace

TEST (FileList, WrittenByteForByteAndReadBackAsWritten)
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

    // Lengths 7, 9, 8: the names follow one another in entry order. Then a
    // name of over-long UTF-8, which Linux allows and which counted character
    // by character is shorter than its bytes.
    const auto written = indexOf ({ "a.wav", "abc.wav", "ab.wav", "\xc1\x8d\xe9\x8d\x8d\xc1\x8d", "b.wav" });
    const auto back = read (bytesOf (written));
    ASSERT_EQ (back.irCount, 5u);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ (std::make_pair (back.entries[(size_t) i].name, back.entries[(size_t) i].nameOffset),
                   std::make_pair (written.entries[(size_t) i].name, written.entries[(size_t) i].nameOffset))
            << i;
    EXPECT_TRUE (irFileFor (juce::File ("/v"), back.entries[4]).has_value());
}

TEST (FileList, ReaderStaysInsideTheDataAndListsBadSlotsWithoutAName)
{
    const auto good = bytesOf (indexOf ({ "a.wav", "abc.wav" }));

    // Slot 1 has its offset at byte 12 and its length at byte 16.
    const std::tuple<const char*, std::function<void (std::vector<uint8_t>&)>, uint32_t, const char*, const char*> cases[] = {
        { "intact", [] (auto&) {}, 2, "/a.wav", "/abc.wav" },
        { "count 301", [] (auto& b) { putU32 (b, 0, 301); }, 0, "", "" },
        { "shorter than a count", [] (auto& b) { b.resize (3); }, 0, "", "" },
        { "count beyond the slots present", [] (auto& b) { putU32 (b, 0, 300); b.resize (4 + 8 * 2); }, 2, "", "" },
        { "length 0", [] (auto& b) { putU32 (b, 16, 0); }, 2, "/a.wav", "" },
        { "length 301, all of it in the file", [] (auto& b) { putU32 (b, 16, 301); b.resize (2411 + 301); }, 2, "/a.wav", "" },
        { "offset that wraps past the end", [] (auto& b) { putU32 (b, 12, 0xFFFFFFF8u); }, 2, "/a.wav", "" },
        { "name running past the end", [] (auto& b) { b.resize (2418); }, 2, "/a.wav", "" },
        { "not UTF-8", [] (auto& b) { b[2412] = 0xFF; }, 2, "/a.wav", "" },
    };
    for (const auto& [what, damage, count, first, second] : cases)
    {
        auto bytes = good;
        damage (bytes);
        const auto info = read (bytes);
        EXPECT_EQ (std::make_tuple (info.irCount, info.entries[0].name, info.entries[1].name),
                   std::make_tuple (count, juce::String (first), juce::String (second)))
            << what;
    }

    auto longOne = good;
    putU32 (longOne, 16, 5000);
    EXPECT_EQ (read (longOne).entries[1].nameLength, 5000u); // kept as read
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
    // JUCE would read a leading '~' as a home folder.
    EXPECT_EQ (irFileFor (root, entry ("/~root")), juce::File (root.getFullPathName() + "/~root"));
    for (const auto& bad : { entry (""), entry ("/"), entry ("a.wav"), entry ("/.."), entry ("/."), entry ("/../a.wav"),
                             entry ("/sub/a.wav"), entry ("/a\\b.wav"), entry ("/a", 5) /* cut short by a NUL */,
                             // The volume's own files, in any letter case, as FAT has them.
                             entry ("/FileList"), entry ("/filelist.NEW"), entry ("/Para.bin"), entry ("/PARA.BIN") })
        EXPECT_FALSE (irFileFor (root, bad).has_value()) << bad.name;
}

TEST (FileList, AnUnreadableTableIsRefusedAndTheOldOneKept)
{
    const auto root = juce::File::getSpecialLocation (juce::File::tempDirectory)
                          .getChildFile ("tessel-filelist-" + juce::Uuid().toString());
    root.createDirectory();
    const auto fileList = [&]
    {
        juce::MemoryBlock data;
        root.getChildFile ("FileList").loadFileAsData (data);
        return data;
    };
    auto index = indexOf ({ "a.wav" });
    EXPECT_TRUE (writeFileListTo (root, index));
    const auto oldBytes = fileList();

    // A table no reader would accept is refused, not written.
    index.irCount = 301;
    EXPECT_FALSE (writeFileListTo (root, index));
    EXPECT_EQ (fileList(), oldBytes);
    root.deleteRecursively();
}

TEST (FileList, SlotsThatNameNoFileAreDroppedSoTheRestCanStillBeWritten)
{
    // As read from a damaged FileList: slot 1 claims 5000 bytes, slot 3 none,
    // and the page lists both without a name.
    auto damaged = indexOf ({ "a.wav", "x.wav", "bb.wav", "y.wav", "c.wav" });
    damaged.entries[1].nameLength = 5000;
    damaged.entries[3].nameLength = 0;

    const auto back = read (bytesOf (damaged));
    ASSERT_EQ (back.irCount, 3u);
    juce::StringArray listed;
    for (uint32_t i = 0; i < back.irCount; ++i)
        listed.add (back.entries[i].name + "@" + juce::String (back.entries[i].nameOffset));
    EXPECT_EQ (listed.joinIntoString (" "), "/a.wav@2404 /bb.wav@2411 /c.wav@2419");
    EXPECT_EQ (bytesOf (damaged).size(), 2404u + 7 + 8 + 7);
}
