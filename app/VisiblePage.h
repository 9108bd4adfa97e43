#pragma once

#include "app/MainContentComponent.h"
#include "cab/KVCABView.h"
#include "device/ProtocolCodes.h"
#include "pages/KVAMPView.h"
#include "pages/KVDLYView.h"
#include "pages/KVMODView.h"

/** Runs `action` with the first visible page of the AMP, DLY, MOD and CAB
    pages, in that order; they share the members an action may use
    (patchRecords, patchList, algorithmList, updateAmpInformation and the
    like). Returns false, doing nothing, when none of them is visible. */
template <typename Action>
bool withVisibleEffectPage (MainContentComponent& hub, Action&& action)
{
    switch (hub.firstVisiblePage())
    {
        case kindAMP: action (*hub.ampView); return true;
        case kindDLY: action (*hub.dlyView); return true;
        case kindMOD: action (*hub.modView); return true;
        case kindCAB: action (*hub.cabView); return true;
        default: return false;
    }
}

/** Runs `action` with each of the AMP, DLY, MOD and CAB pages, visible or not. */
template <typename Action>
void forEachEffectPage (MainContentComponent& hub, Action&& action)
{
    action (*hub.ampView);
    action (*hub.dlyView);
    action (*hub.modView);
    action (*hub.cabView);
}

/** The DLY page if it is visible, else the MOD page if that is, else null:
    where the tap-tempo and expression-pedal reports go. */
inline KVEffectPage* visibleTempoPage (MainContentComponent& hub)
{
    if (hub.dlyView->isVisible())
        return hub.dlyView.get();
    if (hub.modView->isVisible())
        return hub.modView.get();
    return nullptr;
}
