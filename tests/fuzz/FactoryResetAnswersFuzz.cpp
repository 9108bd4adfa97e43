#include "FuzzSupport.h"

#include "cab/FactoryDiskImage.h"
#include "cab/WriteIRWindow.h"
#include "device/ProtocolCodes.h"
#include "device/TransferLink.h"

// The CAB pedal's factory reset over the transfer link: the erase and the
// first blocks of the image answered as the input decides. The whole image is
// some 155 000 blocks, too many for one input, so the pedal is pulled out as
// the block after the input's chosen number is sent. However it ended, the job
// reports the failure once and closes the link; with every answer as it should
// be, the erased flash holds the start of the image.
//
// Input: the number of blocks the pedal takes (1 .. 16), then a decision per command.

namespace
{
using namespace tessel::fuzz;

constexpr int mostBlocks = 16;

void seeds (SeedWriter& out)
{
    out.add (SeedBytes().byte (mostBlocks - 1));                  // every answer as it should be
    out.add (SeedBytes().byte (3).byte (TransferBench::silence)); // the erase goes unanswered
    out.add (SeedBytes().byte (8).byte (0).byte (0).byte (TransferBench::pullOut));
    out.add (SeedBytes()
                 .byte (4)
                 .byte (0)
                 .byte (TransferBench::staleFirst)
                 .frame (HidPacket::command (Reply::knob, { 1, 2 })));

    auto broken = SeedBytes()
                      .byte (4)
                      .byte (0)
                      .byte (0)
                      .byte (TransferBench::replace)
                      .frame (HidPacket::command (Command::flashWrite));
    broken.bytes[broken.bytes.size() - 3] = 2; // the checksum broken
    out.add (broken);
}

void run (Input& input)
{
    // The answers are there at once or never.
    WriteIRWindow::Timing::beforeResultMs = 0;
    WriteIRWindow::Timing::beforeOpenMs = 0;
    WriteIRWindow::Timing::eraseAnswerMs = 0;
    TransferTimeouts::flashWriteMs = 0;

    const int blocks = input.inRange (1, mostBlocks);
    TransferBench bench (tessel::sim::PedalSimulator::create (kindCAB), input);
    bench.device->setExternalFlash (std::vector<uint8_t> ((size_t) (mostBlocks + 2) * FlashWrite::blockSize, 0x5a));

    // The bench decides each answer; past the chosen number of blocks the pedal goes.
    int writes = 0;
    bench.device->onAnswers =
        [&, decide = bench.device->onAnswers] (const HidPacket& command, std::vector<HidPacket>& answers)
    {
        if (bench.pulledOut() || command.code() != Command::flashWrite || ++writes <= blocks)
            return decide (command, answers);

        answers.clear();
        bench.pullOutNow();
    };

    auto* job = new WriteIRWindow();
    int result = 0;
    const auto shown = bench.runJob (job, FactoryReset::failedMessage, [&] { result = job->resultCode.load(); });
    require (WriteIRWindow::jobsInProgress() == 0, "the job outlived its end");

    // No input reaches the image's end: every run fails, and says so once.
    require (result == WriteIRWindow::resetFailed && shown == juce::StringArray (FactoryReset::failedMessage),
             "a reset that did not write the image was not reported failed once");

    if (bench.answeredNormally())
    {
        // The block the pedal went with is written, unanswered.
        require (bench.pulledOut() && bench.device->externalFlashWriteCount() == blocks + 1,
                 "the job stopped before it was cut off");

        const auto flash = bench.device->externalFlash();
        require (! flash.empty() && std::equal (flash.begin(), flash.end(), FactoryDiskImage),
                 "the flash does not hold the start of the image");
    }
}
} // namespace

const tessel::fuzz::Target tessel::fuzz::target { true, seeds, run };
