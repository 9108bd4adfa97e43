#include "pages/SetMenu.h"

#include "app/KVNoDevice.h"
#include "cab/KVCABView.h"
#include "cab/WriteIRWindow.h"
#include "device/CommandSenders.h"
#include "device/LiveLink.h"
#include "pages/KVAMPView.h"
#include "pages/KVDLYView.h"
#include "pages/KVMODView.h"
#include "pagekit/PageControls.h"
#include "ui/Dialogs.h"

namespace
{
void confirmUpdate (int result)
{
    if (result == 1)
        usbInsertHidUpdate();
}

/** After a modal wait: whether the pedal the menu was opened for is still
    the one linked; if not, the user is told and nothing is sent. */
bool stillLinked (const LinkSession& session)
{
    if (session.isIntact())
        return true;

    Dialogs::showMessage ({}, PageControls::pedalMissingMessage);
    return false;
}

template <typename Page>
void chooseSetMenuItem (int result, Page* page)
{
    if (page == nullptr)
        return;

    const LinkSession session;

    switch (result)
    {
        case SetMenu::firmwareUpdate:
        {
            const auto file = Dialogs::chooseFileToOpen ("*.bin");
            if (file == juce::File())
                return;

            // The file is checked now, while the pedal is still in its normal
            // mode, and written once it has restarted in its update mode.
            if (! page->noDevice->UpdateFirmware (file, false))
                return;

            juce::Component::SafePointer<Page> safePage (page);
            Dialogs::showOkCancelBoxAsync ("Update?", {}, [safePage, session] (int answer)
            {
                if (answer == 1 && ! stillLinked (session))
                    return;

                if (auto* p = safePage.getComponent())
                    alertBoxResultChosen (answer, p);
            });
            break;
        }

        case SetMenu::aboutKorvel: Dialogs::openLink (juce::URL (SetMenu::aboutPage)); break;
        case SetMenu::feedback: Dialogs::openLink (juce::URL (SetMenu::feedbackMail)); break;

        case SetMenu::factoryReset:
            // The answer may come from the next pedal's owner: the reset
            // goes only to the pedal the question was asked about.
            if (Dialogs::askOkCancel ({}, "Are you sure you want to execute a factory reset?") && stillLinked (session))
                DEVICEHID_DEBUG_FACTORY();
            break;

        case SetMenu::manual: Dialogs::openLink (juce::URL (SetMenu::manualPdf)); break;
        case SetMenu::updateNotes: Dialogs::openLink (juce::URL (SetMenu::updateNotesPdf)); break;

        default:
            break;
    }
}
} // namespace

void menuItemChosenCallback (int result, KVAMPView* page) { chooseSetMenuItem (result, page); }
void menuItemChosenCallback (int result, KVMODView* page) { chooseSetMenuItem (result, page); }
void menuItemChosenCallback (int result, KVDLYView* page) { chooseSetMenuItem (result, page); }

void menuItemChosenCallback (int result, KVCABView* page)
{
    if (page == nullptr)
        return;

    if (result != SetMenu::factoryReset)
    {
        chooseSetMenuItem (result, page);
        return;
    }

    // The CAB pedal's reset rewrites its whole IR volume first, and only the
    // pedal the question was asked about may get it.
    const LinkSession session;
    if (Dialogs::askOkCancel ({}, SetMenu::cabFactoryResetQuestion) && stillLinked (session))
        startFactoryReset();
}

void alertBoxResultChosen (int result, KVAMPView*) { confirmUpdate (result); }
void alertBoxResultChosen (int result, KVMODView*) { confirmUpdate (result); }
void alertBoxResultChosen (int result, KVDLYView*) { confirmUpdate (result); }
void alertBoxResultChosen (int result, KVCABView*) { confirmUpdate (result); }
