#include "TransferBench.h"

#include "app/FirmwareUpdate.h"
#include "support/EditorHarness.h"

// The firmware update's exchange with a pedal in its update mode: however the
// pedal answers (or doesn't), the job ends, closes the link and says whether
// it failed; with every answer as it should be, the flash holds the program.
//
// Input: the payload's length (two bytes) and bytes, then a decision per command.

namespace
{
using tessel::fuzz::require;
using tessel::fuzz::TransferBench;
using tessel::sim::PedalSimulator;

const std::vector<uint8_t> updateModeCodes = { UpdateMode::handshake, UpdateMode::handshakeAccepted, UpdateMode::erase,
                                               UpdateMode::erased, UpdateMode::eraseFailed, UpdateMode::writeBlock,
                                               UpdateMode::blockWritten };

constexpr int largestPayload = 400;

void seeds (tessel::fuzz::SeedWriter& out)
{
    const auto program = [] (int length)
    {
        tessel::fuzz::SeedBytes seed;
        seed.byte (length & 0xff).byte (length >> 8);
        for (int i = 0; i < length; ++i)
            seed.byte (i * 13 + 1);
        return seed;
    };

    out.add (program (100));                                        // every answer as it should be
    out.add (program (41).byte (0).byte (TransferBench::silence));  // the erase goes unanswered
    out.add (program (60).byte (0).byte (0).byte (0).byte (TransferBench::pullOut));
    auto stale = program (20).byte (0).byte (0).byte (TransferBench::staleFirst);
    tessel::fuzz::appendFrameSeed (stale, HidPacket::command (UpdateMode::blockWritten));
    out.add (stale);
    auto failed = program (20).byte (0).byte (TransferBench::replace);
    tessel::fuzz::appendFrameSeed (failed, HidPacket::command (UpdateMode::eraseFailed));
    out.add (failed);
}

void run (tessel::fuzz::Input& input)
{
    // No dialog reaches the screen; the failure message is kept instead.
    static auto* dialogs = []
    {
        auto recording = std::make_unique<tessel::test::RecordingDialogs>();
        auto* kept = recording.get();
        Dialogs::setHandler (std::move (recording));
        return kept;
    }();
    dialogs->messages.clear();

    // The answers are there at once or never.
    FirmwareUpdate::answerTimeoutMs = 0;
    FirmwareUpdate::slowAnswerTimeoutMs = 0;

    const int length = input.inRange (0, largestPayload);
    const auto bytes = input.bytes ((size_t) length);
    const juce::MemoryBlock payload (bytes.data(), bytes.size());

    TransferBench bench (PedalSimulator::createUpdateModeDevice(), input, updateModeCodes);

    // As the job's thread would run it, then as the message thread ends it.
    auto* job = new FirmwareUpdate (payload);
    job->run();
    job->threadComplete (false);

    // What the job's window posted (progress, status) is handled as the message loop would.
    require (tessel::fuzz::drainMessages(), "the message loop never runs dry");

    const bool failed = ! dialogs->messages.empty();
    bench.requireLinkClosed();

    if (bench.pulledOut())
        require (failed, "an update cut off by the pedal's removal was reported done");

    if (bench.answeredNormally())
    {
        require (! failed, "an update the pedal answered as it should failed");

        auto expected = bytes;
        expected.resize ((expected.size() + UpdateMode::blockSize - 1) / UpdateMode::blockSize * UpdateMode::blockSize, 0xff);
        require (bench.device->programFlash() == expected, "the flash does not hold the program");
    }
}
} // namespace

const tessel::fuzz::Target tessel::fuzz::target { true, seeds, run };
