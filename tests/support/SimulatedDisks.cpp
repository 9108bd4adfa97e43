#include "support/SimulatedCabVolume.h"

#include <juce_events/juce_events.h>

#include "cab/FileList.h"
#include "device/PedalVolumeWatcher.h"

namespace tessel::sim
{
struct SimulatedDisks::State
{
    struct Disk
    {
        DiskDescription description;
        juce::File root;
        bool mounted = false;
    };

    std::vector<Disk> disks;
    std::vector<std::weak_ptr<DiskSession::Listener*>> sessions;

    static void tell (std::weak_ptr<DiskSession::Listener*> session, const DiskDescription& disk, bool appeared)
    {
        juce::MessageManager::callAsync (
            [session, disk, appeared]
            {
            if (auto cell = session.lock())
                if (auto* listener = *cell)
                    appeared ? listener->diskAppeared (disk) : listener->diskDisappeared (disk);
        });
    }

    void setMounted (int number, bool mounted)
    {
        auto& disk = disks.at ((size_t) number);
        if (std::exchange (disk.mounted, mounted) != mounted)
            for (const auto& session : sessions)
                tell (session, disk.description, mounted);
    }
};

namespace
{
class SimulatedDiskSession final : public DiskSession
{
public:
    explicit SimulatedDiskSession (std::shared_ptr<SimulatedDisks::State> s)
        : state (std::move (s)),
          listenerCell (std::make_shared<Listener*> (nullptr))
    {
    }

    void setListener (Listener* listener) override { *listenerCell = listener; }

    bool open() override
    {
        state->sessions.push_back (listenerCell);
        for (const auto& disk : state->disks)
            if (disk.mounted)
                SimulatedDisks::State::tell (listenerCell, disk.description, true);
        return true;
    }

    // The simulated machine never tells of a disk left unmounted.
    void mount (const DiskDescription& disk) override
    {
        juce::MessageManager::callAsync (
            [cell = std::weak_ptr<Listener*> (listenerCell), disk]
            {
            if (auto owner = cell.lock())
                if (auto* listener = *owner)
                    listener->diskMountFailed (disk, "nothing mounts disks here", MountFailure::refused);
        });
    }

private:
    std::shared_ptr<SimulatedDisks::State> state;
    std::shared_ptr<Listener*> listenerCell;
};
} // namespace

SimulatedDisks::SimulatedDisks()
    : state (std::make_shared<State>())
{
}

SimulatedDisks::~SimulatedDisks()
{
    for (auto& disk : state->disks)
        disk.root.deleteRecursively();
}

int SimulatedDisks::add (const juce::String& vendor, const juce::String& model, const juce::String& volumeName,
                         bool mountNow, const juce::String& usbDevice)
{
    const auto number = (int) state->disks.size();

    State::Disk disk;
    disk.root =
        juce::File::getSpecialLocation (juce::File::tempDirectory)
            .getNonexistentChildFile (
                "tessel-volume-" + juce::String::toHexString (juce::Random::getSystemRandom().nextInt64()), {}, false);
    disk.root.createDirectory();
    disk.description = { "sd" + juce::String::charToString ((juce::juce_wchar) ('b' + number)) + "1",
                         vendor,
                         model,
                         volumeName,
                         disk.root.getFullPathName(),
                         usbDevice };
    state->disks.push_back (disk);

    if (mountNow)
        mount (number);

    return number;
}

int SimulatedDisks::addPedalVolume (const juce::String& volumeName, bool mountNow, const juce::String& usbDevice)
{
    return add (PedalVolume::deviceVendor, PedalVolume::deviceModel, volumeName, mountNow, usbDevice);
}

void SimulatedDisks::unmount (int number)
{
    state->setMounted (number, false);
}
void SimulatedDisks::mount (int number)
{
    state->setMounted (number, true);
}

juce::File SimulatedDisks::volumeRoot (int number) const
{
    return state->disks.at ((size_t) number).root;
}

std::unique_ptr<DiskSession> SimulatedDisks::createSession()
{
    return std::make_unique<SimulatedDiskSession> (state);
}

// The CAB pedal's volume, as SimulatedCabVolume.h describes it.
bool writeIrWav (const juce::File& file, int bytes)
{
    juce::MemoryBlock data ((size_t) bytes, true);
    data.copyFrom ("RIFF....WAVEfmt ", 0, 16);
    data.copyFrom ("data", 36, 4);
    for (auto [at, value] : { std::pair<int, int> { 4, bytes - 8 },
                              { 16, 16 },
                              { 20, 0x10001 },
                              { 24, 48000 },
                              { 28, 96000 },
                              { 32, 0x100002 },
                              { 40, bytes - 44 } })
    {
        const auto field = juce::ByteOrder::swapIfBigEndian ((uint32_t) value);
        data.copyFrom (&field, at, 4);
    }
    return file.replaceWithData (data.getData(), data.getSize());
}

int addCabVolume (SimulatedDisks& disks, const juce::StringArray& irFiles, bool mountNow, const juce::String& usbDevice)
{
    const int disk = disks.addPedalVolume ("TESSEL", false, usbDevice);
    const auto root = disks.volumeRoot (disk);

    ListInfor index;
    for (const auto& name : irFiles)
    {
        writeIrWav (root.getChildFile (name));
        appendEntry (index, name);
    }

    writeFileListTo (root, index);

    if (mountNow)
        disks.mount (disk);

    return disk;
}
} // namespace tessel::sim
