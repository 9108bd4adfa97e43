#include "TransferBench.h"

#include "cab/FactoryDiskImage.h"
#include "cab/WriteIRWindow.h"
#include "device/ProtocolCodes.h"
#include "device/TransferLink.h"
#include "support/EditorHarness.h"

// The CAB pedal's factory reset over the transfer link: the erase and the
// first blocks of the image answered as the input decides. The whole image is
// some 155 000 blocks, too many for one input, so the pedal is pulled out as
// the block after the input's chosen number is sent. However it ended, the job
// reports the failure and closes the link; with every answer as it should be,
// the erased flash holds the start of the image.
//
// Input: the number of blocks the pedal takes (1 .. 16), then a decision per command.

namespace
{
using tessel::fuzz::require;
using tessel::fuzz::TransferBench;
using tessel::sim::PedalSimulator;

constexpr int mostBlocks = 16;

const std::vector<uint8_t> resetAnswerCodes = { Reply::flashErased, Reply::flashWritten, Reply::presetRecord,
                                                Reply::knob, Reply::transferState };

void seeds (tessel::fuzz::SeedWriter& out)
{
    using tessel::fuzz::SeedBytes;

    out.add (SeedBytes().byte (mostBlocks - 1));                                  // every answer as it should be
    out.add (SeedBytes().byte (3).byte (TransferBench::silence));                 // the erase goes unanswered
    out.add (SeedBytes().byte (8).byte (0).byte (0).byte (TransferBench::pullOut));

    auto live = SeedBytes().byte (4).byte (0).byte (TransferBench::staleFirst);
    tessel::fuzz::appendFrameSeed (live, HidPacket::command (Reply::knob, { 1, 2 }));
    out.add (live);

    auto broken = SeedBytes().byte (4).byte (0).byte (0).byte (TransferBench::replace);
    tessel::fuzz::appendFrameSeed (broken, HidPacket::command (Command::flashWrite));
    broken.bytes[broken.bytes.size() - 3] = 3;   // the code as it stands, the checksum broken
    out.add (broken);
}

void run (tessel::fuzz::Input& input)
{
    static auto* dialogs = []
    {
        auto recording = std::make_unique<tessel::test::RecordingDialogs>();
        auto* kept = recording.get();
        Dialogs::setHandler (std::move (recording));
        return kept;
    }();
    dialogs->messages.clear();

    // The answers are there at once or never.
    WriteIRWindow::Timing::beforeResultMs = 0;
    WriteIRWindow::Timing::beforeOpenMs = 0;
    WriteIRWindow::Timing::eraseAnswerMs = 0;
    TransferTimeouts::flashWriteMs = 0;

    const int blocks = input.inRange (1, mostBlocks);

    TransferBench bench (PedalSimulator::create (kindCAB), input, resetAnswerCodes);
    bench.device->setExternalFlash (std::vector<uint8_t> ((size_t) (mostBlocks + 2) * FlashWrite::blockSize, 0x5a));

    // The bench decides each answer; past the chosen number of blocks the pedal goes.
    int writes = 0;
    bool cutOff = false;
    bench.device->decide = [&, decide = bench.device->decide] (const HidPacket& command, std::vector<HidPacket>& normal,
                                                               std::vector<HidPacket>& answers)
    {
        if (! bench.pulledOut() && command.code() == Command::flashWrite && ++writes > blocks)
        {
            cutOff = true;
            bench.bus.unplug (bench.device);
            return;
        }
        decide (command, normal, answers);
    };

    auto* job = new WriteIRWindow();
    job->run();
    const auto result = job->resultCode.load();
    job->threadComplete (false);

    require (tessel::fuzz::drainMessages(), "the message loop never runs dry");
    bench.requireLinkClosed();
    require (WriteIRWindow::jobsInProgress() == 0, "the job outlived its end");

    // No input reaches the image's end: every run fails, and says so.
    require (result == WriteIRWindow::resetFailed, "a reset that did not write the image was not a failure");
    require (dialogs->messages.size() == 1 && dialogs->messages[0].text == FactoryReset::failedMessage,
             "a failed reset was not reported once");

    if (bench.answeredNormally())
    {
        // The block the pedal went with is written, unanswered.
        require (cutOff && bench.device->externalFlashWriteCount() == blocks + 1, "the job stopped before it was cut off");

        const auto flash = bench.device->externalFlash();
        require (! flash.empty() && std::equal (flash.begin(), flash.end(), FactoryDiskImage),
                 "the flash does not hold the start of the image");
    }
}
} // namespace

const tessel::fuzz::Target tessel::fuzz::target { true, seeds, run };
