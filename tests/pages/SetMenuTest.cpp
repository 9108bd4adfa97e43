#include <gtest/gtest.h>

#include "app/KVNoDevice.h"
#include "app/MainContentComponent.h"
#include "device/ProtocolCodes.h"
#include "pages/KVAMPView.h"
#include "pages/KVDLYView.h"
#include "pages/KVMODView.h"
#include "pages/PageControls.h"
#include "pages/SetMenu.h"
#include "support/EditorHarness.h"

using tessel::test::EditorHarness;
using tessel::test::pumpPending;

namespace
{
/** A firmware file for the named device: a 48-byte header, then the payload. */
juce::File writeFirmware (const juce::File& file, const juce::String& deviceName, int payloadSize)
{
    juce::MemoryBlock data (48 + (size_t) payloadSize, true);
    auto* bytes = static_cast<uint8_t*> (data.getData());
    unsigned sum = 0;
    for (int i = 0; i < payloadSize; ++i)
    {
        bytes[48 + i] = (uint8_t) (i * 7 + 1);
        sum += bytes[48 + i];
    }
    bytes[4] = (uint8_t) (payloadSize & 0xff);
    bytes[5] = (uint8_t) ((payloadSize >> 8) & 0xff);
    bytes[6] = (uint8_t) ((payloadSize >> 16) & 0xff);
    bytes[14] = (uint8_t) (sum & 0xff);
    deviceName.copyToUTF8 ((char*) bytes + 16, 16);

    file.replaceWithData (data.getData(), data.getSize());
    return file;
}

std::vector<int> codesSent (tessel::sim::PedalSimulator& pedal)
{
    pumpPending();
    std::vector<int> codes;
    for (auto& f : pedal.receivedFrames())
        codes.push_back (f.code());
    pedal.clearReceivedFrames();
    return codes;
}
} // namespace

TEST (SetMenu, AFirmwareFileIsCheckedKeptAndThePedalRestartedOnlyOnOk)
{
    EditorHarness h;
    auto pedal = h.connect (kindAMP, 2);
    pedal->clearReceivedFrames();
    auto& page = h.ampPage();

    juce::TemporaryFile temp (".bin");
    // The AMP pedal reports "KORVEL TESSEL AMP", which the link keeps as "TESSEL AMP".
    const auto firmware = writeFirmware (temp.getFile(), "TESSEL AMP", 100);

    // Cancelled chooser: nothing asked, nothing sent.
    menuItemChosenCallback (SetMenu::firmwareUpdate, &page);
    EXPECT_EQ (h.dialogs().openPatterns[0], "*.bin");
    EXPECT_TRUE (h.dialogs().questions.empty());
    EXPECT_TRUE (codesSent (*pedal).empty());

    // A fitting file, then Cancel: kept, but the pedal stays as it is.
    h.dialogs().fileAnswers.push_back (firmware);
    h.dialogs().okAnswers.push_back (false);
    menuItemChosenCallback (SetMenu::firmwareUpdate, &page);
    pumpPending();
    ASSERT_EQ (h.dialogs().questions.size(), 1u);
    EXPECT_EQ (h.dialogs().questions[0].title, "Update?");
    EXPECT_EQ (h.dialogs().questions[0].text, "");
    EXPECT_EQ (h.noDevicePage().pendingFirmware, firmware);
    EXPECT_TRUE (codesSent (*pedal).empty());

    // The same file, then OK: one restart into the update mode.
    h.dialogs().fileAnswers.push_back (firmware);
    h.dialogs().okAnswers.push_back (true);
    menuItemChosenCallback (SetMenu::firmwareUpdate, &page);
    EXPECT_EQ (codesSent (*pedal), std::vector<int> { Command::enterUpdateMode });
}

TEST (SetMenu, AFirmwareFileForAnotherPedalIsRefused)
{
    EditorHarness h;
    auto pedal = h.connect (kindMOD, 2);
    pedal->clearReceivedFrames();
    auto& page = *h.hub().modView;

    juce::TemporaryFile temp (".bin");
    h.dialogs().fileAnswers.push_back (writeFirmware (temp.getFile(), "TESSEL AMP", 64));
    menuItemChosenCallback (SetMenu::firmwareUpdate, &page);

    ASSERT_EQ (h.messages().size(), 1u);
    EXPECT_EQ (h.messages()[0].text, "The firmware file is not compatible with your device.");
    EXPECT_TRUE (h.dialogs().questions.empty());
    EXPECT_EQ (h.noDevicePage().pendingFirmware, juce::File());
    EXPECT_TRUE (codesSent (*pedal).empty());
}

TEST (SetMenu, FactoryResetAsksFirstAndThePedalsAnswerIsShown)
{
    EditorHarness h;
    auto pedal = h.connect (kindDLY, 2);
    pedal->clearReceivedFrames();
    auto& page = *h.hub().dlyView;

    menuItemChosenCallback (SetMenu::factoryReset, &page);
    ASSERT_EQ (h.dialogs().questions.size(), 1u);
    EXPECT_EQ (h.dialogs().questions[0].text, "Are you sure you want to execute a factory reset?");
    EXPECT_TRUE (codesSent (*pedal).empty());

    h.dialogs().okAnswers.push_back (true);
    menuItemChosenCallback (SetMenu::factoryReset, &page);
    EXPECT_EQ (codesSent (*pedal), std::vector<int> { Command::factoryReset });

    ASSERT_EQ (h.messages().size(), 1u);
    EXPECT_EQ (h.messages()[0].title, "Factory reset successful.");
    EXPECT_EQ (h.messages()[0].text, "Please disconnect both USB and power jacks and reconnect.");

    // Answered OK after the pedal was swapped while the question was open:
    // the other pedal is not reset.
    auto other = tessel::sim::PedalSimulator::create (kindDLY);
    h.dialogs().okAnswers.push_back (true);
    h.dialogs().duringModal (0, [&] { h.unplug (pedal); h.plugIn (other); });
    menuItemChosenCallback (SetMenu::factoryReset, &page);
    EXPECT_EQ (h.messages().back().text, PageControls::pedalMissingMessage);
    for (auto code : codesSent (*other))
        EXPECT_NE (code, Command::factoryReset);
}

TEST (SetMenu, TheLinksOpenInTheDesktopsOwnProgramsAndADismissedMenuDoesNothing)
{
    EditorHarness h;
    auto pedal = h.connect (kindAMP, 2);
    pedal->clearReceivedFrames();
    auto& page = h.ampPage();

    for (int item : { 0, (int) SetMenu::aboutKorvel, (int) SetMenu::feedback, (int) SetMenu::manual,
                      (int) SetMenu::updateNotes, 7 })
        menuItemChosenCallback (item, &page);
    menuItemChosenCallback (SetMenu::factoryReset, (KVAMPView*) nullptr);

    juce::StringArray expected;
    for (auto& link : { SetMenu::aboutPage, SetMenu::feedbackMail, SetMenu::manualPdf, SetMenu::updateNotesPdf })
        expected.add (juce::URL (link).toString (true));
    EXPECT_EQ (h.dialogs().links, expected);
    EXPECT_TRUE (h.dialogs().questions.empty());
    EXPECT_TRUE (h.messages().empty());
    EXPECT_TRUE (codesSent (*pedal).empty());
}

TEST (SetMenu, TheSetButtonOpensTheMenuAndDismissingItChoosesNothing)
{
    EditorHarness h;
    h.connect (kindAMP, 2);
    auto& page = h.ampPage();

    auto* modal = juce::ModalComponentManager::getInstance();
    const auto before = modal->getNumModalComponents();
    page.setButton.triggerClick();
    EXPECT_TRUE (tessel::test::pumpUntil ([&] { return modal->getNumModalComponents() > before; })) << "no menu opened";
    EXPECT_TRUE (juce::PopupMenu::dismissAllActiveMenus());
    pumpPending();
    EXPECT_TRUE (h.dialogs().openPatterns.isEmpty());
    EXPECT_TRUE (h.messages().empty());
}
