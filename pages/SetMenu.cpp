#include "pagekit/SetMenu.h"

#include "pages/KVAMPView.h"
#include "pages/KVDLYView.h"
#include "pages/KVMODView.h"

// The effect pages' Set menus do what every page's does.

void menuItemChosenCallback (int result, KVAMPView* page)
{
    if (page != nullptr)
        SetMenu::chooseItem (result, *page);
}
void menuItemChosenCallback (int result, KVMODView* page)
{
    if (page != nullptr)
        SetMenu::chooseItem (result, *page);
}
void menuItemChosenCallback (int result, KVDLYView* page)
{
    if (page != nullptr)
        SetMenu::chooseItem (result, *page);
}

void alertBoxResultChosen (int result, KVAMPView*)
{
    SetMenu::confirmUpdate (result);
}
void alertBoxResultChosen (int result, KVMODView*)
{
    SetMenu::confirmUpdate (result);
}
void alertBoxResultChosen (int result, KVDLYView*)
{
    SetMenu::confirmUpdate (result);
}
