#include "pagekit/SetMenu.h"

#include "device/CommandSenders.h"
#include "pagekit/PageControls.h"
#include "pagekit/PedalPage.h"
#include "ui/Dialogs.h"

namespace SetMenu
{
void confirmUpdate (int result)
{
    if (result == 1)
        usbInsertHidUpdate();
}

bool stillLinked (const LinkSession& session)
{
    if (session.isIntact())
        return true;

    Dialogs::showMessage ({}, PageControls::pedalMissingMessage);
    return false;
}

bool actsOnPedal (int item)
{
    return item == firmwareUpdate || item == factoryReset;
}

void chooseItem (int result, PedalPage& page)
{
    const LinkSession session;

    switch (result)
    {
        case firmwareUpdate:
        {
            // The chooser runs the message loop: a file chosen once another
            // pedal has taken this one's place is not checked for that one.
            const auto file = Dialogs::chooseFileToOpen ("*.bin");
            if (file == juce::File() || ! stillLinked (session))
                return;

            // The file is checked now, while the pedal is still in its normal
            // mode, and written once it has restarted in its update mode.
            if (! page.checkFirmwareFile (file))
                return;

            juce::Component::SafePointer<juce::Component> safePage (&page.component());
            Dialogs::showOkCancelBoxAsync ("Update?", {},
                                           [safePage, session] (int answer)
                                           {
                const bool restart = answer == 1 && stillLinked (session);
                auto* p = dynamic_cast<PedalPage*> (safePage.getComponent());
                if (p == nullptr)
                    return;

                // Only a file the pedal is restarted for may wait for its update
                // mode: one turned down, or checked for a pedal that has gone
                // meanwhile, would be written unasked by the firmware button.
                if (restart)
                    p->updateQuestionAnswered (answer);
                else
                    p->forgetFirmwareFile();
            });
            break;
        }

        case aboutKorvel:
            Dialogs::openLink (juce::URL (aboutPage));
            break;
        case feedback:
            Dialogs::openLink (juce::URL (feedbackMail));
            break;

        case factoryReset:
            // The answer may come from the next pedal's owner: the reset
            // goes only to the pedal the question was asked about.
            if (Dialogs::askOkCancel ({}, "Are you sure you want to execute a factory reset?") && stillLinked (session))
                DEVICEHID_DEBUG_FACTORY();
            break;

        case manual:
            Dialogs::openLink (juce::URL (manualPdf));
            break;
        case updateNotes:
            Dialogs::openLink (juce::URL (updateNotesPdf));
            break;

        default:
            break;
    }
}
} // namespace SetMenu
