#include "pages/KVAMPView.h"

void ImportMenuItemChosenCallback (int, KVAMPView*)
{
}

void ExportMenuItemChosenCallback (int, KVAMPView*)
{
}
