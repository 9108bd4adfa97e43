#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <unistd.h>

#include "app/FirmwareUpdate.h"
#include "app/KVNoDevice.h"
#include "device/ProtocolCodes.h"
#include "device/TransferLink.h"
#include "support/EditorHarness.h"
#include "support/FakeHidapi.h"

using tessel::sim::Fault;
using tessel::sim::PedalSimulator;
using tessel::sim::fakeHidapiCounts;
using tessel::sim::fakeHidapiOpenHandles;
using tessel::test::EditorHarness;
using tessel::test::pumpPending;
using tessel::test::pumpUntil;

namespace
{
const juce::String refusedText = "The firmware file is not compatible with your device.";
const juce::String failedText = "Firmware update failed. Please try again.";
const juce::String updateModeName = "TESSEL AMP";

/** What goes into a firmware file; anything left unset is made right. */
struct FirmwareSpec
{
    explicit FirmwareSpec (std::vector<uint8_t> bytes) : payload (std::move (bytes)) {}

    std::vector<uint8_t> payload;
    juce::String deviceName = updateModeName;
    std::optional<std::array<uint8_t, 16>> rawName;
    std::optional<uint32_t> lengthField;
    std::optional<uint16_t> checksumField;
};

juce::MemoryBlock firmwareBytes (const FirmwareSpec& spec)
{
    juce::MemoryBlock bytes (48 + spec.payload.size(), true);
    auto* b = static_cast<uint8_t*> (bytes.getData());

    const auto length = spec.lengthField.value_or ((uint32_t) spec.payload.size());
    unsigned sum = 0;
    for (auto v : spec.payload)
        sum += v;
    const auto checksum = spec.checksumField.value_or ((uint16_t) (sum & 0xff));

    b[0] = 0x11;  // fields the editor does not use
    b[8] = 0x22;
    for (int i = 0; i < 4; ++i)
        b[4 + i] = (uint8_t) (length >> (8 * i));
    b[14] = (uint8_t) (checksum & 0xff);
    b[15] = (uint8_t) (checksum >> 8);

    if (spec.rawName)
    {
        std::copy (spec.rawName->begin(), spec.rawName->end(), b + 16);
    }
    else
    {
        const auto name = spec.deviceName.toStdString();
        std::copy_n (name.begin(), std::min<size_t> (name.size(), 16), b + 16);
    }

    std::fill (b + 32, b + 48, (uint8_t) 'x');
    std::copy (spec.payload.begin(), spec.payload.end(), b + 48);
    return bytes;
}

std::vector<uint8_t> payloadOf (size_t size)
{
    std::vector<uint8_t> payload (size);
    for (size_t i = 0; i < size; ++i)
        payload[i] = (uint8_t) ((i * 37 + 11) % 251);
    return payload;
}

/** A folder of firmware files that goes away with the test. */
class ScratchFolder
{
public:
    ScratchFolder()
    {
        folder = juce::File::getSpecialLocation (juce::File::tempDirectory)
                     .getChildFile ("tessel-firmware-" + juce::Uuid().toString());
        folder.createDirectory();
    }

    ~ScratchFolder() { folder.deleteRecursively(); }

    juce::File write (const juce::MemoryBlock& bytes, const juce::String& name = "update.bin")
    {
        auto file = folder.getNonexistentChildFile (juce::File::createLegalFileName (name).upToLastOccurrenceOf (".", false, false), ".bin");
        file.replaceWithData (bytes.getData(), bytes.getSize());
        return file;
    }

    juce::File write (const FirmwareSpec& spec, const juce::String& name = "update.bin")
    {
        return write (firmwareBytes (spec), name);
    }

    juce::File folder;
};

/** The editor with a pedal waiting in its update mode, and short time-outs
    so that a silent pedal ends a test quickly. */
class FirmwareTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        FirmwareUpdate::answerTimeoutMs = 150;
        FirmwareUpdate::slowAnswerTimeoutMs = 300;
        resetFirmwareWriter();

        editor = std::make_unique<EditorHarness>();
        pedal = PedalSimulator::createUpdateModeDevice (updateModeName);
        editor->plugIn (pedal);
        tessel::sim::resetFakeHidapiCounts();
    }

    void TearDown() override
    {
        waitForTheUpdate();
        editor = nullptr;
        FirmwareUpdate::answerTimeoutMs = savedAnswerMs;
        FirmwareUpdate::slowAnswerTimeoutMs = savedSlowAnswerMs;
    }

    KVNoDevice& page() { return editor->noDevicePage(); }
    std::vector<tessel::test::RecordingDialogs::Message>& messages() { return editor->messages(); }

    void clickFirmwareButton()
    {
        page().firmwareButton.triggerClick();
        pumpPending();
    }

    /** Runs the message loop until the update's window has closed and the
        job is gone; false if that takes longer than the time given. */
    static bool waitForTheUpdate (int timeoutMs = 10000)
    {
        return pumpUntil ([] { return FirmwareUpdate::jobsInProgress() == 0; }, timeoutMs);
    }

    static juce::AlertWindow* updateWindow()
    {
        auto& desktop = juce::Desktop::getInstance();
        for (int i = 0; i < desktop.getNumComponents(); ++i)
            if (auto* window = dynamic_cast<juce::AlertWindow*> (desktop.getComponent (i)))
                if (window->getName() == FirmwareUpdate::title && window->isVisible())
                    return window;
        return nullptr;
    }

    std::vector<HidPacket> writes() const
    {
        std::vector<HidPacket> frames;
        for (auto& frame : pedal->receivedFrames())
            if (frame.code() == UpdateMode::writeBlock)
                frames.push_back (frame);
        return frames;
    }

    static uint32_t addressOf (const HidPacket& frame)
    {
        return (uint32_t) frame[2] | ((uint32_t) frame[3] << 8) | ((uint32_t) frame[4] << 16) | ((uint32_t) frame[5] << 24);
    }

    /** The flash as a finished update leaves it: the payload, then 0xFF to the end of its last block. */
    static std::vector<uint8_t> expectedFlash (const std::vector<uint8_t>& payload)
    {
        auto flash = payload;
        flash.resize ((payload.size() + 19) / 20 * 20, 0xff);
        return flash;
    }

    void expectLinkClosed() const
    {
        EXPECT_EQ (handle.load(), nullptr);
        EXPECT_EQ (fakeHidapiOpenHandles(), 0);
        const auto counts = fakeHidapiCounts();
        EXPECT_EQ (counts.closes, counts.opens);
        EXPECT_EQ (counts.exits, counts.opens);
    }

    std::unique_ptr<EditorHarness> editor;
    std::shared_ptr<PedalSimulator> pedal;
    ScratchFolder files;

private:
    const int savedAnswerMs = FirmwareUpdate::answerTimeoutMs;
    const int savedSlowAnswerMs = FirmwareUpdate::slowAnswerTimeoutMs;
};

using FirmwareFile = FirmwareTest;
using FirmwareButton = FirmwareTest;
using FirmwareUpdateRun = FirmwareTest;
using FirmwareUpdateFaults = FirmwareTest;
} // namespace

//==============================================================================
TEST_F (FirmwareFile, AFileMadeForTheWaitingPedalIsKeptForTheButton)
{
    ASSERT_EQ (page().deviceName, updateModeName);
    const auto file = files.write (FirmwareSpec { payloadOf (100) });

    EXPECT_TRUE (page().UpdateFirmware (file, false));
    EXPECT_EQ (page().pendingFirmware, file);
    EXPECT_TRUE (messages().empty());
    EXPECT_EQ (fakeHidapiCounts().opens, 0) << "nothing is sent until the button is clicked";
}

TEST_F (FirmwareFile, EveryRefusedFileGetsTheSameBoxAndDropsThePendingOne)
{
    const auto good = files.write (FirmwareSpec { payloadOf (100) });
    const auto sum = [] (const std::vector<uint8_t>& p) { unsigned s = 0; for (auto v : p) s += v; return s; };
    const auto payload = payloadOf (100);

    juce::MemoryBlock tooShort (47, true);
    auto missing = files.folder.getChildFile ("gone.bin");

    struct Case
    {
        const char* why;
        juce::File file;
    };

    FirmwareSpec otherName { payload };
    otherName.deviceName = "TESSEL MOD";
    FirmwareSpec otherCase { payload };
    otherCase.deviceName = "tessel amp";
    FirmwareSpec longer { payload };
    longer.lengthField = 101;
    FirmwareSpec wrongSum { payload };
    wrongSum.checksumField = (uint16_t) ((sum (payload) + 1) & 0xff);
    FirmwareSpec wholeSum { payload };
    wholeSum.checksumField = (uint16_t) (sum (payload) | 0x100);

    const Case cases[] = {
        { "made for another pedal", files.write (otherName) },
        { "device name in another case", files.write (otherCase) },
        { "length field disagrees with the file", files.write (longer) },
        { "checksum off by one", files.write (wrongSum) },
        { "checksum with a high byte", files.write (wholeSum) },
        { "shorter than a header", files.write (tooShort) },
        { "no such file", missing },
        { "a folder", files.folder },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.why);
        messages().clear();
        ASSERT_TRUE (page().UpdateFirmware (good, false));

        EXPECT_FALSE (page().UpdateFirmware (c.file, false));
        EXPECT_EQ (page().pendingFirmware, juce::File());
        ASSERT_EQ (messages().size(), 1u);
        EXPECT_EQ (messages()[0].title, "");
        EXPECT_EQ (messages()[0].text, refusedText);

        // Asked to start at once, it starts nothing.
        EXPECT_FALSE (page().UpdateFirmware (c.file, true));
        EXPECT_EQ (FirmwareUpdate::jobsInProgress(), 0);
        EXPECT_EQ (messages().size(), 2u);
    }

    EXPECT_EQ (fakeHidapiCounts().opens, 0);
    EXPECT_TRUE (pedal->receivedFrames().empty());
}

TEST_F (FirmwareFile, TheNameIsCheckedFirstThenTheLengthThenTheChecksum)
{
    const auto payload = payloadOf (60);
    juce::MemoryBlock out;

    FirmwareSpec allWrong { payload };
    allWrong.deviceName = "OTHER";
    allWrong.lengthField = 1;
    allWrong.checksumField = 0x1ff;
    EXPECT_EQ (checkFirmwareFile (files.write (allWrong), updateModeName, out), FirmwareCheck::otherDevice);

    FirmwareSpec lengthAndSum { payload };
    lengthAndSum.lengthField = 1;
    lengthAndSum.checksumField = 0x1ff;
    EXPECT_EQ (checkFirmwareFile (files.write (lengthAndSum), updateModeName, out), FirmwareCheck::wrongLength);

    FirmwareSpec sumOnly { payload };
    sumOnly.checksumField = 0x1ff;
    EXPECT_EQ (checkFirmwareFile (files.write (sumOnly), updateModeName, out), FirmwareCheck::wrongChecksum);

    EXPECT_EQ (checkFirmwareFile (files.write (FirmwareSpec { payload }), updateModeName, out), FirmwareCheck::compatible);
    EXPECT_EQ (out, juce::MemoryBlock (payload.data(), payload.size()));
}

TEST_F (FirmwareFile, DeviceNamesMatchByteForByteUpToTheirEnd)
{
    juce::MemoryBlock out;
    const auto check = [&] (const FirmwareSpec& spec, const juce::String& deviceName)
    {
        return checkFirmwareFile (files.write (spec), deviceName, out) == FirmwareCheck::compatible;
    };

    FirmwareSpec fifteen { payloadOf (30) };
    fifteen.deviceName = "TESSEL AMP MK 2";  // 15 characters and a NUL
    EXPECT_TRUE (check (fifteen, "TESSEL AMP MK 2"));
    EXPECT_FALSE (check (fifteen, "Tessel Amp Mk 2"));
    EXPECT_FALSE (check (fifteen, "TESSEL AMP MK 2 "));
    EXPECT_FALSE (check (fifteen, "TESSEL AMP MK"));

    // A name that fills all sixteen bytes is compared whole, and never read
    // on into the bytes that follow it.
    FirmwareSpec full { payloadOf (30) };
    std::array<uint8_t, 16> name {};
    const char* text = "TESSEL AMP MK II";
    std::copy (text, text + 16, name.begin());
    full.rawName = name;
    EXPECT_TRUE (check (full, "TESSEL AMP MK II"));
    EXPECT_FALSE (check (full, "TESSEL AMP MK IIxxxx"));
    EXPECT_FALSE (check (full, "TESSEL AMP MK I"));
}

TEST_F (FirmwareFile, AFileTooLargeForTheProgramFlashIsRefusedWithoutBeingRead)
{
    juce::MemoryBlock out;

    // The largest program the pedal can hold still passes...
    const auto largest = payloadOf (UpdateMode::maxProgramSize);
    EXPECT_EQ (checkFirmwareFile (files.write (FirmwareSpec { largest }), updateModeName, out), FirmwareCheck::compatible);

    // ...one byte more does not, whatever its header says...
    const auto oneMore = payloadOf (UpdateMode::maxProgramSize + 1);
    EXPECT_EQ (checkFirmwareFile (files.write (FirmwareSpec { oneMore }), updateModeName, out), FirmwareCheck::tooLarge);

    // ...and an enormous file is turned away at once: reading 8 GiB would not
    // fit this test's memory or its time. The file is sparse on disk.
    const auto huge = files.write (FirmwareSpec { payloadOf (20) }, "huge.bin");
    ASSERT_EQ (::truncate (huge.getFullPathName().toRawUTF8(), (off_t) 8 * 1024 * 1024 * 1024), 0);

    EXPECT_EQ (checkFirmwareFile (huge, updateModeName, out), FirmwareCheck::tooLarge);
    EXPECT_FALSE (page().UpdateFirmware (huge, false));
    ASSERT_EQ (messages().size(), 1u);
    EXPECT_EQ (messages()[0].text, refusedText);
}

//==============================================================================
TEST_F (FirmwareButton, APendingFileIsWrittenAtOnceAndUsedUp)
{
    const auto payload = payloadOf (95);
    ASSERT_TRUE (page().UpdateFirmware (files.write (FirmwareSpec { payload }), false));
    ASSERT_TRUE (page().firmwareButton.isVisible());

    clickFirmwareButton();
    ASSERT_TRUE (waitForTheUpdate());

    EXPECT_TRUE (editor->dialogs().openPatterns.isEmpty()) << "no file dialog";
    EXPECT_EQ (page().pendingFirmware, juce::File());
    EXPECT_EQ (pedal->programFlash(), expectedFlash (payload));
    EXPECT_TRUE (messages().empty());

    // Used up: the next click asks for a file.
    clickFirmwareButton();
    EXPECT_EQ (editor->dialogs().openPatterns, juce::StringArray ("*.bin"));
}

TEST_F (FirmwareButton, WithNoPendingFileTheUserPicksABinFile)
{
    const auto payload = payloadOf (333);
    editor->dialogs().fileAnswers.push_back (files.write (FirmwareSpec { payload }));

    clickFirmwareButton();
    ASSERT_TRUE (waitForTheUpdate());

    EXPECT_EQ (editor->dialogs().openPatterns, juce::StringArray ("*.bin"));
    EXPECT_EQ (pedal->programFlash(), expectedFlash (payload));
    EXPECT_TRUE (messages().empty());
}

TEST_F (FirmwareButton, APendingFileDeletedMeanwhileOpensTheFileDialogInstead)
{
    const auto pending = files.write (FirmwareSpec { payloadOf (50) });
    ASSERT_TRUE (page().UpdateFirmware (pending, false));
    ASSERT_TRUE (pending.deleteFile());

    const auto chosen = payloadOf (70);
    editor->dialogs().fileAnswers.push_back (files.write (FirmwareSpec { chosen }, "chosen.bin"));

    clickFirmwareButton();
    ASSERT_TRUE (waitForTheUpdate());

    EXPECT_EQ (editor->dialogs().openPatterns.size(), 1);
    EXPECT_EQ (pedal->programFlash(), expectedFlash (chosen));
}

TEST_F (FirmwareButton, CancellingTheFileDialogChangesNothing)
{
    clickFirmwareButton();

    EXPECT_EQ (editor->dialogs().openPatterns.size(), 1);
    EXPECT_EQ (FirmwareUpdate::jobsInProgress(), 0);
    EXPECT_TRUE (messages().empty());
    EXPECT_EQ (fakeHidapiCounts().opens, 0);
    EXPECT_TRUE (pedal->receivedFrames().empty());
    EXPECT_TRUE (page().firmwareButton.isVisible());
}

TEST_F (FirmwareButton, APendingFileThePedalNowInUpdateModeRefusesIsDropped)
{
    ASSERT_TRUE (page().UpdateFirmware (files.write (FirmwareSpec { payloadOf (40) }), false));

    // A different pedal comes up in update mode than the file was chosen for.
    editor->unplug (pedal);
    auto other = PedalSimulator::createUpdateModeDevice ("TESSEL DLY");
    editor->plugIn (other);
    ASSERT_EQ (page().deviceName, "TESSEL DLY");

    clickFirmwareButton();
    EXPECT_EQ (FirmwareUpdate::jobsInProgress(), 0);
    ASSERT_EQ (messages().size(), 1u);
    EXPECT_EQ (messages()[0].text, refusedText);
    EXPECT_EQ (page().pendingFirmware, juce::File());
    EXPECT_TRUE (other->receivedFrames().empty());

    clickFirmwareButton();
    EXPECT_EQ (editor->dialogs().openPatterns.size(), 1);
}

//==============================================================================
TEST_F (FirmwareUpdateRun, TheProgramFlashEndsUpHoldingTheFilesPayload)
{
    struct Case
    {
        size_t size;
        int blocks;
    };

    for (auto c : { Case { 0, 0 }, Case { 1, 1 }, Case { 20, 1 }, Case { 41, 3 }, Case { 60, 3 }, Case { 4099, 205 } })
    {
        SCOPED_TRACE ((int) c.size);
        pedal->setProgramFlash (std::vector<uint8_t> (5000, 0x00));  // the old program
        pedal->clearReceivedFrames();
        tessel::sim::resetFakeHidapiCounts();

        const auto payload = payloadOf (c.size);
        page().UpdateFirmware (files.write (FirmwareSpec { payload }), true);
        ASSERT_TRUE (waitForTheUpdate());

        EXPECT_EQ (pedal->programFlash(), expectedFlash (payload));
        EXPECT_EQ ((int) writes().size(), c.blocks);
        EXPECT_TRUE (messages().empty());
        expectLinkClosed();
        EXPECT_EQ (fakeHidapiCounts().opens, 1);
        EXPECT_EQ (UpdateNumber.load(), 1u);
        EXPECT_EQ (data32_t.load(), 0x08008000u);
    }
}

TEST_F (FirmwareUpdateRun, TheHandshakeAndEraseComeFirstThenBlockOneOnwardsAndBlockZeroLast)
{
    const auto payload = payloadOf (41);
    page().UpdateFirmware (files.write (FirmwareSpec { payload }), true);
    ASSERT_TRUE (waitForTheUpdate());

    const auto frames = pedal->receivedFrames();
    ASSERT_EQ (frames.size(), 5u);

    const auto& handshake = frames[0];
    EXPECT_EQ (handshake.code(), 0x13);
    EXPECT_EQ (handshake.length(), 58);
    EXPECT_EQ (handshake[2], 27);
    EXPECT_EQ (handshake[29], 0) << "the first text ends with its NUL";
    EXPECT_EQ (handshake[59], 0) << "so does the second";

    const auto& erase = frames[1];
    EXPECT_EQ (erase.code(), 0x06);
    EXPECT_EQ (erase.length(), 6);
    EXPECT_EQ (erase.storedChecksum(), 158);

    EXPECT_EQ (addressOf (frames[2]), 0x08008014u);
    EXPECT_EQ (addressOf (frames[3]), 0x08008028u);
    EXPECT_EQ (addressOf (frames[4]), 0x08008000u);

    // Block 2 carries the one payload byte left, and erased flash after it.
    EXPECT_EQ (frames[3][6], payload[40]);
    for (int i = 7; i < 26; ++i)
        EXPECT_EQ (frames[3][i], 0xFF) << i;

    for (auto& frame : frames)
        EXPECT_TRUE (frame.hasValidChecksum());
}

TEST_F (FirmwareUpdateRun, APleaseWaitWindowStaysUpWhileThePedalWorks)
{
    // Block 0 goes unanswered, which keeps the window up for a while.
    FirmwareUpdate::slowAnswerTimeoutMs = 1500;
    pedal->injectFault (Fault::noAnswer, UpdateMode::writeBlock, 2);

    page().UpdateFirmware (files.write (FirmwareSpec { payloadOf (55) }), true);
    ASSERT_TRUE (pumpUntil ([&] { return writes().size() == 3; }));

    auto* window = updateWindow();
    ASSERT_NE (window, nullptr);
    EXPECT_TRUE (window->isCurrentlyModal());
    EXPECT_EQ (window->getNumButtons(), 0) << "an update cannot be cancelled";
    EXPECT_EQ (window->findColour (juce::AlertWindow::backgroundColourId), juce::Colour (0xFF0C302C));
    EXPECT_EQ (window->findColour (juce::AlertWindow::textColourId), juce::Colours::white);
    EXPECT_EQ (window->findColour (juce::AlertWindow::outlineColourId), juce::Colour (0xFF1DAFA8));

    bool hasProgressBar = false;
    for (auto* child : window->getChildren())
        hasProgressBar = hasProgressBar || dynamic_cast<juce::ProgressBar*> (child) != nullptr;
    EXPECT_TRUE (hasProgressBar);

    ASSERT_TRUE (waitForTheUpdate());
    EXPECT_EQ (updateWindow(), nullptr);
    ASSERT_EQ (messages().size(), 1u);
    EXPECT_EQ (messages()[0].text, failedText);
}

TEST_F (FirmwareUpdateRun, AnUpdateStartedAgainAfterAFailedOneWritesFromBlockOne)
{
    const auto payload = payloadOf (200);
    const auto file = files.write (FirmwareSpec { payload });
    pedal->injectFault (Fault::noAnswer, UpdateMode::writeBlock, 4);

    page().UpdateFirmware (file, true);
    ASSERT_TRUE (waitForTheUpdate());
    ASSERT_EQ (messages().size(), 1u);

    pedal->clearReceivedFrames();
    page().UpdateFirmware (file, true);
    ASSERT_TRUE (waitForTheUpdate());

    ASSERT_FALSE (writes().empty());
    EXPECT_EQ (addressOf (writes().front()), 0x08008014u);
    EXPECT_EQ (pedal->programFlash(), expectedFlash (payload));
    EXPECT_EQ (messages().size(), 1u) << "the second update went through";
    expectLinkClosed();
}

TEST_F (FirmwareUpdateRun, UnpluggingThePedalPutsTheWriterBackToItsStart)
{
    UpdateNumber = 7;
    data32_t = 0x08008078;

    editor->unplug (pedal);

    EXPECT_EQ (UpdateNumber.load(), 1u);
    EXPECT_EQ (data32_t.load(), 0x08008000u);
    EXPECT_FALSE (page().firmwareButton.isVisible());
}

//==============================================================================
TEST_F (FirmwareUpdateFaults, EveryFailureEndsPromptlyWithTheLinkClosedAndTheUserTold)
{
    struct Case
    {
        const char* what;
        Fault fault;
        int command;
        int skip;
    };

    // Five blocks: 1, 2, 3, 4, then 0.
    const Case cases[] = {
        { "handshake unanswered", Fault::noAnswer, UpdateMode::handshake, 0 },
        { "handshake answer damaged", Fault::badChecksum, UpdateMode::handshake, 0 },
        { "handshake refused", Fault::wrongCode, UpdateMode::handshake, 0 },
        { "erase unanswered", Fault::noAnswer, UpdateMode::erase, 0 },
        { "erase answer damaged", Fault::badChecksum, UpdateMode::erase, 0 },
        { "erase answered strangely", Fault::wrongCode, UpdateMode::erase, 0 },
        { "block 2 unanswered", Fault::noAnswer, UpdateMode::writeBlock, 1 },
        { "block 2 answer damaged", Fault::badChecksum, UpdateMode::writeBlock, 1 },
        { "block 2 answered strangely", Fault::wrongCode, UpdateMode::writeBlock, 1 },
        { "block 0 unanswered", Fault::noAnswer, UpdateMode::writeBlock, 4 },
        { "block 0 answer damaged", Fault::badChecksum, UpdateMode::writeBlock, 4 },
        { "block 0 answered strangely", Fault::wrongCode, UpdateMode::writeBlock, 4 },
        { "pulled out at the handshake", Fault::unplug, UpdateMode::handshake, 0 },
        { "pulled out during the erase", Fault::unplug, UpdateMode::erase, 0 },
        { "pulled out after two blocks", Fault::unplug, UpdateMode::writeBlock, 2 },
    };

    const auto file = files.write (FirmwareSpec { payloadOf (100) });

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        auto device = PedalSimulator::createUpdateModeDevice (updateModeName);
        editor->unplug (pedal);
        editor->plugIn (device);
        pedal = device;
        messages().clear();
        tessel::sim::resetFakeHidapiCounts();

        pedal->injectFault (c.fault, c.command, c.skip);

        const auto start = std::chrono::steady_clock::now();
        page().UpdateFirmware (file, true);
        ASSERT_TRUE (waitForTheUpdate (5000)) << "the job hangs";
        const auto taken = std::chrono::duration_cast<std::chrono::milliseconds> (std::chrono::steady_clock::now() - start);
        EXPECT_LT (taken.count(), 2000);

        EXPECT_EQ (updateWindow(), nullptr);
        ASSERT_EQ (messages().size(), 1u);
        EXPECT_EQ (messages()[0].title, "");
        EXPECT_EQ (messages()[0].text, failedText);
        expectLinkClosed();
        EXPECT_EQ (fakeHidapiCounts().opens, 1);
    }
}

TEST_F (FirmwareUpdateFaults, AnEraseThePedalReportsAsFailedEndsTheUpdate)
{
    pedal->setEraseFails (true);

    testing::internal::CaptureStdout();
    page().UpdateFirmware (files.write (FirmwareSpec { payloadOf (100) }), true);
    ASSERT_TRUE (waitForTheUpdate());
    EXPECT_EQ (testing::internal::GetCapturedStdout(), "擦除失败");

    EXPECT_TRUE (writes().empty());
    ASSERT_EQ (messages().size(), 1u);
    EXPECT_EQ (messages()[0].text, failedText);
    expectLinkClosed();
}

TEST_F (FirmwareUpdateFaults, APedalGoneBeforeTheUpdateStartsIsToldAsAFailedUpdate)
{
    const auto file = files.write (FirmwareSpec { payloadOf (100) });
    ASSERT_TRUE (page().UpdateFirmware (file, false));

    // The page keeps the name of the device last seen, so the file still passes.
    editor->bus.unplug (pedal);
    page().UpdateFirmware (file, true);
    ASSERT_TRUE (waitForTheUpdate());

    ASSERT_EQ (messages().size(), 1u);
    EXPECT_EQ (messages()[0].text, failedText);
    EXPECT_EQ (fakeHidapiCounts().opens, 0);
    EXPECT_EQ (handle.load(), nullptr);
}
