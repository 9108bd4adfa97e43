#include "pagekit/TransferJob.h"

#include <algorithm>

#include "device/CommandSenders.h"
#include "device/ProtocolCodes.h"
#include "device/TransferLink.h"
#include "ui/Dialogs.h"
#include "ui/Palette.h"

namespace
{
std::atomic<int> liveJobs { 0 };
} // namespace

TransferJob::TransferJob (const juce::String& title, const juce::String& status, Colours colours)
    : ThreadWithProgressWindow (title, true, false, stopTimeoutMs, {}, nullptr),
      pedal (linkedPedal()),
      kind (Device),
      pedalPath (devicePathOfPedal (pedal)),
      inLiveTransferState (std::make_shared<std::atomic<bool>> (false))
{
    ++liveJobs;
    setStatusMessage (status);

    if (colours == Colours::palette)
    {
        auto* window = getAlertWindow();
        window->setColour (juce::AlertWindow::backgroundColourId, Palette::jobWindowBackground);
        window->setColour (juce::AlertWindow::textColourId, Palette::jobWindowText);
        window->setColour (juce::AlertWindow::outlineColourId, Palette::jobWindowOutline);
    }
}

TransferJob::~TransferJob()
{
    // The thread must be gone before what it reads; a job is deleted only
    // once its thread has stopped, so this is the last word only.
    stopThread (stopTimeoutMs);
    --liveJobs;
}

int TransferJob::jobsInProgress() noexcept
{
    return liveJobs.load();
}

void TransferJob::threadComplete (bool)
{
    // The job's own work leaves the link closed on every way out; a thread
    // that had to be stopped may not have got there.
    CloseUsbHid();
    endLiveTransferState();

    finished();
    delete this;
}

//==============================================================================
TransferJob::Link::Link (int vendorId, int productId, const juce::String& devicePath)
{
    const auto opened = OpenUsbHid ((unsigned short) vendorId, (unsigned short) productId, devicePath.toStdString());
    open = opened == 1;
    ambiguous = opened == transferLinkAmbiguous;
}

TransferJob::Link::~Link()
{
    if (inTransferState)
        HIDAPI_DEVICEHID_DEBUG_TRANS_STATE (0);

    CloseUsbHid();
}

void TransferJob::Link::beginTransferState()
{
    HIDAPI_DEVICEHID_DEBUG_TRANS_STATE (1);
    inTransferState = true;
}

//==============================================================================
int TransferJob::awaitAnswer (HidPacket& answer, int timeoutMs, const Matcher& match, int settleMs)
{
    constexpr int slice = 100;
    constexpr int queuedReportsAtMost = 64;

    const auto inMs = [] (int ms) { return juce::Time::getMillisecondCounter() + (juce::uint32) std::max (0, ms); };
    auto deadline = inMs (timeoutMs);
    int lateReads = 0;
    int likely = 0; // the bytes of a report taken as likely, kept in `answer`

    for (;;)
    {
        const auto now = juce::Time::getMillisecondCounter();
        const auto left = deadline > now ? (int) (deadline - now) : 0;
        if (left == 0 && ++lateReads > queuedReportsAtMost)
            return likely;

        HidPacket report;
        const auto got = readTransferFrame (report, std::min (left, slice));
        if (got < 0)
            return got; // the pedal has gone

        if (got > 0)
        {
            const auto verdict = match (report);
            if (verdict == Match::exact)
            {
                answer = report;
                return got;
            }

            if (verdict == Match::likely)
            {
                // Only the first one sets the moment to settle in.
                if (likely == 0)
                    deadline = std::min (deadline, inMs (settleMs));
                answer = report;
                likely = got;
            }
        }

        if (got == 0 && left == 0)
            return likely;

        if (threadShouldExit())
            return 0;
    }
}

//==============================================================================
TransferJob::Start TransferJob::openOwnPedal (std::optional<Link>& link, int vendorId, int productId)
{
    link.reset();

    // With another pedal linked, the device at the old path may be the
    // newcomer, and must not get what was meant for the pedal the user
    // started the job for. Otherwise the job's own has gone, or the window
    // has given it up.
    const auto verdict = [this] { return anotherPedalLinked() ? Start::pedalChanged : Start::pedalGone; };

    if (! samePedalLinked())
        return verdict();

    link.emplace (vendorId, productId, pedalPath);

    if (link->couldNotTellApart())
    {
        link.reset();
        return Start::cannotTellApart;
    }

    if (! link->isOpen())
    {
        link.reset();
        return Start::pedalGone;
    }

    if (! samePedalLinked())
    {
        link.reset();
        return verdict();
    }

    return Start::ready;
}

bool TransferJob::tellWhyNotStarted (Start start)
{
    if (start == Start::pedalChanged)
        Dialogs::showMessage ({}, pedalChangedMessage);
    else if (start == Start::cannotTellApart)
        Dialogs::showMessage ({}, cannotTellApartMessage);
    else
        return false;

    return true;
}

bool TransferJob::anotherPedalLinked() const
{
    const auto linked = linkedPedal();
    return linked != 0 && linked != pedal;
}

bool TransferJob::ownPedalLinked() const
{
    return linkedPedal() == pedal;
}

bool TransferJob::sendToOwnPedal (const HidPacket& frame) const
{
    return sendFrameToPedal (pedal, frame);
}

bool TransferJob::samePedalLinked() const
{
    // The pedal kind is the message thread's; the job's thread compares the
    // device alone.
    const auto kindUnchanged = ! juce::MessageManager::getInstance()->isThisTheMessageThread() || Device == kind;
    return session.isIntact() && kindUnchanged;
}

void TransferJob::beginLiveTransferState()
{
    auto handedOver = std::make_shared<juce::WaitableEvent>();
    auto send = [handedOver, sessionNow = session, kindNow = kind, entered = inLiveTransferState]
    {
        if (sessionNow.isIntact() && Device == kindNow)
        {
            DEVICEHID_DEBUG_TRANS_STATE (1);
            *entered = true;
        }

        handedOver->signal();
    };

    // Run on the message thread itself (as a caller may run a job's work
    // directly), a posted send could never go out while this waits for it.
    if (juce::MessageManager::getInstance()->isThisTheMessageThread())
    {
        send();
        return;
    }

    const auto posted = juce::MessageManager::callAsync (std::move (send));

    while (posted && ! handedOver->wait (100) && ! threadShouldExit())
    {
    }
}

void TransferJob::endLiveTransferState()
{
    if (! inLiveTransferState->exchange (false))
        return;

    // A pedal that is no longer the linked one, or no longer in the window's
    // session, but still attached, must not be left in its transfer state.
    if (samePedalLinked())
        DEVICEHID_DEBUG_TRANS_STATE (0);
    else
        sendFrameToPedal (pedal, HidPacket::command (Command::transferState, { 0 }));
}
