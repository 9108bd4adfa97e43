#include "cab/CABPatchFiles.h"

#include "cab/ImportAllPatchWindow.h"
#include "device/CommandSenders.h"
#include "device/LiveLink.h"
#include "pagekit/PatchFiles.h"
#include "ui/Dialogs.h"

namespace
{
using namespace PatchFiles;

void tell (const juce::String& message)
{
    Dialogs::showMessage ({}, message);
}

bool isMenuItem (int result)
{
    return result == onePatch || result == allPatches;
}

/** Reads exactly one record; false when the file no longer holds it whole. */
bool readRecord (const juce::File& file, CABShape& record)
{
    juce::FileInputStream in (file);
    return in.openedOk() && in.read (record.bytes.data(), CABShape::size) == CABShape::size;
}
} // namespace

namespace CABPatchFiles
{
void exportPatches (int result, CABPatchPage* page)
{
    if (page == nullptr || ! isMenuItem (result))
        return;

    const LinkSession session;
    const int count = page->getPatchRecords().size();
    const auto hasSelectedRecord = [page]
    { return juce::isPositiveAndBelow (page->getSelectedPatchRow(), page->getPatchRecords().size()); };

    if (result == onePatch && ! hasSelectedRecord())
    {
        tell (noPatchSelectedMessage);
        return;
    }

    if (! wholeSetOrTold (result, holdsEveryPatch (page->getPatchRecords())))
        return;

    const int selected = page->getSelectedPatchRow();
    tell (exportPrompt);

    // The modal waits run the message loop: the pedal may have gone
    // meanwhile, and the page's records with it, or been replaced by another
    // CAB whose records the file would get, or stepped to another patch and
    // moved the selection off the one the user chose to save.
    const auto stillSelected = [&]
    {
        return stillAsChosen (result, selected, page->getSelectedPatchRow(), session.isIntact(),
                              result == onePatch ? hasSelectedRecord() : page->getPatchRecords().size() == count);
    };

    if (! stillSelected())
        return;

    const auto file = Dialogs::chooseFileToSave (filePattern);
    if (file == juce::File() || ! stillSelected())
        return;

    const auto& records = page->getPatchRecords();
    juce::MemoryBlock data;

    if (result == onePatch)
        data.append (records[page->getSelectedPatchRow()]->bytes.data(), CABShape::size);
    else
        for (auto* record : records)
            data.append (record->bytes.data(), CABShape::size);

    if (! writeFileSafely (file, data))
        tell (exportFailedMessage);
}

void importPatches (int result, CABPatchPage* page)
{
    if (page == nullptr || ! isMenuItem (result))
        return;

    const LinkSession session;
    const int selected = page->getSelectedPatchRow();
    if (result == onePatch && selected < 0)
    {
        tell (noPatchSelectedMessage);
        return;
    }

    if (! wholeSetOrTold (result, holdsEveryPatch (page->getPatchRecords())))
        return;

    tell (effectImportPrompt);

    // The prompt and the chooser run the message loop: the pedal may have
    // gone, or been replaced by another CAB that the file was not meant for,
    // or stepped to another patch. One patch goes only into the patch that
    // was selected when the user chose to import, and is still selected now.
    const auto stillSelected = [&]
    {
        return stillAsChosen (result, selected, page->getSelectedPatchRow(), session.isIntact(),
                              result != onePatch || page->getSelectedPatchRow() >= 0);
    };

    if (! stillSelected())
        return;

    const auto file = Dialogs::chooseFileToOpen (filePattern);
    if (file == juce::File() || ! stillSelected())
        return;

    const int target = page->getSelectedPatchRow();
    const auto count = page->getPatchRecords().size();
    const auto expectedSize = (juce::int64) (result == onePatch ? 1 : count) * CABShape::size;
    const auto size = file.existsAsFile() ? file.getSize() : 0;

    if (size != expectedSize)
    {
        tell (wrongFileMessage);
        return;
    }

    if (result == allPatches)
    {
        ImportAllPatchWindow::start (file, *page);
        return;
    }

    if (target < 0)
    {
        tell (noPatchSelectedMessage);
        return;
    }

    // A file that cannot be read whole is refused like one of the wrong
    // size, rather than sending the pedal a patch of zeros.
    CABShape record;
    if (! readRecord (file, record))
    {
        tell (wrongFileMessage);
        return;
    }

    const auto& b = record.bytes;
    DEVICEHID_DEBUG_IN_PRESET (target, b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], 0, 0);
    DEVICEHID_DEBUG_SET_PATCH (target);

    // A pedal pulled out part-way has taken only some of what was sent.
    if (! session.isIntact())
    {
        tell (importIncompleteMessage);
        return;
    }

    // The pedal is on the patch now and holds the file's values: the page's
    // record of it too, and the page shows them.
    if (keepWrittenRecord (page->getPatchRecords(), target, b.data()))
        page->showPatchRecord (target);
}
} // namespace CABPatchFiles
