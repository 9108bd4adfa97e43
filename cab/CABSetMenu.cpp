#include "cab/CABSetMenu.h"

#include "cab/KVCABView.h"
#include "cab/WriteIRWindow.h"
#include "ui/Dialogs.h"

void menuItemChosenCallback (int result, KVCABView* page)
{
    if (page == nullptr)
        return;

    if (result != SetMenu::factoryReset)
    {
        SetMenu::chooseItem (result, *page);
        return;
    }

    // The CAB pedal's reset rewrites its whole IR volume first, and only the
    // pedal the question was asked about may get it.
    const LinkSession session;
    if (Dialogs::askOkCancel ({}, SetMenu::cabFactoryResetQuestion) && SetMenu::stillLinked (session))
        startFactoryReset();
}

void alertBoxResultChosen (int result, KVCABView*)
{
    SetMenu::confirmUpdate (result);
}
