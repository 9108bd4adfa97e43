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

using tessel::test::chooseFromMenu;
using tessel::test::EditorHarness;
using tessel::test::pumpPending;
using tessel::test::pumpUntil;

using tessel::test::takeSentFrames;
using Frames = std::vector<std::vector<int>>;

TEST (SetMenu, AFirmwareFileIsCheckedKeptAndThePedalRestartedOnlyOnOk)
{
    EditorHarness h;
    auto pedal = h.connect (kindAMP, 2);
    pedal->clearReceivedFrames();
    auto& page = h.ampPage();

    juce::TemporaryFile temp (".bin");
    const auto firmware = temp.getFile();
    // The AMP pedal reports "KORVEL TESSEL AMP", which the link keeps as "TESSEL AMP".
    firmware.replaceWithData (tessel::test::firmwareFile (std::vector<uint8_t> (100, 7), "TESSEL AMP").getData(), 148);

    // Cancelled chooser: nothing asked, nothing sent.
    menuItemChosenCallback (SetMenu::firmwareUpdate, &page);
    EXPECT_EQ (h.dialogs().openPatterns, juce::StringArray ("*.bin"));
    EXPECT_TRUE (h.dialogs().questions.empty());
    EXPECT_TRUE (takeSentFrames (*pedal).empty());

    // A fitting file, then Cancel: kept, but the pedal stays as it is; then OK: one restart.
    for (bool ok : { false, true })
    {
        h.dialogs().fileAnswers.push_back (firmware);
        h.dialogs().okAnswers.push_back (ok);
        menuItemChosenCallback (SetMenu::firmwareUpdate, &page);
        pumpPending();
        ASSERT_EQ (h.dialogs().questions.size(), ok ? 2u : 1u);
        EXPECT_EQ (h.dialogs().questions.back().title, "Update?");
        EXPECT_EQ (h.dialogs().questions.back().text, "");
        EXPECT_EQ (h.noDevicePage().pendingFirmware, firmware);
        EXPECT_EQ (takeSentFrames (*pedal), ok ? Frames { { Command::enterUpdateMode } } : Frames {});
    }
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
    EXPECT_TRUE (takeSentFrames (*pedal).empty());

    h.dialogs().okAnswers.push_back (true);
    menuItemChosenCallback (SetMenu::factoryReset, &page);
    EXPECT_EQ (takeSentFrames (*pedal), Frames { { Command::factoryReset } });

    ASSERT_EQ (h.messages().size(), 1u);
    EXPECT_EQ (h.messages()[0].title + "|" + h.messages()[0].text,
               "Factory reset successful.|Please disconnect both USB and power jacks and reconnect.");

    // Answered OK after the pedal was swapped while the question was open:
    // the other pedal is not reset.
    auto other = tessel::sim::PedalSimulator::create (kindDLY);
    h.dialogs().okAnswers.push_back (true);
    h.dialogs().duringModal (0, [&] { h.unplug (pedal); h.plugIn (other); });
    menuItemChosenCallback (SetMenu::factoryReset, &page);
    EXPECT_EQ (h.messages().back().text, PageControls::pedalMissingMessage);
    for (auto& frame : takeSentFrames (*other))
        EXPECT_NE (frame[0], Command::factoryReset);
}

TEST (SetMenu, TheSetButtonOpensTheFourItemsInOrderEachChoosingItsOwnAndOtherIdsOpenTheDocumentsOrNothing)
{
    EditorHarness h;
    auto pedal = h.connect (kindAMP, 2);
    pedal->clearReceivedFrames();
    auto& page = h.ampPage();
    auto& dialogs = h.dialogs();

    // Dismissed, the menu answers 0: nothing is asked, opened or sent.
    EXPECT_EQ (chooseFromMenu (page.setButton), "Firmware Update|-|About KORVEL|-|Feedback|-|Factory Reset");
    EXPECT_TRUE (dialogs.openPatterns.isEmpty() && dialogs.links.isEmpty() && dialogs.questions.empty());
    EXPECT_TRUE (h.messages().empty());
    EXPECT_TRUE (takeSentFrames (*pedal).empty());

    // Each item, chosen, reaches its own action.
    const std::pair<const char*, std::function<bool()>> reached[] = {
        { "Firmware Update", [&] { return dialogs.openPatterns == juce::StringArray ("*.bin"); } },
        { "About KORVEL", [&] { return dialogs.links.size() == 1; } },  // the links are checked in order below
        { "Feedback", [&] { return dialogs.links.size() == 2; } },
        { "Factory Reset", [&] { return dialogs.questions.size() == 1; } },
    };
    for (const auto& [item, done] : reached)
    {
        SCOPED_TRACE (item);
        chooseFromMenu (page.setButton, item);
        EXPECT_TRUE (pumpUntil (done));
        EXPECT_TRUE (pumpUntil ([] { return juce::Component::getCurrentlyModalComponent() == nullptr; }));
    }

    // Ids 5 and 6 have no item but open the manual and the notes; others, or no page, do nothing.
    for (int item : { 0, (int) SetMenu::manual, (int) SetMenu::updateNotes, 7 })
        menuItemChosenCallback (item, &page);
    menuItemChosenCallback (SetMenu::factoryReset, (KVAMPView*) nullptr);

    juce::StringArray expected;
    for (auto& link : { SetMenu::aboutPage, SetMenu::feedbackMail, SetMenu::manualPdf, SetMenu::updateNotesPdf })
        expected.add (juce::URL (link).toString (true));
    EXPECT_EQ (dialogs.links, expected);
    EXPECT_EQ (dialogs.questions.size(), 1u);
    EXPECT_TRUE (h.messages().empty());
    EXPECT_TRUE (takeSentFrames (*pedal).empty());
}
