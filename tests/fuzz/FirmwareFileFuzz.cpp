#include "FuzzSupport.h"

#include "app/FirmwareUpdate.h"

// A firmware file the user picks: only one made for the pedal in update mode,
// whole and intact, may reach its flash.

namespace
{
using namespace tessel::fuzz;

std::vector<uint8_t> firmwareFile (const char* deviceName, const std::vector<uint8_t>& payload)
{
    // The payload's length at 4 (32 bits), its sum at 14 (16 bits) and the device's name at 16.
    std::vector<uint8_t> file (FirmwareHeader::size, 0);
    const auto sum = FirmwareHeader::checksumOf (payload.data(), payload.size());
    for (int i = 0; i < 4; ++i)
        file[(size_t) (4 + i)] = (uint8_t) (payload.size() >> (8 * i));
    file[14] = (uint8_t) sum;
    file[15] = (uint8_t) (sum >> 8);
    std::copy_n (deviceName, std::min<size_t> (std::strlen (deviceName), FirmwareHeader::nameSize), file.begin() + 16);
    file.insert (file.end(), payload.begin(), payload.end());
    return file;
}

void seeds (SeedWriter& out)
{
    // Layout: the name of the device in update mode, then the file.
    std::vector<uint8_t> program (100);
    std::generate (program.begin(), program.end(), [i = 0]() mutable { return (uint8_t) (7 * i++); });

    for (auto* name : { "TESSEL AMP", "TESSEL CAB", "SIXTEEN CHARS 16" })
        out.add (SeedBytes().text (name).raw (firmwareFile (name, program)));

    out.add (SeedBytes().text ("TESSEL AMP").raw (firmwareFile ("TESSEL AMP", {})));
}

void run (Input& input)
{
    const auto nameText = input.text (32);
    const auto deviceName = juce::String::fromUTF8 (nameText.data(), (int) nameText.size());
    const auto contents = input.rest();
    const auto file = writeWholeFile (scratchFile ("firmware.bin"), contents.data(), contents.size());

    juce::MemoryBlock payload;
    const bool accepted = checkFirmwareFile (file, deviceName, payload) == FirmwareCheck::compatible;
    require (accepted || payload.getSize() == 0, "a rejected file handed over a payload");
    if (! accepted)
        return;

    require (contents.size() >= (size_t) FirmwareHeader::size, "a file shorter than its header was accepted");
    const auto header = FirmwareHeader::fromBytes (reinterpret_cast<const uint8_t*> (contents.data()));
    require (payload.getSize() == header.payloadLength && payload.getSize() <= UpdateMode::maxProgramSize,
             "an accepted payload has another length than its header says");
    require (header.namesDevice (deviceName), "a file for another device was accepted");
    require (header.payloadChecksum == FirmwareHeader::checksumOf (static_cast<const uint8_t*> (payload.getData()),
                                                                   payload.getSize()),
             "a payload whose sum is wrong was accepted");
    require (payload.getSize() == 0
                 || std::memcmp (payload.getData(), contents.data() + FirmwareHeader::size, payload.getSize()) == 0,
             "the payload is not the file's");
}
} // namespace

const tessel::fuzz::Target tessel::fuzz::target { false, seeds, run };
