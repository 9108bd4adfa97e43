// Builds the CAB pedal's factory volume: the raw 8 MiB image of the pedal's
// external flash that a factory reset writes back. Everything in it is made
// here, from the IR names in the catalogue's CAB section, so that the build
// gives the same bytes on every machine.
//
//     tessel_diskimage CATALOG IMAGE [FOLDER]
//     tessel_diskimage --check IMAGE
//
// CATALOG is tools/catalog/catalog.txt; IMAGE is the image to write; FOLDER,
// when given, receives every file of the volume as well, for comparing what
// other tools read out of the image with what went in.
//
// --check looks at an image before the build links it in, ours or the
// maker's: a factory reset writes it over the pedal's whole flash, so it must
// be 8 MiB, carry the pedal's FAT12 boot sector, and hold a FileList that the
// editor can read. It says what is wrong and exits 1 when it is not so.
//
// The volume is FAT12 as the pedal formats it: 512-byte sectors, 4 per
// cluster, 2 reserved sectors, 2 FATs of 11 sectors, 512 root entries and
// 14,335 sectors. Its root directory holds the volume label, then the 100
// IRs in catalogue order, then FileList and Para.bin. Files lie one after the
// other from cluster 2; the rest of their last cluster, the free clusters and
// everything after the file system hold 0xFF, which is what the pedal's
// erased flash reads, so none of it needs to be sent.
//
// The IRs: 48 kHz, one channel, 16-bit PCM, 2,048 to 4,095 samples: a click
// followed by decaying, low-passed noise, in integer arithmetic only, so no
// maths library can change a byte.
//
// FileList: the IR index (count, 300 slots of name offset and length, then
// the names "/" + file name, each with its NUL).
//
// Para.bin: 1,400 bytes of 0xFF. The pedal keeps settings of its own in it;
// the editor never reads it, and a new volume starts with it erased.
//
// The image's last 32 bytes, past the file system, carry a mark naming it
// (ASCII, NUL-padded), so a look at the flash tells a written factory image
// from an erased one.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace
{
constexpr size_t imageSize = 8388608;
constexpr size_t sectorSize = 512;
constexpr size_t sectorsPerCluster = 4;
constexpr size_t clusterSize = sectorSize * sectorsPerCluster;
constexpr size_t reservedSectors = 2;
constexpr size_t fatCount = 2;
constexpr size_t sectorsPerFat = 11;
constexpr size_t rootEntries = 512;
constexpr size_t totalSectors = 14335;
constexpr size_t entrySize = 32;

constexpr size_t fatStart = reservedSectors * sectorSize;
constexpr size_t rootStart = fatStart + fatCount * sectorsPerFat * sectorSize;
constexpr size_t dataStart = rootStart + rootEntries * entrySize;
constexpr size_t clusterCount = (totalSectors * sectorSize - dataStart) / clusterSize;

constexpr size_t irCount = 100;
constexpr size_t sampleRate = 48000;
constexpr size_t paraSize = 1400;

constexpr size_t fileListSlots = 300;
constexpr size_t fileListHeader = 4 + 8 * fileListSlots;

constexpr char imageMark[] = "TESSEL CAB FACTORY VOLUME";
constexpr size_t imageMarkSize = 32;
static_assert (sizeof (imageMark) <= imageMarkSize, "the mark fits its 32 bytes");

// 2024-01-01 00:00:00, the same for every file.
constexpr uint16_t fatDate = ((2024 - 1980) << 9) | (1 << 5) | 1;
constexpr uint16_t fatTime = 0;

using Bytes = std::vector<uint8_t>;

void put16 (uint8_t* at, uint32_t value)
{
    at[0] = (uint8_t) value;
    at[1] = (uint8_t) (value >> 8);
}

void put32 (uint8_t* at, uint32_t value)
{
    put16 (at, value);
    put16 (at + 2, value >> 16);
}

void putText (uint8_t* at, const std::string& text, size_t width)
{
    for (size_t i = 0; i < width; ++i)
        at[i] = i < text.size() ? (uint8_t) text[i] : (uint8_t) ' ';
}

struct VolumeFile
{
    std::string name;
    Bytes contents;
};

//==============================================================================
/** The IR names of the catalogue's CAB section, in order. */
bool readIrNames (const std::string& path, std::vector<std::string>& names)
{
    std::ifstream in (path);
    if (! in)
    {
        std::cerr << "cannot read " << path << "\n";
        return false;
    }

    bool inCab = false;
    for (std::string line; std::getline (in, line);)
    {
        if (! line.empty() && line.back() == '\r')
            line.pop_back();

        if (! line.empty() && line[0] == '[')
            inCab = line == "[CAB]";
        else if (inCab && line.rfind ("@ ", 0) == 0)
        {
            auto name =
                line.substr (2, line.find (" |") == std::string::npos ? std::string::npos : line.find (" |") - 2);
            while (! name.empty() && name.back() == ' ')
                name.pop_back();
            names.push_back (name);
        }
    }

    if (names.size() != irCount)
    {
        std::cerr << path << ": the CAB section names " << names.size() << " IRs, not " << irCount << "\n";
        return false;
    }

    return true;
}

//==============================================================================
/** One factory IR: a click, then noise that a one-pole low-pass darkens and
    an exponential envelope fades out, both set by the IR's number. */
Bytes synthesiseIr (size_t index)
{
    const auto samples = (uint32_t) (2048 + (index * 1237 + 311) % 2048);
    const auto dataBytes = samples * 2;

    Bytes wav (44 + dataBytes);
    auto* h = wav.data();
    std::copy_n ("RIFF", 4, h);
    put32 (h + 4, 36 + dataBytes);
    std::copy_n ("WAVEfmt ", 8, h + 8);
    put32 (h + 16, 16);
    put16 (h + 20, 1); // PCM
    put16 (h + 22, 1); // one channel
    put32 (h + 24, sampleRate);
    put32 (h + 28, sampleRate * 2);
    put16 (h + 32, 2);
    put16 (h + 34, 16);
    std::copy_n ("data", 4, h + 36);
    put32 (h + 40, dataBytes);

    uint32_t noise = 0x9E3779B9u ^ (uint32_t) (index * 0x85EBCA6Bu + 1);
    const int64_t smoothing = 24 + (int64_t) (index * 7 % 160); // of 256
    const int64_t decay = 65536 - (int64_t) (6 + index % 23);   // per sample, of 65536
    int64_t envelope = (int64_t) 1 << 30;
    int64_t filtered = 0;

    for (uint32_t n = 0; n < samples; ++n)
    {
        noise ^= noise << 13;
        noise ^= noise >> 17;
        noise ^= noise << 5;

        const auto white = (int64_t) (int16_t) (noise & 0xffff);
        filtered += (white - filtered) * smoothing / 256;

        auto value = n == 0 ? (int64_t) 30000 : filtered * (envelope >> 15) / 32768;
        value = std::clamp<int64_t> (value, -32768, 32767);
        envelope = envelope * decay / 65536;

        put16 (h + 44 + 2 * n, (uint32_t) (uint16_t) (int16_t) value);
    }

    return wav;
}

/** The IR index for these file names, in this order. */
Bytes makeFileList (const std::vector<std::string>& fileNames)
{
    Bytes list (fileListHeader, 0);
    put32 (list.data(), (uint32_t) fileNames.size());

    auto offset = (uint32_t) fileListHeader;
    for (size_t i = 0; i < fileNames.size(); ++i)
    {
        const auto stored = "/" + fileNames[i];
        const auto length = (uint32_t) stored.size() + 1;
        put32 (list.data() + 4 + 8 * i, offset);
        put32 (list.data() + 8 + 8 * i, length);
        list.insert (list.end(), stored.begin(), stored.end());
        list.push_back (0);
        offset += length;
    }

    return list;
}

//==============================================================================
/** 8.3 names for long names, as a VFAT driver makes them: capitals, no blanks,
    the first six characters and ~n when the name does not fit as it is. */
class ShortNames
{
public:
    std::string make (const std::string& longName)
    {
        const auto dot = longName.rfind ('.');
        const auto base = clean (longName.substr (0, dot));
        const auto extension =
            dot == std::string::npos ? std::string() : clean (longName.substr (dot + 1)).substr (0, 3);

        auto padded = [] (std::string b, const std::string& e)
        {
            b.resize (8, ' ');
            auto x = e;
            x.resize (3, ' ');
            return b + x;
        };

        // A name that is already 8.3 but for its letter case keeps its letters.
        if (base.size() <= 8 && base == upper (longName.substr (0, dot))
            && used.insert (padded (base, extension)).second)
            return padded (base, extension);

        for (int n = 1;; ++n)
        {
            const auto tail = "~" + std::to_string (n);
            const auto candidate = padded (base.substr (0, std::min<size_t> (6, 8 - tail.size())) + tail, extension);
            if (used.insert (candidate).second)
                return candidate;
        }
    }

private:
    static std::string upper (std::string text)
    {
        for (auto& c : text)
            c = (char) std::toupper ((unsigned char) c);
        return text;
    }

    static std::string clean (const std::string& text)
    {
        std::string out;
        for (auto c : upper (text))
        {
            if (c == ' ' || c == '.')
                continue;
            out += std::string ("+,;=[]").find (c) != std::string::npos ? '_' : c;
        }
        return out;
    }

    std::set<std::string> used;
};

uint8_t shortNameChecksum (const std::string& shortName)
{
    uint8_t sum = 0;
    for (auto c : shortName)
        sum = (uint8_t) (((sum & 1) << 7) + (sum >> 1) + (uint8_t) c);
    return sum;
}

/** The long-name entries for a name, last part first, as they precede the
    short entry. The names here are ASCII. */
std::vector<Bytes> longNameEntries (const std::string& name, const std::string& shortName)
{
    const auto parts = (name.size() + 12) / 13;
    const auto sum = shortNameChecksum (shortName);
    static constexpr int charOffsets[13] = { 1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30 };

    std::vector<Bytes> entries;
    for (auto part = parts; part >= 1; --part)
    {
        Bytes entry (entrySize, 0);
        entry[0] = (uint8_t) (part | (part == parts ? 0x40 : 0));
        entry[11] = 0x0F;
        entry[13] = sum;

        for (size_t i = 0; i < 13; ++i)
        {
            const auto at = (part - 1) * 13 + i;
            const uint32_t unit = at < name.size() ? (uint8_t) name[at] : at == name.size() ? 0 : 0xFFFF;
            put16 (entry.data() + charOffsets[i], unit);
        }
        entries.push_back (entry);
    }
    return entries;
}

Bytes shortEntry (const std::string& shortName, uint8_t attributes, uint16_t firstCluster, uint32_t size)
{
    Bytes entry (entrySize, 0);
    putText (entry.data(), shortName, 11);
    entry[11] = attributes;
    put16 (entry.data() + 14, fatTime);
    put16 (entry.data() + 16, fatDate);
    put16 (entry.data() + 18, fatDate);
    put16 (entry.data() + 22, fatTime);
    put16 (entry.data() + 24, fatDate);
    put16 (entry.data() + 26, firstCluster);
    put32 (entry.data() + 28, size);
    return entry;
}

void writeBootSector (uint8_t* b)
{
    const uint8_t jump[] = { 0xEB, 0x3C, 0x90 };
    std::copy (std::begin (jump), std::end (jump), b);
    putText (b + 3, "MSDOS5.0", 8);
    put16 (b + 11, sectorSize);
    b[13] = sectorsPerCluster;
    put16 (b + 14, reservedSectors);
    b[16] = fatCount;
    put16 (b + 17, rootEntries);
    put16 (b + 19, totalSectors);
    b[21] = 0xF8;
    put16 (b + 22, sectorsPerFat);
    put16 (b + 24, 1); // sectors per track
    put16 (b + 26, 1); // heads
    put32 (b + 28, 0); // hidden sectors
    put32 (b + 32, 0); // the 16-bit count holds the size
    b[36] = 0x80;
    b[38] = 0x29;
    put32 (b + 39, 0x7E55E1CA);
    putText (b + 43, "NO NAME", 11);
    putText (b + 54, "FAT12", 8);

    // Not bootable: the jump lands on a halt loop.
    const uint8_t halt[] = { 0xFA, 0xF4, 0xEB, 0xFD };
    std::copy (std::begin (halt), std::end (halt), b + 0x3E);

    b[510] = 0x55;
    b[511] = 0xAA;
}

void setFatEntry (uint8_t* fat, size_t cluster, uint16_t value)
{
    auto* at = fat + cluster * 3 / 2;
    if (cluster % 2 == 0)
    {
        at[0] = (uint8_t) value;
        at[1] = (uint8_t) ((at[1] & 0xF0) | ((value >> 8) & 0x0F));
    }
    else
    {
        at[0] = (uint8_t) ((at[0] & 0x0F) | ((value << 4) & 0xF0));
        at[1] = (uint8_t) (value >> 4);
    }
}

bool buildImage (const std::vector<VolumeFile>& files, Bytes& image)
{
    image.assign (imageSize, 0xFF);
    std::fill (image.begin(), image.begin() + (long) sectorSize, 0);
    writeBootSector (image.data());

    // The FATs and the root directory start out empty (0 means free and, in
    // a directory, the end of the list).
    std::fill (image.begin() + (long) fatStart, image.begin() + (long) dataStart, 0);

    Bytes fat (sectorsPerFat * sectorSize, 0);
    setFatEntry (fat.data(), 0, 0xFF8);
    setFatEntry (fat.data(), 1, 0xFFF);

    std::vector<Bytes> entries;
    entries.push_back (shortEntry ("TESSEL DISK", 0x08, 0, 0));

    ShortNames shortNames;
    size_t nextCluster = 2;

    for (const auto& file : files)
    {
        const auto clusters = std::max<size_t> (1, (file.contents.size() + clusterSize - 1) / clusterSize);
        if (nextCluster + clusters > clusterCount + 2)
        {
            std::cerr << "the files do not fit the volume\n";
            return false;
        }

        const auto first = nextCluster;
        for (size_t c = 0; c < clusters; ++c)
            setFatEntry (fat.data(), first + c, c + 1 < clusters ? (uint16_t) (first + c + 1) : 0xFFF);

        std::copy (file.contents.begin(), file.contents.end(),
                   image.begin() + (long) (dataStart + (first - 2) * clusterSize));
        nextCluster += clusters;

        const auto shortName = shortNames.make (file.name);
        for (auto& entry : longNameEntries (file.name, shortName))
            entries.push_back (entry);
        entries.push_back (shortEntry (shortName, 0x20, (uint16_t) first, (uint32_t) file.contents.size()));
    }

    if (entries.size() > rootEntries)
    {
        std::cerr << "the root directory is full\n";
        return false;
    }

    for (size_t i = 0; i < fatCount; ++i)
        std::copy (fat.begin(), fat.end(), image.begin() + (long) (fatStart + i * fat.size()));

    for (size_t i = 0; i < entries.size(); ++i)
        std::copy (entries[i].begin(), entries[i].end(), image.begin() + (long) (rootStart + i * entrySize));

    auto* mark = image.data() + imageSize - imageMarkSize;
    std::fill (mark, mark + imageMarkSize, 0);
    std::copy (std::begin (imageMark), std::end (imageMark) - 1, mark);
    return true;
}

bool writeFile (const std::string& path, const Bytes& bytes)
{
    std::ofstream out (path, std::ios::binary | std::ios::trunc);
    out.write (reinterpret_cast<const char*> (bytes.data()), (std::streamsize) bytes.size());
    out.close();
    if (! out)
        std::cerr << "cannot write " << path << "\n";
    return (bool) out;
}
//==============================================================================
uint32_t get16 (const uint8_t* at)
{
    return (uint32_t) at[0] | ((uint32_t) at[1] << 8);
}
uint32_t get32 (const uint8_t* at)
{
    return get16 (at) | (get16 (at + 2) << 16);
}

/** What is wrong with the boot sector, against the one the pedal formats. */
std::vector<std::string> bootSectorFaults (const Bytes& image)
{
    Bytes expected (sectorSize, 0);
    writeBootSector (expected.data());

    // The fields of the pedal's boot sector, by offset and size; the serial
    // number and the boot code are the volume's own.
    const std::pair<size_t, size_t> fields[] = { { 0, 3 },  { 3, 8 },  { 11, 2 }, { 13, 1 },  { 14, 2 }, { 16, 1 },
                                                 { 17, 2 }, { 19, 2 }, { 21, 1 }, { 22, 2 },  { 24, 2 }, { 26, 2 },
                                                 { 28, 4 }, { 36, 1 }, { 38, 1 }, { 43, 11 }, { 54, 8 }, { 510, 2 } };
    std::vector<std::string> faults;
    for (auto [offset, size] : fields)
        if (! std::equal (expected.begin() + (long) offset, expected.begin() + (long) (offset + size),
                          image.begin() + (long) offset))
            faults.push_back ("the boot sector's field at byte " + std::to_string (offset)
                              + " differs from the pedal's");
    return faults;
}

/** FileList's bytes, read through the root directory and the first FAT. */
bool readFileList (const Bytes& image, Bytes& list)
{
    for (size_t i = 0; i < rootEntries; ++i)
    {
        const auto* entry = image.data() + rootStart + i * entrySize;
        if (entry[0] == 0)
            break;
        if (entry[0] == 0xE5 || (entry[11] & 0x18) != 0 || entry[11] == 0x0F
            || std::string (entry, entry + 11) != "FILELIST   ")
            continue;

        const auto size = get32 (entry + 28);
        auto cluster = get16 (entry + 26);
        const auto* fat = image.data() + fatStart;

        // The chain may not leave the volume or run longer than the file.
        for (size_t steps = 0; list.size() < size; ++steps)
        {
            if (cluster < 2 || cluster >= clusterCount + 2 || steps > clusterCount)
                return false;

            const auto* data = image.data() + dataStart + (cluster - 2) * clusterSize;
            list.insert (list.end(), data, data + std::min<size_t> (clusterSize, size - list.size()));

            const auto* at = fat + cluster * 3 / 2;
            const auto pair = get16 (at);
            cluster = cluster % 2 == 0 ? pair & 0x0FFF : pair >> 4;
        }
        return true;
    }
    return false;
}

/** What is wrong with FileList, read as the editor reads it. */
std::vector<std::string> fileListFaults (const Bytes& list)
{
    if (list.size() < fileListHeader)
        return { "FileList is shorter than its header" };

    const auto count = get32 (list.data());
    if (count > fileListSlots)
        return { "FileList counts " + std::to_string (count) + " IRs, over " + std::to_string (fileListSlots) };

    std::vector<std::string> faults;
    for (size_t i = 0; i < count; ++i)
    {
        const auto offset = get32 (list.data() + 4 + 8 * i), length = get32 (list.data() + 8 + 8 * i);
        const bool inside = length >= 1 && length <= 300 && offset <= list.size() && list.size() - offset >= length;
        if (! inside || list[offset] != '/'
            || std::find (list.begin() + offset, list.begin() + offset + length, 0) == list.begin() + offset + length)
            faults.push_back ("FileList's entry " + std::to_string (i) + " names no file");
    }
    return faults;
}

int checkImage (const std::string& path)
{
    std::ifstream in (path, std::ios::binary);
    const Bytes image ((std::istreambuf_iterator<char> (in)), std::istreambuf_iterator<char>());

    std::vector<std::string> faults;
    if (! in.eof() && ! in)
        faults.push_back ("cannot read it");
    else if (image.size() != imageSize)
        faults.push_back ("it is " + std::to_string (image.size()) + " bytes, not " + std::to_string (imageSize));
    else
    {
        faults = bootSectorFaults (image);
        Bytes list;
        if (faults.empty() && ! readFileList (image, list))
            faults.push_back ("its root directory holds no readable FileList");
        else if (faults.empty())
            faults = fileListFaults (list);
    }

    for (auto& fault : faults)
        std::cerr << path << ": not a factory volume of the CAB pedal: " << fault << "\n";
    return faults.empty() ? 0 : 1;
}
} // namespace

int main (int argc, char** argv)
{
    if (argc == 3 && std::string (argv[1]) == "--check")
        return checkImage (argv[2]);

    if (argc != 3 && argc != 4)
    {
        std::cerr << "usage: tessel_diskimage CATALOG IMAGE [FOLDER]\n"
                     "       tessel_diskimage --check IMAGE\n";
        return 2;
    }

    std::vector<std::string> irNames;
    if (! readIrNames (argv[1], irNames))
        return 1;

    std::vector<VolumeFile> files;
    std::vector<std::string> wavNames;
    for (size_t i = 0; i < irNames.size(); ++i)
    {
        wavNames.push_back (irNames[i] + ".wav");
        files.push_back ({ wavNames.back(), synthesiseIr (i) });
    }
    files.push_back ({ "FileList", makeFileList (wavNames) });
    files.push_back ({ "Para.bin", Bytes (paraSize, 0xFF) });

    Bytes image;
    if (! buildImage (files, image) || ! writeFile (argv[2], image))
        return 1;

    if (argc == 4)
        for (const auto& file : files)
            if (! writeFile (std::string (argv[3]) + "/" + file.name, file.contents))
                return 1;

    return 0;
}
