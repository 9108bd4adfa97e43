#include "FuzzSupport.h"

#include "pagekit/FirmwareUpdate.h"

// The firmware update's exchange with a pedal in its update mode: however the
// pedal answers, the job ends, closes the link and says whether it failed;
// with every answer as it should be, the flash holds the program.
//
// Input: the payload's length (two bytes) and bytes, then a decision per command.

namespace
{
using namespace tessel::fuzz;

void seeds (SeedWriter& out)
{
    const auto program = [] (int length)
    {
        SeedBytes seed;
        seed.byte (length & 0xff).byte (length >> 8);
        for (int i = 0; i < length; ++i)
            seed.byte (i * 13 + 1);
        return seed;
    };

    out.add (program (100));                                       // every answer as it should be
    out.add (program (41).byte (0).byte (TransferBench::silence)); // the erase goes unanswered
    out.add (program (60).byte (0).byte (0).byte (0).byte (TransferBench::pullOut));
    out.add (program (20)
                 .byte (0)
                 .byte (0)
                 .byte (TransferBench::staleFirst)
                 .frame (HidPacket::command (UpdateMode::blockWritten)));
    out.add (program (20).byte (0).byte (TransferBench::replace).frame (HidPacket::command (UpdateMode::eraseFailed)));
}

void run (Input& input)
{
    // The answers are there at once or never.
    FirmwareUpdate::answerTimeoutMs = 0;
    FirmwareUpdate::slowAnswerTimeoutMs = 0;

    const auto bytes = input.bytes ((size_t) input.inRange (0, 400));
    TransferBench bench (tessel::sim::PedalSimulator::createUpdateModeDevice(), input);

    const bool failed =
        bench.runJob (new FirmwareUpdate ({ bytes.data(), bytes.size() }), FirmwareUpdate::failedMessage).size() > 0;
    if (bench.answeredNormally())
    {
        auto expected = bytes;
        expected.resize ((expected.size() + UpdateMode::blockSize - 1) / UpdateMode::blockSize * UpdateMode::blockSize,
                         0xff);
        require (! failed && bench.device->programFlash() == expected,
                 "an update answered as it should did not write the program");
    }
}
} // namespace

const tessel::fuzz::Target tessel::fuzz::target { true, seeds, run };
