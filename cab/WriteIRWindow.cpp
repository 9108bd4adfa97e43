#include "cab/WriteIRWindow.h"

#include <algorithm>
#include <cstdio>

#include "app/ReplyDecoder.h"
#include "cab/FactoryDiskImage.h"
#include "device/CommandSenders.h"
#include "device/LiveLink.h"
#include "device/ProtocolCodes.h"
#include "device/TransferLink.h"
#include "ui/Dialogs.h"

static_assert ((size_t) FactoryReset::fullBlocks * FlashWrite::blockSize + FactoryReset::lastBlockSize
                   == FactoryDisk::imageSize,
               "the blocks cover the image exactly");

namespace
{
std::atomic<int> liveJobs { 0 };

/** However `run` ends, the transfer link is closed behind it. */
struct LinkCloser
{
    ~LinkCloser() { CloseUsbHid(); }
};
} // namespace

juce::String FactoryReset::blockStatus (int block)
{
    return "File : " + juce::String (block) + " / " + juce::String (blockCount);
}

//==============================================================================
WriteIRWindow::WriteIRWindow()
    : ThreadWithProgressWindow (FactoryReset::title, true, false, 10000, {}, nullptr),
      askedOfCab (Device == kindCAB)
{
    ++liveJobs;
    setStatusMessage (FactoryReset::status);

    auto* window = getAlertWindow();
    window->setColour (juce::AlertWindow::backgroundColourId, juce::Colour (0xFF0C302C));
    window->setColour (juce::AlertWindow::textColourId, juce::Colours::white);
    window->setColour (juce::AlertWindow::outlineColourId, juce::Colour (0xFF1DAFA8));
}

WriteIRWindow::~WriteIRWindow()
{
    // The thread must be gone before the buffer it reads.
    stopThread (10000);
    --liveJobs;
}

int WriteIRWindow::jobsInProgress() noexcept
{
    return liveJobs.load();
}

bool WriteIRWindow::samePedalLinked() const
{
    // The pedal kind is the message thread's; the job's thread compares the
    // device alone.
    const auto kindStillCab = ! juce::MessageManager::getInstance()->isThisTheMessageThread() || Device == kindCAB;
    return askedOfCab && session.isIntact() && kindStillCab;
}

void WriteIRWindow::enterTransferState()
{
    // The live link belongs to the message thread, where an unplugged
    // pedal's device is let go: the command is sent there, and the job goes
    // on once it has gone (or could not), so the pedal gets it first.
    auto handedOver = std::make_shared<juce::WaitableEvent>();

    const auto posted = juce::MessageManager::callAsync ([handedOver, sessionNow = session, cab = askedOfCab]
    {
        if (cab && sessionNow.isIntact() && Device == kindCAB)
            DEVICEHID_DEBUG_TRANS_STATE (1);

        handedOver->signal();
    });

    while (posted && ! handedOver->wait (100) && ! threadShouldExit())
    {
    }
}

void WriteIRWindow::setStatus (const juce::String& text)
{
    setStatusMessage (text);

    if (statusObserver)
        statusObserver (text);
}

int WriteIRWindow::awaitAnswer (HidPacket& answer, int timeoutMs)
{
    // The erase may take the pedal a long while: the wait goes in short
    // slices so that the job can still be stopped meanwhile.
    constexpr int slice = 100;
    const auto deadline = juce::Time::getMillisecondCounter() + (juce::uint32) std::max (0, timeoutMs);

    for (;;)
    {
        const auto now = juce::Time::getMillisecondCounter();
        const auto left = deadline > now ? (int) (deadline - now) : 0;
        const auto got = readTransferAnswer (answer, std::min (left, slice));

        if (got != 0 || left == 0 || threadShouldExit())
            return got;
    }
}

bool WriteIRWindow::eraseFlash()
{
    writeTransferFrame (HidPacket::command (Command::flashErase));

    HidPacket answer;
    const auto got = awaitAnswer (answer, Timing::eraseAnswerMs);

    if (got == 0)
    {
        printf ("Erase firmware failed!");
        return false;
    }

    if (got != HidPacket::size || ! answer.hasValidChecksum())
    {
        printf ("效验码出错");
        return false;
    }

    return answer.code() == Reply::flashErased;
}

uint32_t WriteIRWindow::writeImage()
{
    image.assign (FactoryDiskImage, FactoryDiskImage + FactoryDisk::imageSize);

    for (int k = 0; k < FactoryReset::fullBlocks; ++k)
    {
        const auto written = DEVICE_EXTERN_FLASH_WRITE (image.data(), k, FlashWrite::blockSize);
        setStatus (FactoryReset::blockStatus (k));

        if (written != FlashWrite::succeeded)
            return resetFailed;

        setProgress ((double) k / (double) FactoryReset::fullBlocks);
    }

    if (DEVICE_EXTERN_FLASH_WRITE (image.data(), FactoryReset::lastBlock, FactoryReset::lastBlockSize) != FlashWrite::succeeded)
        return resetFailed;

    setProgress (1.0);
    return imageWritten;
}

void WriteIRWindow::run()
{
    // The buffer lives only as long as the job's work.
    struct BufferRelease
    {
        std::vector<uint8_t>& buffer;
        ~BufferRelease() { std::vector<uint8_t>().swap (buffer); }
    } release { image };

    enterTransferState();

    wait (Timing::beforeResultMs);
    resultCode = 0;
    wait (Timing::beforeOpenMs);

    if (OpenUsbHid (Usb::korvelVendorId, Usb::cabProductId) != 1)
    {
        resultCode = linkNotOpened;
        return;
    }

    const LinkCloser closeOnEveryWayOut;

    if (FactoryDiskImageSize != FactoryDisk::imageSize || ! eraseFlash())
    {
        resultCode = resetFailed;
        return;
    }

    resultCode = writeImage();
}

void WriteIRWindow::threadComplete (bool)
{
    // run() leaves the link closed on every way out; a thread that had to be
    // stopped may not have got there.
    CloseUsbHid();

    if (samePedalLinked())
        DEVICEHID_DEBUG_TRANS_STATE (0);

    if (resultCode == linkNotOpened)
        Dialogs::showMessage (FactoryReset::noLinkTitle, FactoryReset::noLinkMessage);
    else if (resultCode == resetFailed)
        Dialogs::showMessage ({}, FactoryReset::failedMessage);

    // The message box ran the message loop: the pedal may have changed since.
    // The pedal is reset even after a failure, but the user has been told
    // the outcome already: its "successful" answer must not follow.
    if (samePedalLinked())
    {
        if (resultCode == linkNotOpened || resultCode == resetFailed)
            silenceNextFactoryResetAnswer();

        DEVICEHID_DEBUG_FACTORY();
    }

    delete this;
}

void startFactoryReset()
{
    // The job deletes itself when it has finished. Normal priority is what
    // older JUCE called priority 5.
    auto* job = new WriteIRWindow();
    job->launchThread (juce::Thread::Priority::normal);
}
