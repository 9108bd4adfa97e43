#include <benchmark/benchmark.h>

#include <cstring>

#include "pagekit/FirmwareUpdate.h"
#include "app/KVNoDevice.h"
#include "device/ProtocolCodes.h"
#include "device/TransferLink.h"
#include "support/EditorHarness.h"
#include "support/FakeHidapi.h"

// What the transfer link costs the host, against a simulated pedal that
// answers at once. On the wire a full-speed HID pedal moves one report per
// millisecond each way, and every block needs one of each, so the real link
// spends at least 1 ms per round trip and at least 13 s on a 256 KiB firmware
// (13108 blocks); the host's own share must stay far below that.

static void BM_TransferLinkRoundTrip (benchmark::State& state)
{
    tessel::sim::SimulatedUsbBus bus;
    tessel::sim::setFakeHidapiBus (&bus);
    bus.plug (tessel::sim::PedalSimulator::create (kindCAB));

    if (OpenUsbHid (Usb::korvelVendorId, Usb::cabProductId) != 1)
    {
        state.SkipWithError ("the simulated pedal could not be opened");
        tessel::sim::setFakeHidapiBus (nullptr);
        return;
    }

    // One frame out, its answer back: the transfer-state command.
    for (auto _ : state)
        HIDAPI_DEVICEHID_DEBUG_TRANS_STATE (1);

    CloseUsbHid();
    tessel::sim::setFakeHidapiBus (nullptr);

    state.counters["usb_floor_us"] = 1000.0;
}
BENCHMARK (BM_TransferLinkRoundTrip)->Unit (benchmark::kMicrosecond);

static void BM_FirmwareUpdateOf256KiB (benchmark::State& state)
{
    constexpr size_t payloadSize = 256 * 1024;
    const auto blocks = (payloadSize + UpdateMode::blockSize - 1) / UpdateMode::blockSize;

    tessel::test::EditorHarness editor;
    auto pedal = tessel::sim::PedalSimulator::createUpdateModeDevice ("TESSEL AMP");
    editor.plugIn (pedal);

    // A firmware file as a user would pick it.
    juce::MemoryBlock file (FirmwareHeader::size + payloadSize, true);
    auto* bytes = static_cast<uint8_t*> (file.getData());
    uint8_t sum = 0;
    for (size_t i = 0; i < payloadSize; ++i)
    {
        bytes[FirmwareHeader::size + i] = (uint8_t) (i * 31 + 7);
        sum = (uint8_t) (sum + bytes[FirmwareHeader::size + i]);
    }
    bytes[4] = (uint8_t) (payloadSize & 0xff);
    bytes[5] = (uint8_t) ((payloadSize >> 8) & 0xff);
    bytes[6] = (uint8_t) ((payloadSize >> 16) & 0xff);
    bytes[14] = sum;
    std::memcpy (bytes + 16, "TESSEL AMP", 10);

    juce::TemporaryFile temporary (".bin");
    temporary.getFile().replaceWithData (file.getData(), file.getSize());

    double jobMilliseconds = 0.0;

    for (auto _ : state)
    {
        pedal->clearReceivedFrames();
        const auto closesBefore = tessel::sim::fakeHidapiCounts().closes;
        const auto start = juce::Time::getMillisecondCounterHiRes();

        editor.noDevicePage().UpdateFirmware (temporary.getFile(), true);

        // The job itself ends when it closes the link; the window notices on
        // its next tick (up to 100 ms later), which the wall time includes.
        tessel::test::pumpUntil ([&] { return tessel::sim::fakeHidapiCounts().closes > closesBefore; }, 600000);
        jobMilliseconds += juce::Time::getMillisecondCounterHiRes() - start;

        tessel::test::pumpUntil ([] { return FirmwareUpdate::jobsInProgress() == 0; }, 600000);
    }

    state.counters["job_ms"] = jobMilliseconds / (double) state.iterations();

    if (pedal->programFlash().size() != blocks * UpdateMode::blockSize)
        state.SkipWithError ("the update did not reach the end");

    state.counters["blocks"] = (double) blocks;
    state.counters["usb_floor_ms"] = (double) (blocks + 2);
}
BENCHMARK (BM_FirmwareUpdateOf256KiB)->Unit (benchmark::kMillisecond)->Iterations (3);
