#include "FuzzSupport.h"

#include "pagekit/FirmwareUpdate.h"
#include "support/EditorHarness.h"

// A firmware file the user picks: only one made for the pedal in update mode,
// whole and intact, may reach its flash.

namespace
{
using namespace tessel::fuzz;

void seeds (SeedWriter& out)
{
    // Layout: the name of the device in update mode, then the file.
    const auto seed = [&out] (const char* name, const std::vector<uint8_t>& payload)
    {
        const auto file = tessel::test::firmwareFile (payload, name);
        out.add (SeedBytes().text (name).raw (file.getData(), file.getSize()));
    };

    std::vector<uint8_t> program (100);
    std::generate (program.begin(), program.end(), [i = 0]() mutable { return (uint8_t) (7 * i++); });
    for (auto* name : { "TESSEL AMP", "TESSEL CAB", "SIXTEEN CHARS 16" })
        seed (name, program);
    seed ("TESSEL AMP", {});
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
    require (header.payloadChecksum
                 == FirmwareHeader::checksumOf (static_cast<const uint8_t*> (payload.getData()), payload.getSize()),
             "a payload whose sum is wrong was accepted");
    require (payload.getSize() == 0
                 || std::memcmp (payload.getData(), contents.data() + FirmwareHeader::size, payload.getSize()) == 0,
             "the payload is not the file's");
}
} // namespace

const tessel::fuzz::Target tessel::fuzz::target { false, seeds, run };
