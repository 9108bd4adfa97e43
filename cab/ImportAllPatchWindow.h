#pragma once

#include <atomic>
#include <cstdint>

#include "cab/CABPatchFiles.h"
#include "device/HidPacket.h"
#include "pagekit/TransferJob.h"

/** Writes an all-patches file into the CAB pedal over the transfer link,
    record by record, behind a modal progress window. Each record the pedal
    confirms replaces the page's copy at once. Deletes itself when it has
    finished; the outcome is told in a message box once the window has gone. */
class ImportAllPatchWindow : public TransferJob
{
public:
    ImportAllPatchWindow (const juce::String& patchFile, CABPatchPage& view);

    void run() override;

    /** Creates the job for a file that has passed its size check and starts it. */
    static void start (const juce::File& file, CABPatchPage& view);

    static constexpr const char* title = "Importing ";
    static constexpr const char* status = "Importing presets, please wait...";
    static constexpr const char* successMessage = "Preset import successful.";
    static constexpr const char* failedMessage = "Preset import failed. Please try again.";

    /** Every record was confirmed, but the pedal went (its volume, or the
        pedal itself) before the import could end on its current patch. */
    static constexpr const char* pedalWentMessage =
        "All presets were written, but the connection to the pedal was lost before its current preset could be "
        "selected again. Please reconnect the pedal and check its presets.";

    /** The pedal holds 100 patches; the import counts as done once the
        record at this position of the file has been confirmed. */
    static constexpr int completingRecord = 99;

    /** How long the pedal is left alone before the transfer begins. */
    static inline int startDelayMs = 2000;

    /** How long the job waits for the pedal to confirm one record. */
    static inline int answerTimeoutMs = 2000;

    /** How long the job looks further for the record with the values sent
        once the pedal has answered the patch with others. */
    static inline int answerSettleMs = 150;

private:
    void finished() override;

    /** Writes one record and waits for the pedal's copy of that patch. */
    bool sendRecord (const CABShape& record);
    void storeInPage (const HidPacket& answer);

    /** The pedal's current patch, from the last confirmation. */
    std::atomic<uint8_t> currentPatch { 0 };
    std::atomic<bool> completed { false };

    /** How opening the link to the pedal went; nothing is sent unless ready. */
    std::atomic<Start> opening { Start::pedalGone };
    const juce::String patchFile;
    const juce::WeakReference<CABPatchPage> view;

    /** The page's record count when the job was started. */
    const int count;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ImportAllPatchWindow)
};
