#pragma once

#include <juce_core/juce_core.h>

#include "device/PatchRecord.h"
#include "device/platform/OwnedCalls.h"

// The CAB page's patch files: the same raw ".tessel" files as the effect
// pages', holding 12-byte CAB records. One patch goes through the live link
// into the selected row's patch; all patches go through the transfer link in
// a job (ImportAllPatchWindow), each record into its own patch.

/** What the patch files need of the page that holds the CAB patches. The
    page's menu callbacks hand themselves over as one of these. */
class CABPatchPage
{
public:
    virtual ~CABPatchPage() = default;

    /** The page's records in patch order, as the patch dump filled them. */
    virtual juce::OwnedArray<CABShape>& getPatchRecords() = 0;

    /** The patch the page shows, the pedal's current one, -1 when none: the
        patch row selected last, not another left highlighted beside it. */
    virtual int getSelectedPatchRow() = 0;

    /** Shows the page's record of `patch` in the controls, sending nothing. */
    virtual void showPatchRecord (int) {}

    /** What an import asks to have done later for this page; dropped with it. */
    OwnedCalls laterCalls;

private:
    JUCE_DECLARE_WEAK_REFERENCEABLE (CABPatchPage)
};

namespace CABPatchFiles
{
/** The Import menu's result: 1 one patch, 2 all patches; anything else, or a
    null page, does nothing. Returns at once when it has started the
    all-patches job. */
void importPatches (int result, CABPatchPage* page);

/** The Export menu's result, as for importPatches. */
void exportPatches (int result, CABPatchPage* page);
} // namespace CABPatchFiles
