#include <cstdio>

#include "device/CommandSenders.h"
#include "device/LiveLink.h"
#include "pages/KVAMPView.h"
#include "pages/KVDLYView.h"
#include "pages/KVMODView.h"
#include "pagekit/PatchFiles.h"
#include "ui/Dialogs.h"

namespace
{
using namespace PatchFiles;

/** What tells the three pages' patch files apart. */
struct PageFormat
{
    const juce::String& importPrompt;
    bool printsRecordIndex;
};

const PageFormat& formatOf (const KVAMPView*)
{
    static const PageFormat amp { ampImportPrompt, false };
    return amp;
}

const PageFormat& formatOf (const KVMODView*)
{
    static const PageFormat mod { effectImportPrompt, true };
    return mod;
}

const PageFormat& formatOf (const KVDLYView*)
{
    static const PageFormat dly { effectImportPrompt, false };
    return dly;
}

void tell (const juce::String& message)
{
    Dialogs::showMessage ({}, message);
}

/** Writes one record into the pedal: the target patch, then the record's
    parameters (bytes 3 on); a shorter record leaves the rest 0. */
void writeRecord (int target, const uint8_t* record, int size)
{
    uint8_t p[11] {};
    for (int i = 3; i < size && i - 3 < 11; ++i)
        p[i - 3] = record[i];

    DEVICEHID_DEBUG_IN_PRESET (target, p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7], p[8], p[9], p[10]);
}

template <typename Page>
void exportPatches (int result, Page& page)
{
    using Shape = typename std::remove_reference<decltype (*page.patchRecords.getFirst())>::type;

    const LinkSession session;
    const int count = page.patchRecords.size();
    const int selected = page.shownPatch();
    const auto hasRecords = [&]
    {
        return result == onePatch ? juce::isPositiveAndBelow (selected, page.patchRecords.size())
                                  : page.patchRecords.size() == count;
    };

    if (! hasRecords())
    {
        tell (noPatchSelectedMessage);
        return;
    }

    if (! wholeSetOrTold (result, holdsEveryPatch (page.patchRecords)))
        return;

    tell (exportPrompt);

    // The prompt and the chooser run the message loop: the pedal may have
    // gone, taking the page's records with it, or stepped to another patch,
    // moving the selection away from the one the user chose to save.
    const auto stillThere = [&]
    { return stillAsChosen (result, selected, page.shownPatch(), session.isIntact(), hasRecords()); };

    if (! stillThere())
        return;

    const auto file = Dialogs::chooseFileToSave (filePattern);
    if (file == juce::File() || ! stillThere())
        return;

    juce::MemoryBlock data;
    if (result == onePatch)
    {
        data.append (page.patchRecords[selected]->bytes.data(), Shape::size);
    }
    else
    {
        for (auto* record : page.patchRecords)
            data.append (record->bytes.data(), Shape::size);
    }

    if (! writeFileSafely (file, data))
        tell (exportFailedMessage);
}

template <typename Page>
void importAll (Page& page, const uint8_t* bytes, const LinkSession& session);

template <typename Page>
void importPatches (int result, Page& page)
{
    using Shape = typename std::remove_reference<decltype (*page.patchRecords.getFirst())>::type;
    const auto& format = formatOf (&page);

    const LinkSession session;
    const int selected = page.shownPatch();
    if (result == onePatch && selected < 0)
    {
        tell (noPatchSelectedMessage);
        return;
    }

    if (! wholeSetOrTold (result, holdsEveryPatch (page.patchRecords)))
        return;

    tell (format.importPrompt);

    // The prompt and the chooser run the message loop: the pedal may have
    // gone, or stepped to another patch and so moved the selection. One
    // patch goes only into the patch that was selected when the user chose
    // to import, and is still selected now.
    const auto stillThere = [&]
    { return stillAsChosen (result, selected, page.shownPatch(), session.isIntact(), true); };

    if (! stillThere())
        return;

    const auto file = Dialogs::chooseFileToOpen (filePattern);
    if (file == juce::File() || ! stillThere())
        return;

    const auto count = page.patchRecords.size();
    const auto expectedSize = (juce::int64) (result == onePatch ? 1 : count) * Shape::size;
    const auto size = file.existsAsFile() ? file.getSize() : 0;

    // A file that can't be read whole is refused as well: read as zeros, it
    // would overwrite the pedal's patches.
    juce::MemoryBlock data;
    if (size != expectedSize || (size > 0 && (! file.loadFileAsData (data) || (juce::int64) data.getSize() != size)))
    {
        tell (wrongFileMessage);
        return;
    }

    const auto* bytes = static_cast<const uint8_t*> (data.getData());

    if (result == onePatch)
    {
        writeRecord (selected, bytes, Shape::size);
        DEVICEHID_DEBUG_SET_PATCH (selected);

        // The pedal is on the patch now and holds the file's values: the
        // page's record of it too, and the page shows them.
        if (session.isIntact() && keepWrittenRecord (page.patchRecords, selected, bytes))
            page.updateAmpInformation (selected);
    }
    else
    {
        importAll (page, bytes, session);
    }

    // A pedal pulled out part-way has taken only some of what was sent.
    if (! session.isIntact())
        tell (importIncompleteMessage);
}

template <typename Page>
void importAll (Page& page, const uint8_t* bytes, const LinkSession& session)
{
    using Shape = typename std::remove_reference<decltype (*page.patchRecords.getFirst())>::type;
    const auto& format = formatOf (&page);
    const auto count = page.patchRecords.size();

    for (int i = 0; i < count; ++i)
    {
        const auto* record = bytes + i * Shape::size;
        writeRecord (record[PatchRecord::indexByte], record, Shape::size);

        // What the pedal has taken, the page's records hold.
        if (session.isIntact())
            keepWrittenRecord (page.patchRecords, record[PatchRecord::indexByte], record);

        if (format.printsRecordIndex)
            printf ("%d\n", i);
    }

    // The pedal needs a moment to store what it was sent before it switches
    // patches; switching away and back makes it load the new values.
    juce::Thread::sleep (settleAfterImportMs);

    // The patch the user sees now, not the one shown when the menu was
    // opened: the pedal may have stepped since. Away to a patch the pedal
    // has: the one before, or after the first; a pedal of one patch is just
    // told it again.
    const int shown = page.shownPatch();
    if (shown >= 0)
    {
        const int away = shown > 0 ? shown - 1 : shown + 1;
        if (away < count)
            DEVICEHID_DEBUG_SET_PATCH (away);

        DEVICEHID_DEBUG_SET_PATCH (shown);
        page.updateAmpInformation (shown);
    }
}

template <typename Page>
void chooseImport (int result, Page* page)
{
    if (page != nullptr && (result == onePatch || result == allPatches))
        importPatches (result, *page);
}

template <typename Page>
void chooseExport (int result, Page* page)
{
    if (page != nullptr && (result == onePatch || result == allPatches))
        exportPatches (result, *page);
}
} // namespace

void ImportMenuItemChosenCallback (int result, KVAMPView* page)
{
    chooseImport (result, page);
}
void ExportMenuItemChosenCallback (int result, KVAMPView* page)
{
    chooseExport (result, page);
}
void ImportMenuItemChosenCallback (int result, KVMODView* page)
{
    chooseImport (result, page);
}
void ExportMenuItemChosenCallback (int result, KVMODView* page)
{
    chooseExport (result, page);
}
void ImportMenuItemChosenCallback (int result, KVDLYView* page)
{
    chooseImport (result, page);
}
void ExportMenuItemChosenCallback (int result, KVDLYView* page)
{
    chooseExport (result, page);
}
