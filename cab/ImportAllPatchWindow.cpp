#include "cab/ImportAllPatchWindow.h"

#include <algorithm>

#include "device/CommandSenders.h"
#include "device/ProtocolCodes.h"
#include "device/TransferLink.h"
#include "pagekit/PatchFiles.h"
#include "ui/Dialogs.h"

namespace
{
// A confirmation carries the record from its byte 2: count, current patch,
// patch number, then the parameters.
constexpr int answerRecordOffset = 2;
constexpr int answerCurrentByte = answerRecordOffset + PatchRecord::currentByte;
constexpr int answerPatchByte = answerRecordOffset + PatchRecord::indexByte;

/** The preset-write command for one record: its own patch number as the
    target, then its parameters. */
HidPacket writeFrameFor (const CABShape& record)
{
    HidPacket frame;
    frame.bytes[0] = Command::writePreset;
    frame.bytes[1] = CABShape::size - PatchRecord::indexByte;
    std::copy (record.bytes.begin() + PatchRecord::indexByte, record.bytes.end(),
               frame.bytes.begin() + HidPacket::payloadOffset);
    frame.seal();
    return frame;
}

/** Whether a report is the pedal's answer to what `sent` wrote: the pedal's
    record of the same patch. The live link keeps its own handle on the pedal,
    so its answers arrive here as well, each matched by patch number. The
    values may differ from those sent: the pedal keeps what it can hold (a
    value out of range is clamped), and that is what it answers. */
bool answersPatch (const HidPacket& answer, const HidPacket& sent)
{
    return answer.hasValidChecksum() && answer.code() == Reply::presetRecord
        && answer[answerPatchByte] == sent[HidPacket::payloadOffset];
}

/** Whether the answer carries the very values sent. */
bool holdsValuesSent (const HidPacket& answer, const HidPacket& sent)
{
    constexpr int parameters = CABShape::size - PatchRecord::firstKnobByte;
    const auto* sentValues = sent.data() + HidPacket::payloadOffset + 1;
    return std::equal (sentValues, sentValues + parameters, answer.data() + answerPatchByte + 1);
}

void showLater (const juce::String& message)
{
    juce::MessageManager::callAsync ([message] { Dialogs::showMessage ({}, message); });
}
} // namespace

//==============================================================================
ImportAllPatchWindow::ImportAllPatchWindow (const juce::String& file, CABPatchPage& page)
    : TransferJob (title, status, Colours::standard),
      patchFile (file),
      view (&page),
      count (page.getPatchRecords().size())
{
}

void ImportAllPatchWindow::start (const juce::File& file, CABPatchPage& page)
{
    // Normal priority is what older JUCE called priority 5.
    auto* job = new ImportAllPatchWindow (file.getFullPathName(), page);
    job->launchThread (juce::Thread::Priority::normal);
}

void ImportAllPatchWindow::storeInPage (const HidPacket& answer)
{
    CABShape record;
    std::copy_n (answer.data() + answerRecordOffset, CABShape::size, record.bytes.begin());

    // The page's records belong to the message thread, where the patch list
    // reads them. Once another pedal has taken the page, they are its own.
    juce::MessageManager::callAsync (
        [page = view, record, session = session]
        {
        if (auto* p = page.get(); p != nullptr && session.isCurrent())
        {
            auto& records = p->getPatchRecords();
            const int index = record.bytes[PatchRecord::indexByte];

            if (juce::isPositiveAndBelow (index, records.size()))
                records.set (index, new CABShape (record), true);
        }
    });
}

bool ImportAllPatchWindow::sendRecord (const CABShape& record)
{
    const auto frame = writeFrameFor (record);
    writeTransferFrame (frame);

    // A record of the patch with other values may be the pedal's copy as it
    // stood, sent for the live link just before this write reached it: the
    // job looks a moment longer for the answer that carries the values sent,
    // and otherwise takes the last record of the patch, the pedal's latest.
    const auto confirms = [&frame] (const HidPacket& report)
    {
        if (! answersPatch (report, frame))
            return Match::no;

        return holdsValuesSent (report, frame) ? Match::exact : Match::likely;
    };

    HidPacket answer;
    if (awaitAnswer (answer, answerTimeoutMs, confirms, answerSettleMs) != HidPacket::size)
        return false;

    storeInPage (answer);
    currentPatch = answer[answerCurrentByte];
    return true;
}

void ImportAllPatchWindow::run()
{
    wait (startDelayMs);
    if (threadShouldExit())
        return;

    // However the loop ends, the pedal leaves the transfer state and the
    // link is free for the next job.
    std::optional<Link> link;
    opening = openOwnPedal (link, Usb::korvelVendorId, Usb::cabProductId);
    if (opening != Start::ready)
        return;

    link->beginTransferState();

    juce::FileInputStream in { juce::File (patchFile) };

    for (int i = 0; in.openedOk() && i < count; ++i)
    {
        // A file cut short since its size was checked ends the import:
        // the pedal is never sent a record that was not read.
        CABShape record;
        if (in.read (record.bytes.data(), CABShape::size) != CABShape::size || ! sendRecord (record))
            break;

        if (i == completingRecord)
            completed = true;

        setProgress ((double) i / (double) count);
    }
}

void ImportAllPatchWindow::finished()
{
    // Posted, so that the records the job has posted are in the page first.
    if (completed)
    {
        juce::MessageManager::callAsync (
            [page = view, current = (int) currentPatch, session = session]
            {
            // Without its page the editor is ending: nothing is left to do.
            auto* p = page.get();
            if (p == nullptr)
                return;

            // Every record went in, but the pedal went before the import could
            // end on its patch: nothing more is sent, as the pedal linked now
            // may be another, and the user is not left without a word.
            if (! session.isCurrent())
            {
                Dialogs::showMessage ({}, pedalWentMessage);
                return;
            }

            if (p->getSelectedPatchRow() >= 0)
                DEVICEHID_DEBUG_SET_PATCH (p->getSelectedPatchRow());

            // The pedal needs a moment to store what it was sent before it
            // switches to the patch it reported last.
            p->laterCalls.after (PatchFiles::settleAfterImportMs,
                                 [current, session]
                                 {
                if (! session.isCurrent())
                {
                    Dialogs::showMessage ({}, pedalWentMessage);
                    return;
                }

                DEVICEHID_DEBUG_SET_PATCH (current);
                Dialogs::showMessage ({}, successMessage);
            });
        });
    }
    else if (opening == Start::pedalChanged || opening == Start::cannotTellApart)
    {
        juce::MessageManager::callAsync ([verdict = opening.load()] { tellWhyNotStarted (verdict); });
    }
    else
    {
        showLater (failedMessage);
    }
}
