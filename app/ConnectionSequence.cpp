#include "app/ConnectionSequence.h"

#include <algorithm>
#include <cstdio>

#include "app/ReplyDecoder.h"
#include "device/CommandSenders.h"
#include "device/LiveLink.h"

ConnectionSequence::ConnectionSequence (uint32_t pedal)
    : pedalNumber (pedal)
{
}

ConnectionSequence::~ConnectionSequence()
{
    stopTimer();

    // Left in its transfer state, a pedal that is still attached (replaced
    // by another, or given up by the window) stays unusable until replugged.
    if (dumpUnderWay)
        sendFrameToPedal (pedalNumber, HidPacket::command (Command::transferState, { 0 }));
}

void ConnectionSequence::tell (std::function<void()> handler)
{
    if (handler != nullptr)
        handler();
}

void ConnectionSequence::await (Awaited what, int retries, int timeoutMs)
{
    awaited = what;
    requestsLeft = retries;
    startTimer (timeoutMs);
}

void ConnectionSequence::awaitIdentity()
{
    // A pedal that never answers would leave "Device Connected." up for ever.
    await (Awaited::identity, identityRequestRetries, identityTimeoutMs);
}

bool ConnectionSequence::identify (DeviceKind kind)
{
    if (identified != kindNone)
        return false;

    identified = kind;
    stopTimer();
    awaited = Awaited::nothing;
    return true;
}

void ConnectionSequence::startNames()
{
    names.clear();
    namesRunning = true;
    nameRequestsRepeated = 0;
    repeatsExpected = 0;

    AlgorithmNumber = 0;
    DEVICEHID_DEBUG_GET_ALGOR_NAME (0);
    AlgorithmNumber = 1;

    await (Awaited::name, nameRequestRetries, nameTimeoutMs);
}

ConnectionSequence::NameStep ConnectionSequence::takeName (const uint8_t* report, const juce::String& name)
{
    if (! namesRunning)
        return NameStep::ignored;

    if (repeatsExpected > 0 && std::equal (lastNameAnswer.begin(), lastNameAnswer.end(), report))
    {
        --repeatsExpected;
        return NameStep::ignored;
    }

    repeatsExpected = std::exchange (nameRequestsRepeated, 0);
    std::copy_n (report, lastNameAnswer.size(), lastNameAnswer.begin());
    names.add (name);

    // The pedal says how many names it has. A count the loop has already
    // reached (0 included) ends the list, so a pedal reporting no names can't
    // keep the editor asking for ever.
    const uint32_t count = report[2];
    if (AlgorithmNumber >= count)
    {
        namesRunning = false;
        stopTimer();
        awaited = Awaited::nothing;
        startDump();
        return NameStep::complete;
    }

    DEVICEHID_DEBUG_GET_ALGOR_NAME ((int) AlgorithmNumber);
    ++AlgorithmNumber;
    await (Awaited::name, nameRequestRetries, nameTimeoutMs);
    return NameStep::next;
}

void ConnectionSequence::startDump()
{
    ended = false;
    dumpUnderWay = true;
    DEVICEHID_DEBUG_TRANS_STATE (1);

    // The first record is watched as the later ones are: a pedal that never
    // sends it would otherwise leave an empty page and its transfer state on.
    awaitRecord (0);
}

void ConnectionSequence::endDump()
{
    if (ended)
        return;

    ended = true;
    dumpUnderWay = false;
    sendEndOfDumpCommands();
}

void ConnectionSequence::awaitRecord (int index)
{
    awaitedRecord = index;
    await (Awaited::record, recordRequestRetries, recordTimeoutMs);
}

void ConnectionSequence::dumpComplete()
{
    if (awaited == Awaited::record)
    {
        stopTimer();
        awaited = Awaited::nothing;
    }
}

void ConnectionSequence::timerCallback()
{
    if (requestsLeft > 0)
    {
        --requestsLeft;

        switch (awaited)
        {
            case Awaited::identity:
                sendLiveFrame (HidPacket::command (Command::identify));
                break;

            case Awaited::name:
                // The pedal may yet answer the first request as well.
                ++nameRequestsRepeated;
                DEVICEHID_DEBUG_GET_ALGOR_NAME ((int) AlgorithmNumber - 1);
                break;

            case Awaited::record:
                printf ("Patch %d did not arrive; asking again.\n", awaitedRecord);
                DEVICEHID_DEBUG_OUT_PRESET (awaitedRecord);
                break;

            case Awaited::nothing:
                stopTimer();
                break;
        }

        return;
    }

    stopTimer();
    const auto given = std::exchange (awaited, Awaited::nothing);

    if (given == Awaited::record && awaitedRecord == 0)
    {
        // Not one record came: the pedal is as silent as one that never
        // identifies. Dropping this sequence takes it out of its transfer state.
        tell (onSilent);
    }
    else if (given == Awaited::record)
    {
        // A pedal that stops answering half-way must not leave the modal
        // loading window up for ever; nor stay in its transfer state with
        // bypass and tap tempo never read.
        printf ("The pedal stopped sending patches after %d; keeping those.\n", awaitedRecord);
        endDump();
        tell (onDumpStalled);
    }
    else if (given != Awaited::nothing)
    {
        namesRunning = false;
        tell (onSilent);
    }
}
