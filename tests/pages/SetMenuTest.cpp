#include "support/PageBench.h"

#include "app/ConnectionSequence.h"
#include "app/KVNoDevice.h"
#include "pagekit/FirmwareUpdate.h"
#include "pagekit/PageControls.h"
#include "pagekit/PatchFiles.h"
#include "pagekit/SetMenu.h"

TEST (SetMenu, AFirmwareFileIsCheckedKeptAndThePedalRestartedOnlyOnOk)
{
    Connected amp (kindAMP, 2);
    auto& dialogs = amp.h.dialogs();
    juce::TemporaryFile temp (".bin");
    const auto firmware = temp.getFile();
    // The AMP pedal reports "KORVEL TESSEL AMP", which the link keeps as "TESSEL AMP".
    firmware.replaceWithData (firmwareFile (std::vector<uint8_t> (100, 7), "TESSEL AMP").getData(), 148);

    // Cancelled chooser: nothing asked, nothing sent.
    menuItemChosenCallback (SetMenu::firmwareUpdate, &amp.h.ampPage());
    EXPECT_EQ (dialogs.openPatterns, juce::StringArray ("*.bin"));
    EXPECT_TRUE (dialogs.questions.empty() && amp.sent().empty());

    // A fitting file, then Cancel: forgotten, and the pedal stays as it is; then OK: kept, and one restart.
    for (bool ok : { false, true })
    {
        dialogs.fileAnswers.push_back (firmware);
        dialogs.okAnswers.push_back (ok);
        menuItemChosenCallback (SetMenu::firmwareUpdate, &amp.h.ampPage());
        pumpPending();
        ASSERT_EQ (dialogs.questions.size(), ok ? 2u : 1u);
        EXPECT_EQ (dialogs.questions.back().title + "|" + dialogs.questions.back().text, "Update?|");
        EXPECT_EQ (amp.h.noDevicePage().pendingFirmware, ok ? firmware : juce::File());
        EXPECT_EQ (amp.sent(), ok ? Frames { { Command::enterUpdateMode } } : Frames {});
    }
}

TEST (SetMenu, AFirmwareFileTurnedDownIsNeverWrittenTheFirmwareButtonAsksForAFileInstead)
{
    for (auto kind : { kindAMP, kindCAB }) // the effect pages' Set menu and the CAB page's
    {
        Connected linked (kind, 2);
        const auto name = linked.h.noDevicePage().deviceName;
        juce::TemporaryFile temp (".bin");
        ASSERT_TRUE (temp.getFile().replaceWithData (firmwareFile ({ 1, 2, 3 }, name).getData(), 51));
        linked.h.dialogs().fileAnswers.push_back (temp.getFile()); // then Cancel at "Update?"
        linked.h.hub().visiblePage()->setMenuItemChosen (SetMenu::firmwareUpdate);
        pumpPending();

        // The user starts the pedal in its update mode by hand and clicks the firmware button.
        linked.h.unplug (linked.pedal);
        auto waiting = PedalSimulator::createUpdateModeDevice (name);
        linked.h.plugIn (waiting);
        click (linked.h.noDevicePage().firmwareButton);
        EXPECT_EQ (linked.h.dialogs().openPatterns.joinIntoString (" "), "*.bin *.bin") << kind;
        ASSERT_TRUE (pumpUntil ([] { return FirmwareUpdate::jobsInProgress() == 0; }, 10000));
        EXPECT_TRUE (waiting->receivedFrames().empty()) << kind << ": nothing written";
    }
}

TEST (SetMenu, FactoryResetAsksFirstAndThePedalsAnswerIsShown)
{
    Connected dly (kindDLY, 2);
    auto& page = dly.h.hub().dlyPage();
    auto& dialogs = dly.h.dialogs();

    menuItemChosenCallback (SetMenu::factoryReset, &page);
    ASSERT_EQ (dialogs.questions.size(), 1u);
    EXPECT_EQ (dialogs.questions[0].text, "Are you sure you want to execute a factory reset?");
    EXPECT_TRUE (dly.sent().empty());

    dialogs.okAnswers.push_back (true);
    menuItemChosenCallback (SetMenu::factoryReset, &page);
    EXPECT_EQ (dly.sent(), Frames { { Command::factoryReset } });
    ASSERT_EQ (dly.h.messages().size(), 1u);
    EXPECT_EQ (dly.h.messages()[0].title + "|" + dly.h.messages()[0].text,
               "Factory reset successful.|Please disconnect both USB and power jacks and reconnect.");

    // Answered OK after the pedal was swapped while the question was open: the other pedal is not reset.
    auto other = PedalSimulator::create (kindDLY);
    dialogs.okAnswers.push_back (true);
    dialogs.duringModal (0,
                         [&]
                         {
        dly.h.unplug (dly.pedal);
        dly.h.plugIn (other);
    });
    menuItemChosenCallback (SetMenu::factoryReset, &page);
    EXPECT_EQ (dly.h.messages().back().text, PageControls::pedalMissingMessage);
    for (auto& frame : takeSentFrames (*other))
        EXPECT_NE (frame[0], Command::factoryReset);
}

TEST (SetMenu, TheSetButtonOpensTheFourItemsInOrderEachChoosingItsOwnAndOtherIdsOpenTheDocumentsOrNothing)
{
    Connected amp (kindAMP, 2);
    auto& page = amp.h.ampPage();
    auto& dialogs = amp.h.dialogs();

    // Dismissed, the menu answers 0: nothing is asked, opened or sent.
    EXPECT_EQ (chooseFromMenu (page.setButton), "Firmware Update|-|About KORVEL|-|Feedback|-|Factory Reset");
    EXPECT_TRUE (dialogs.openPatterns.isEmpty() && dialogs.links.isEmpty() && dialogs.questions.empty());

    // Each item, chosen, reaches its own action.
    const std::pair<const char*, std::function<bool()>> reached[] = {
        { "Firmware Update", [&] { return dialogs.openPatterns == juce::StringArray ("*.bin"); } },
        { "About KORVEL", [&] { return dialogs.links.size() == 1; } }, // the links are checked in order below
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
    EXPECT_TRUE (amp.h.messages().empty() && amp.sent().empty());
}

TEST (SetMenu, AMenuOrChooserAnsweredAfterItsPedalWasReplacedSendsNothingAndSaysSo)
{
    // While the DLY page's menu, or its firmware chooser, is open, the DLY
    // goes and an AMP comes (still identifying, so no page takes it). The
    // menus are answered as a popup answers them, with the pedal linked when
    // it opened: a real popup stays open only while the program keeps the
    // focus, which tests side by side on one display do not.
    const juce::ScopedValueSetter<int> slowly (ConnectionSequence::identityTimeoutMs, 60000);
    for (juce::String item : { "Import One Patch", "Factory Reset", "Firmware Update" })
    {
        SCOPED_TRACE (item);
        Connected dly (kindDLY, 9);
        auto& page = dly.h.hub().dlyPage();
        page.patchList.selectRow (3);
        auto amp = PedalSimulator::create (kindAMP);
        amp->injectFault (Fault::noAnswer, Command::identify);
        const auto replace = [&]
        {
            dly.h.unplug (dly.pedal);
            dly.h.plugIn (amp);
        };

        juce::TemporaryFile file;
        const auto data = item == "Firmware Update"
            ? firmwareFile (std::vector<uint8_t> (100, 7), "TESSEL AMP")
            : juce::MemoryBlock (dly.pedal->recordOf (5).data(), EffectShape::size);
        file.getFile().replaceWithData (data.getData(), data.getSize());
        dly.h.dialogs().fileAnswers = { file.getFile() };
        dly.h.dialogs().okAnswers = { true };

        if (item == "Firmware Update")
        {
            // Its chooser waits inside the menu's answer.
            dly.h.dialogs().duringModal (0, replace);
            menuItemChosenCallback (SetMenu::firmwareUpdate, &page);
        }
        else
        {
            const LinkSession openedFor;
            replace();
            if (item == "Factory Reset")
                KVPageBase::setMenuAnswered (SetMenu::factoryReset, &page, openedFor);
            else
                KVPageBase::importMenuAnswered (PatchFiles::onePatch, &page, openedFor);
        }
        pumpPending();

        for (auto& frame : takeSentFrames (*amp))
            EXPECT_EQ (frame[0], Command::identify);
        EXPECT_TRUE (dly.h.dialogs().questions.empty() && dly.h.noDevicePage().pendingFirmware == juce::File());
        ASSERT_EQ (dly.h.messages().size(), 1u);
        EXPECT_EQ (dly.h.messages()[0].text, PageControls::pedalMissingMessage);
    }
}
