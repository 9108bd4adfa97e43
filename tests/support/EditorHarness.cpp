#include "support/EditorHarness.h"

#include "app/PromptWindow.h"
#include "device/LiveLink.h"
#include "device/TransferLink.h"
#include "pages/KVAMPView.h"
#include "app/ReplyDecoder.h"
#include "support/FakeHidapi.h"

namespace tessel::test
{
void resetLinkGlobals()
{
    stopLiveLink();
    CloseUsbHid();
    Device = kindNone;
}

EditorHarness::EditorHarness (std::function<std::unique_ptr<DiskSession>()> diskLayer)
{
    resetLinkGlobals();

    auto answers = std::make_unique<RecordingDialogs>();
    recording = answers.get();
    previousDialogs = Dialogs::setHandler (std::move (answers));

    sim::setFakeHidapiBus (&bus);
    hidManagerFactory = [this] { return bus.createHidManager(); };
    diskSessionFactory = diskLayer != nullptr
        ? std::move (diskLayer)
        : std::function<std::unique_ptr<DiskSession>()> ([this] { return disks.createSession(); });
    content = std::make_unique<MainContentComponent>();
    pumpPending();
}

EditorHarness::~EditorHarness()
{
    content = nullptr;
    pumpPending();
    hidManagerFactory = [] { return createPlatformHidManager(); };
    diskSessionFactory = [] { return createPlatformDiskSession(); };
    resetLinkGlobals();
    sim::setFakeHidapiBus (nullptr);
    Dialogs::setHandler (std::move (previousDialogs));
}

juce::MemoryBlock firmwareFile (const std::vector<uint8_t>& payload, const juce::String& deviceName)
{
    juce::MemoryBlock file (48 + payload.size(), true);
    auto* b = static_cast<uint8_t*> (file.getData());
    b[0] = 0x11;
    b[8] = 0x22;
    for (int i = 0; i < 4; ++i)
        b[4 + i] = (uint8_t) (payload.size() >> (8 * i));
    b[14] = (uint8_t) std::accumulate (payload.begin(), payload.end(), 0);
    std::memcpy (b + 16, deviceName.toRawUTF8(), std::min<size_t> (deviceName.getNumBytesAsUTF8(), 16));
    std::memset (b + 32, 'x', 16);
    std::copy (payload.begin(), payload.end(), b + 48);
    return file;
}

std::vector<std::vector<int>> takeSentFrames (sim::PedalSimulator& pedal)
{
    pumpPending();
    std::vector<std::vector<int>> frames;
    for (auto& f : pedal.takeReceivedFrames())
    {
        frames.push_back ({ f.code() });
        frames.back().insert (frames.back().end(), f.data() + 2, f.data() + 2 + f.length());
    }
    return frames;
}

std::shared_ptr<sim::PedalSimulator> EditorHarness::connect (DeviceKind kind, int patchCount)
{
    auto pedal = sim::PedalSimulator::create (kind);
    pedal->setPatches (patchCount);
    return connect (pedal);
}

std::shared_ptr<sim::PedalSimulator> EditorHarness::connect (std::shared_ptr<sim::PedalSimulator> pedal)
{
    bus.plug (pedal);

    // The dump is over once the pedal has been asked for its bypass state and that answer has been handled.
    pumpUntil (
        [&]
        {
        const auto frames = pedal->receivedFrames();
        return content->loadingWindow == nullptr
            && std::any_of (frames.begin(), frames.end(), [] (auto& f) { return f.code() == Command::getBypass; });
        },
        10000);

    pumpPending();
    return pedal;
}
} // namespace tessel::test
