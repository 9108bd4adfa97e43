#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

#include "pagekit/TransferJob.h"

// The CAB pedal's factory reset: the whole of the pedal's external flash (its
// IR volume) is erased and written back from FactoryDiskImage over the
// transfer link, block by block behind a modal progress window, and then the
// pedal is told to reset its settings.

namespace FactoryReset
{
/** Full blocks of the image, 54 bytes each, then the one short block. */
constexpr int fullBlocks = 155344;
constexpr int lastBlock = fullBlocks;
constexpr unsigned lastBlockSize = 32;
constexpr int blockCount = fullBlocks + 1;

constexpr const char* title = "Resetting";
constexpr const char* status = "Resetting your unit, please wait...";
constexpr const char* noLinkTitle = "Factory reset failed.";
constexpr const char* noLinkMessage = "Please disconnect both USB and power jacks and reconnect.";
constexpr const char* failedMessage = "Factory reset failed. Please try again.";

/** The CAB pedal's volume was rewritten and its reset sent after the window
    let go of it (another pedal took the window, or its volume went); the
    CAB's own answer cannot be shown then. */
constexpr const char* resetAsideMessage =
    "The CAB pedal's IRs have been restored and it has been told to reset its settings. Please disconnect both USB "
    "and power jacks of the CAB pedal and reconnect.";

/** "File : k / 155345", the status while block k is written. */
juce::String blockStatus (int block);
} // namespace FactoryReset

/** The factory-reset job. It runs on its own thread behind the "Resetting"
    window, which has no cancel button, and deletes itself when it has ended. */
class WriteIRWindow : public TransferJob
{
public:
    WriteIRWindow();

    void run() override;

    /** The outcome: 0 until the job has ended, then one of the codes below. */
    std::atomic<uint32_t> resultCode { 0 };

    static constexpr uint32_t resetFailed = 101;
    static constexpr uint32_t imageWritten = 102;
    static constexpr uint32_t linkNotOpened = 103;

    /** How long the job waits. The pedal needs the pauses to leave its normal
        work after the transfer state begins; the erase of its 8 MiB flash can
        take long, but a pedal that never answers must not hold the modal
        window for ever. Tests shorten them. */
    struct Timing
    {
        static inline int beforeResultMs = 1000;
        static inline int beforeOpenMs = 2000;
        static inline int eraseAnswerMs = 60000;
    };

    /** Every status line the window is given, from the job's thread. Empty in
        the product; tests and the benchmark watch the progress through it. */
    static inline std::function<void (const juce::String&)> statusObserver;

private:
    void finished() override;
    void setStatus (const juce::String& text);
    bool eraseFlash();
    uint32_t writeImage();

    /** Whether the live link still has the CAB pedal the reset was asked of.
        The reset command goes to it and to no other: a pedal plugged in
        meanwhile must not lose its settings. */
    bool cabStillLinked() const;

    const bool askedOfCab;

    /** How opening the link to the CAB pedal went; nothing is sent unless ready. */
    std::atomic<Start> opening { Start::pedalGone };

    std::vector<uint8_t> image;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (WriteIRWindow)
};

/** What the CAB page's Set menu calls once the user has agreed to the factory
    reset: starts the job and returns at once. */
void startFactoryReset();
