#include <gtest/gtest.h>

#include <unistd.h>

#include "pagekit/FirmwareUpdate.h"
#include "app/KVNoDevice.h"
#include "device/TransferLink.h"
#include "support/EditorHarness.h"
#include "support/FakeHidapi.h"

using namespace tessel::sim;
using namespace tessel::test;

namespace
{
const juce::String refusedText = "The firmware file is not compatible with your device.";
const juce::String failedText = "Firmware update failed. Please try again.";
const juce::String updateModeName = "TESSEL AMP";
constexpr uint32_t programStart = 0x08008000;

std::vector<uint8_t> payloadOf (size_t size)
{
    std::vector<uint8_t> payload (size);
    for (size_t i = 0; i < size; ++i)
        payload[i] = (uint8_t) ((i * 37 + 11) % 251);
    return payload;
}

juce::MemoryBlock firmware (const std::vector<uint8_t>& payload, const juce::String& name = updateModeName)
{
    return firmwareFile (payload, name);
}
uint32_t addressOf (const HidPacket& frame)
{
    return juce::ByteOrder::littleEndianInt (frame.data() + 2);
}

/** The editor with a pedal waiting in its update mode; short time-outs let a silent pedal end a test quickly. */
class FirmwareTest : public ::testing::Test
{
protected:
    FirmwareTest()
    {
        folder.createDirectory();
        replugPedal();
    }
    ~FirmwareTest() override
    {
        waitForTheUpdate();
        editor = nullptr;
        folder.deleteRecursively();
    }

    void replugPedal()
    {
        if (pedal != nullptr)
            editor->unplug (pedal);
        pedal = PedalSimulator::createUpdateModeDevice (updateModeName);
        editor->plugIn (pedal);
        messages().clear();
        resetFakeHidapiCounts();
    }

    juce::File write (const juce::MemoryBlock& bytes)
    {
        auto file = folder.getNonexistentChildFile ("update", ".bin");
        return file.replaceWithData (bytes.getData(), bytes.getSize()) ? file : juce::File();
    }

    KVNoDevice& page() { return editor->noDevicePage(); }
    std::vector<RecordingDialogs::Message>& messages() { return editor->messages(); }
    static bool waitForTheUpdate (int timeoutMs = 10000)
    {
        return pumpUntil ([] { return FirmwareUpdate::jobsInProgress() == 0; }, timeoutMs);
    }

    /** The payload, 0xFF-filled to its last block's end; the simulated flash only clears bits, so this proves the fill. */
    static std::vector<uint8_t> flashHolding (std::vector<uint8_t> payload)
    {
        payload.resize ((payload.size() + 19) / 20 * 20, 0xff);
        return payload;
    }

    void expectLinkClosedAfterOneOpen() const
    {
        EXPECT_TRUE (handle.load() == nullptr && fakeHidapiCounts().opens == 1 && fakeHidapiCounts().closes == 1
                     && fakeHidapiCounts().exits == 1);
    }

    /** `count` boxes shown, each untitled, with this text. */
    void expectBoxes (const juce::String& text, size_t count = 1)
    {
        ASSERT_EQ (messages().size(), count);
        for (auto& m : messages())
            EXPECT_EQ (m.title + "|" + m.text, "|" + text);
    }

    const juce::ScopedValueSetter<int> quickAnswers { FirmwareUpdate::answerTimeoutMs, 150 };
    const juce::ScopedValueSetter<int> quickSlowAnswers { FirmwareUpdate::slowAnswerTimeoutMs, 300 };
    const juce::File folder =
        juce::File::getSpecialLocation (juce::File::tempDirectory).getChildFile ("tessel-" + juce::Uuid().toString());
    std::unique_ptr<EditorHarness> editor = std::make_unique<EditorHarness>();
    std::shared_ptr<PedalSimulator> pedal;
};

using FirmwareFile = FirmwareTest;
using FirmwareButton = FirmwareTest;
using FirmwareUpdateRun = FirmwareTest;
} // namespace

TEST_F (FirmwareFile, EveryRefusedFileGetsTheSameBoxAndOnlyAFileForThisPedalPasses)
{
    const auto payload = payloadOf (100);
    auto lengthTooLong = firmware (payload), checksumWithAHighByte = firmware (payload);
    lengthTooLong[4] = 101;
    checksumWithAHighByte[15] = 1;

    // An 8 GiB file (sparse on disk) is turned away by its size alone, never read.
    const auto huge = write (firmware (payloadOf (20)));
    ASSERT_EQ (::truncate (huge.getFullPathName().toRawUTF8(), (off_t) 8 * 1024 * 1024 * 1024), 0);

    const std::tuple<const char*, juce::File, FirmwareCheck> cases[] = {
        { "made for another pedal", write (firmware (payload, "TESSEL MOD")), FirmwareCheck::otherDevice },
        { "length field too long", write (lengthTooLong), FirmwareCheck::wrongLength },
        { "checksum with a high byte", write (checksumWithAHighByte), FirmwareCheck::wrongChecksum },
        { "no program at all", write (firmware ({})), FirmwareCheck::emptyPayload },
        { "shorter than a header", write (juce::MemoryBlock (47, true)), FirmwareCheck::tooShort },
        { "a byte too large", write (firmware (payloadOf (UpdateMode::maxProgramSize + 1))), FirmwareCheck::tooLarge },
        { "8 GiB", huge, FirmwareCheck::tooLarge },
        { "no such file", folder.getChildFile ("gone.bin"), FirmwareCheck::unreadable },
    };

    const auto good = write (firmware (payload));
    juce::MemoryBlock out;

    for (const auto& [why, file, check] : cases)
    {
        SCOPED_TRACE (why);
        EXPECT_EQ (checkFirmwareFile (file, updateModeName, out), check);

        // The page refuses it with the one box, drops a pending file and starts nothing.
        messages().clear();
        ASSERT_TRUE (page().UpdateFirmware (good, false));
        EXPECT_FALSE (page().UpdateFirmware (file, false) || page().UpdateFirmware (file, true));
        EXPECT_TRUE (page().pendingFirmware == juce::File() && FirmwareUpdate::jobsInProgress() == 0);
        expectBoxes (refusedText, 2);
    }

    // Names match byte for byte, 0x80 and above included; one filling all 16 bytes (no NUL) is not read on past them.
    const juce::String accented (juce::CharPointer_UTF8 ("TESSEL \xc3\x89"
                                                         "CHO"));
    const std::tuple<juce::String, juce::String, bool> names[] = {
        { accented, accented, true },
        { "TESSEL AMP MK 2", "TESSEL AMP MK 2 ", false },
        { "TESSEL AMP MK 2", "TESSEL AMP MK", false },
        { "TESSEL AMP MK II", "TESSEL AMP MK II", true },
        { "TESSEL AMP MK II", "TESSEL AMP MK IIxxxx", false },
    };

    for (const auto& [inFile, device, compatible] : names)
        EXPECT_EQ (checkFirmwareFile (write (firmware (payloadOf (30), inFile)), device, out)
                       == FirmwareCheck::compatible,
                   compatible)
            << inFile << " / " << device;

    // The largest program the pedal can hold passes.
    EXPECT_EQ (checkFirmwareFile (write (firmware (payloadOf (UpdateMode::maxProgramSize))), updateModeName, out),
               FirmwareCheck::compatible);
    EXPECT_TRUE (fakeHidapiCounts().opens == 0 && pedal->receivedFrames().empty());
}

TEST_F (FirmwareFile, OnlyTheLinkedPedalDecidesWhichFirmwareFitsWhateverElseIsPluggedIn)
{
    editor->unplug (pedal);
    editor->connect (kindAMP, 3);
    const auto forAmp = write (firmware (payloadOf (60), "TESSEL AMP"));
    const auto forDly = write (firmware (payloadOf (60), "TESSEL DLY"));

    // A DLY this user may not open, then a DLY waiting in its update mode.
    auto locked = PedalSimulator::create (kindDLY)->identity();
    locked.accessible = false;
    const std::shared_ptr<PedalSimulator> others[] = { std::make_shared<PedalSimulator> (kindDLY, locked),
                                                       PedalSimulator::createUpdateModeDevice ("TESSEL DLY") };
    for (auto& other : others)
    {
        SCOPED_TRACE (other->identity().product);
        editor->plugIn (other);
        messages().clear();
        EXPECT_TRUE (page().UpdateFirmware (forAmp, false)) << "the linked AMP's own firmware fits";
        EXPECT_FALSE (page().UpdateFirmware (forDly, false));
        expectBoxes (refusedText);
    }
}

TEST_F (FirmwareButton, WritesAPendingFileTheWaitingPedalTakesOnceOrAsksForABinFile)
{
    const auto clickWrites = [&] (const std::vector<uint8_t>& payload, int dialogsSoFar)
    {
        click (page().firmwareButton);
        ASSERT_TRUE (waitForTheUpdate());
        EXPECT_EQ (editor->dialogs().openPatterns.size(), dialogsSoFar);
        EXPECT_EQ (pedal->programFlash(), flashHolding (payload));
    };

    // Cancelling the file dialog changes nothing.
    click (page().firmwareButton);
    EXPECT_EQ (editor->dialogs().openPatterns, juce::StringArray ("*.bin"));
    EXPECT_TRUE (FirmwareUpdate::jobsInProgress() == 0 && messages().empty() && pedal->receivedFrames().empty());

    // A pending file is written at once, without a dialog, and used up.
    const auto pending = payloadOf (95);
    ASSERT_TRUE (page().UpdateFirmware (write (firmware (pending)), false));
    clickWrites (pending, 1);

    // Used up: the next click asks for a file, and writes the one picked.
    const auto picked = payloadOf (333);
    editor->dialogs().fileAnswers.push_back (write (firmware (picked)));
    clickWrites (picked, 2);

    // A pending file deleted meanwhile: the dialog opens instead.
    const auto deleted = write (firmware (payloadOf (50)));
    const auto chosen = payloadOf (70);
    editor->dialogs().fileAnswers.push_back (write (firmware (chosen)));
    ASSERT_TRUE (page().UpdateFirmware (deleted, false) && deleted.deleteFile());
    clickWrites (chosen, 3);
    EXPECT_TRUE (messages().empty());
}

TEST_F (FirmwareButton, AfterTheOtherWaitingPedalIsUnpluggedAsAdvisedItWritesTheOneLeft)
{
    const auto other = PedalSimulator::createUpdateModeDevice ("TESSEL DLY");
    editor->plugIn (other);
    messages().clear();

    editor->dialogs().fileAnswers.push_back (write (firmware (payloadOf (80), "TESSEL DLY")));
    click (page().firmwareButton);
    ASSERT_TRUE (waitForTheUpdate());
    expectBoxes (FirmwareUpdate::cannotTellApartMessage);

    // The page now speaks for the pedal still waiting, and checks files against its name.
    editor->unplug (other);
    ASSERT_TRUE (page().firmwareButton.isVisible());
    EXPECT_TRUE (page().deviceName == updateModeName && page().statusLabel.getText() == "Device Connected.");

    const auto payload = payloadOf (90);
    editor->dialogs().fileAnswers.push_back (write (firmware (payload)));
    messages().clear();
    click (page().firmwareButton);
    ASSERT_TRUE (waitForTheUpdate());
    EXPECT_TRUE (messages().empty());
    EXPECT_EQ (pedal->programFlash(), flashHolding (payload));
    EXPECT_TRUE (other->receivedFrames().empty());
}

TEST_F (FirmwareUpdateRun, APedalThatHidapiListsOncePerReportCollectionIsUpdated)
{
    editor->unplug (pedal);
    auto usb = pedal->identity();
    usb.topLevelCollections = 2;
    pedal = std::make_shared<PedalSimulator> (kindNone, usb);
    editor->plugIn (pedal);
    resetFakeHidapiCounts();

    const auto payload = payloadOf (70);
    page().UpdateFirmware (write (firmware (payload)), true);
    ASSERT_TRUE (waitForTheUpdate());
    EXPECT_TRUE (messages().empty());
    EXPECT_EQ (pedal->programFlash(), flashHolding (payload));
    expectLinkClosedAfterOneOpen();
}

TEST_F (FirmwareUpdateRun, HandshakeEraseThenBlocksFromOneOnwardsAndBlockZeroLastFillTheProgramFlash)
{
    for (size_t size : { 1, 20, 41, 60, 4099 })
    {
        SCOPED_TRACE ((int) size);
        const auto blocks = (size + 19) / 20;
        pedal->setProgramFlash (std::vector<uint8_t> (5000, 0x00)); // the old program
        pedal->clearReceivedFrames();
        resetFakeHidapiCounts();
        const auto payload = payloadOf (size);
        page().UpdateFirmware (write (firmware (payload)), true);
        ASSERT_TRUE (waitForTheUpdate());

        EXPECT_EQ (pedal->programFlash(), flashHolding (payload));
        EXPECT_TRUE (messages().empty());
        expectLinkClosedAfterOneOpen();

        // The simulated pedal answers only an exact handshake and erase, so a filled flash vouches for those.
        const auto frames = pedal->receivedFrames();
        ASSERT_EQ (frames.size(), 2 + blocks);
        EXPECT_TRUE (frames[0].code() == 0x13 && frames[1].code() == 0x06);
        for (size_t k = 1; k <= blocks; ++k)
            EXPECT_TRUE (frames[1 + k].code() == 0x03
                         && addressOf (frames[1 + k]) == programStart + (k < blocks ? 20 * (uint32_t) k : 0))
                << k;
    }
}

TEST_F (FirmwareUpdateRun, APleaseWaitWindowStaysUpAndAfterAFailureTheNextUpdateStartsFromBlockOne)
{
    // Block 0 goes unanswered, which keeps the window up for a while.
    FirmwareUpdate::slowAnswerTimeoutMs = 1500;
    pedal->injectFault (Fault::noAnswer, UpdateMode::writeBlock, 2);
    const auto payload = payloadOf (55);
    const auto file = write (firmware (payload));

    page().UpdateFirmware (file, true);
    ASSERT_TRUE (pumpUntil ([&] { return pedal->receivedFrames().size() == 5; }));

    auto* window = dynamic_cast<juce::AlertWindow*> (juce::Component::getCurrentlyModalComponent());
    ASSERT_TRUE (window != nullptr && window->getName() == "Firmware Updating" && window->isVisible());
    EXPECT_EQ (window->getNumButtons(), 0) << "an update cannot be cancelled";

    // Block 0 gets the slow time-out: the job still waits well after the normal one has passed.
    EXPECT_FALSE (
        pumpUntil ([] { return FirmwareUpdate::jobsInProgress() == 0; }, 3 * FirmwareUpdate::answerTimeoutMs));

    ASSERT_TRUE (waitForTheUpdate());
    EXPECT_EQ (juce::Component::getCurrentlyModalComponent(), nullptr);
    expectBoxes (failedText);

    pedal->clearReceivedFrames();
    page().UpdateFirmware (file, true);
    ASSERT_TRUE (waitForTheUpdate());
    ASSERT_EQ (pedal->receivedFrames().size(), 5u);
    EXPECT_TRUE (addressOf (pedal->receivedFrames()[2]) == programStart + 20 && messages().size() == 1u)
        << "the second update went through";
    EXPECT_EQ (pedal->programFlash(), flashHolding (payload));
}

TEST_F (FirmwareUpdateRun, EveryFailureEndsPromptlyWithTheLinkClosedAndTheUserTold)
{
    // Five blocks go out: 1, 2, 3, 4, then 0. Each fault hits the handshake, the erase, block 2 or block 0.
    const std::pair<int, int> stages[] = { { UpdateMode::handshake, 0 },
                                           { UpdateMode::erase, 0 },
                                           { UpdateMode::writeBlock, 1 },
                                           { UpdateMode::writeBlock, 4 } };
    const auto file = write (firmware (payloadOf (100)));

    const auto failsAfter = [&] (int sent, const std::function<void()>& fault)
    {
        replugPedal();
        fault();
        const auto start = std::chrono::steady_clock::now();
        page().UpdateFirmware (file, true);
        ASSERT_TRUE (waitForTheUpdate (5000)) << "the job hangs";
        EXPECT_LT (std::chrono::steady_clock::now() - start, std::chrono::seconds (2));
        expectBoxes (failedText);
        expectLinkClosedAfterOneOpen();
        EXPECT_EQ ((int) pedal->receivedFrames().size(), sent) << "nothing is sent after the failure";
    };

    for (auto fault : { Fault::noAnswer, Fault::badChecksum, Fault::wrongCode, Fault::unplug })
        for (auto [command, skip] : stages)
        {
            SCOPED_TRACE (testing::Message()
                          << "fault " << (int) fault << " on command " << command << " after " << skip);
            failsAfter (command == UpdateMode::handshake   ? 1
                            : command == UpdateMode::erase ? 2
                                                           : 3 + skip,
                        [&, fault = fault, command = command, skip = skip]
                        { pedal->injectFault (fault, command, skip); });
        }

    // The pedal saying its erase failed (0x08) stops the update before any block.
    failsAfter (2, [&] { pedal->setEraseFails (true); });

    // A pedal gone before the update starts: its name is still known, so the file passes and the update fails unopened.
    replugPedal();
    editor->bus.unplug (pedal);
    page().UpdateFirmware (file, true);
    ASSERT_TRUE (waitForTheUpdate());
    expectBoxes (failedText);
    EXPECT_TRUE (fakeHidapiCounts().opens == 0 && handle.load() == nullptr);
}

TEST_F (FirmwareUpdateRun, TwoPedalsWaitingInTheirUpdateModeGetNothingAndTheUserIsTold)
{
    // Neither is linked, so nothing tells which one the file was checked for.
    const auto second = PedalSimulator::createUpdateModeDevice ("TESSEL DLY");
    editor->plugIn (second);
    messages().clear();
    resetFakeHidapiCounts();

    page().UpdateFirmware (write (firmware (payloadOf (100), "TESSEL DLY")), true);
    ASSERT_TRUE (waitForTheUpdate());
    expectBoxes (FirmwareUpdate::cannotTellApartMessage);
    EXPECT_TRUE (fakeHidapiCounts().opens == 0 && handle.load() == nullptr);
    EXPECT_TRUE (pedal->receivedFrames().empty() && second->receivedFrames().empty());
}
