#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "cab/LoadDisk.h"
#include "device/ProtocolCodes.h"
#include "support/EditorHarness.h"
#include "support/SimulatedDisks.h"

using tessel::test::pumpUntil;

namespace
{
juce::String pathOf (const juce::File& root)
{
    return root.getFullPathName() + "/";
}
} // namespace

TEST (LoadDisk, AVolumeWithoutAnIndexGetsSixAttemptsHalfASecondApartEachFollowedBy0x40)
{
    tessel::test::EditorHarness harness;
    auto pedal = harness.plugIn (kindCAB);
    tessel::sim::SimulatedDisks disks;
    const auto root = disks.volumeRoot (disks.addPedalVolume());

    const auto sentIndexReads = [&]
    {
        const auto frames = pedal->receivedFrames();
        return std::count_if (frames.begin(), frames.end(),
                              [] (const HidPacket& f) { return f[0] == Command::irIndexRead && f[1] == 0; });
    };

    LoadDisk load;
    load.volumePath = [&] { return pathOf (root); };
    bool gaveUp = false;
    load.onGaveUp = [&] { gaveUp = true; };
    load.onLoaded = [] (ListInfor) { ADD_FAILURE() << "nothing to load"; };

    pedal->clearReceivedFrames();
    load.start();

    std::vector<juce::uint32> sentAt;
    const auto follow = [&]
    {
        while ((long) sentAt.size() < sentIndexReads())
            sentAt.push_back (juce::Time::getMillisecondCounter());
        return gaveUp;
    };

    ASSERT_TRUE (pumpUntil ([&] { follow(); return sentAt.size() == 1; }));

    // Between attempts the message loop is free.
    bool ran = false;
    juce::MessageManager::callAsync ([&] { ran = true; });
    ASSERT_TRUE (pumpUntil ([&] { follow(); return ran; }));
    EXPECT_EQ (sentAt.size(), 1u);
    EXPECT_TRUE (load.isLoading());

    ASSERT_TRUE (pumpUntil (follow, 6000));
    EXPECT_EQ (sentAt.size(), 6u);
    for (size_t i = 1; i < sentAt.size(); ++i)
        EXPECT_GE (sentAt[i] - sentAt[i - 1], 450u) << "attempt " << i + 1;

    // Then silence.
    EXPECT_FALSE (load.isLoading());
    pumpUntil ([&] { follow(); return false; }, 700);
    EXPECT_EQ (sentAt.size(), 6u);
}

TEST (LoadDisk, AnIndexThatTurnsUpOnARetryIsLoadedAndTheAttemptsStop)
{
    tessel::sim::SimulatedDisks disks;
    const auto root = disks.volumeRoot (disks.addPedalVolume());

    LoadDisk load;
    juce::String path;  // no volume yet: counts as a missing index
    load.volumePath = [&] { return path; };
    int sends = 0;
    load.sendIndexRead = [&] { ++sends; };
    std::optional<ListInfor> loaded;
    load.onLoaded = [&] (ListInfor info) { loaded = info; EXPECT_EQ (sends, 1); };

    load.start();
    ASSERT_TRUE (pumpUntil ([&] { return sends == 1; }));
    path = pathOf (root);

    ListInfor index;
    appendEntry (index, "Vintage.wav");
    ASSERT_TRUE (writeFileListTo (root, index));

    ASSERT_TRUE (pumpUntil ([&] { return loaded.has_value(); }));
    EXPECT_EQ (loaded->irCount, 1u);
    EXPECT_EQ (loaded->entries[0].name, "/Vintage.wav");
    EXPECT_EQ (sends, 2);  // 0x40 after the load too
    EXPECT_FALSE (load.isLoading());
}
