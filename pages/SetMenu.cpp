#include "pages/KVAMPView.h"

void menuItemChosenCallback (int, KVAMPView*)
{
}
