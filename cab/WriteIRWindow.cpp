#include "cab/WriteIRWindow.h"

#include <algorithm>
#include <cstdio>

#include "cab/FactoryDiskImage.h"
#include "device/CommandSenders.h"
#include "device/FactoryResetAnswer.h"
#include "device/ProtocolCodes.h"
#include "device/TransferLink.h"
#include "ui/Dialogs.h"

static_assert ((size_t) FactoryReset::fullBlocks * FlashWrite::blockSize + FactoryReset::lastBlockSize
                   == FactoryDisk::imageSize,
               "the blocks cover the image exactly");

juce::String FactoryReset::blockStatus (int block)
{
    return "File : " + juce::String (block) + " / " + juce::String (blockCount);
}

//==============================================================================
WriteIRWindow::WriteIRWindow()
    : TransferJob (FactoryReset::title, FactoryReset::status, Colours::palette),
      askedOfCab (Device == kindCAB)
{
}

bool WriteIRWindow::cabStillLinked() const
{
    return askedOfCab && samePedalLinked();
}

void WriteIRWindow::setStatus (const juce::String& text)
{
    setStatusMessage (text);

    if (statusObserver)
        statusObserver (text);
}

bool WriteIRWindow::eraseFlash()
{
    writeTransferFrame (HidPacket::command (Command::flashErase));

    // The live link keeps its own handle on the pedal, so its reports
    // arrive here too: the erase's answer is none of them.
    const auto notLive = [] (const HidPacket& report)
    { return report.hasValidChecksum() && isLiveLinkReport (report.code()) ? Match::no : Match::exact; };

    HidPacket answer;
    const auto got = awaitAnswer (answer, Timing::eraseAnswerMs, notLive);

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

    if (DEVICE_EXTERN_FLASH_WRITE (image.data(), FactoryReset::lastBlock, FactoryReset::lastBlockSize)
        != FlashWrite::succeeded)
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

    if (askedOfCab)
        beginLiveTransferState();

    wait (Timing::beforeResultMs);
    resultCode = 0;
    wait (Timing::beforeOpenMs);

    // The CAB pedal the user asked about, and no other, gets its flash erased.
    std::optional<Link> link;
    opening = openOwnPedal (link, Usb::korvelVendorId, Usb::cabProductId);
    if (opening != Start::ready)
    {
        resultCode = linkNotOpened;
        return;
    }

    if (FactoryDiskImageSize != FactoryDisk::imageSize || ! eraseFlash())
    {
        resultCode = resetFailed;
        return;
    }

    resultCode = writeImage();
}

void WriteIRWindow::finished()
{
    // Refused before anything was sent: no pedal is reset.
    if (tellWhyNotStarted (opening))
        return;

    if (resultCode == linkNotOpened)
        Dialogs::showMessage (FactoryReset::noLinkTitle, FactoryReset::noLinkMessage);
    else if (resultCode == resetFailed)
        Dialogs::showMessage ({}, FactoryReset::failedMessage);

    // The message box ran the message loop: the pedal may have changed since.
    // The pedal is reset even after a failure, but the user has been told
    // the outcome already: its "successful" answer must not follow.
    if (cabStillLinked())
    {
        if (resultCode == linkNotOpened || resultCode == resetFailed)
            FactoryResetAnswer::silenceNext();

        DEVICEHID_DEBUG_FACTORY();
        return;
    }

    // The window let go of the CAB while its volume was rewritten: another
    // pedal was plugged in and took the live link, or its volume went. Still
    // attached, it gets its reset by its own device. Where the live link no
    // longer hears it, its answer cannot tell the user how it went, so this
    // does. A job that never got to erase the flash resets nothing.
    if (askedOfCab && opening == Start::ready)
    {
        const auto sent = sendToOwnPedal (HidPacket::command (Command::factoryReset));
        const auto answerHeard = sent && ownPedalLinked();

        // Still heard, the CAB's "successful" would follow the failure just
        // told. The quiet follows the linked pedal, so it is asked only while
        // that is the CAB: a pedal linked instead keeps its own answers.
        if (answerHeard && resultCode == resetFailed)
            FactoryResetAnswer::silenceNext();

        if (resultCode == imageWritten && ! answerHeard)
            Dialogs::showMessage ({}, sent ? FactoryReset::resetAsideMessage : FactoryReset::failedMessage);
    }
}

void startFactoryReset()
{
    // The job deletes itself when it has finished. Normal priority is what
    // older JUCE called priority 5.
    auto* job = new WriteIRWindow();
    job->launchThread (juce::Thread::Priority::normal);
}
