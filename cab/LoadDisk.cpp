#include "cab/LoadDisk.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include <juce_graphics/juce_graphics.h>

#include "device/CommandSenders.h"
#include "device/PedalVolumeWatcher.h"

LoadDisk::LoadDisk()
    : volumePath (disk_Name),
      sendIndexRead (sendIrIndexRead)
{
}

LoadDisk::~LoadDisk()
{
    stopTimer();
}

void LoadDisk::start (const LinkSession& forPedal)
{
    // A pedal the window no longer works with gets no read; nor may it stop
    // the series of the pedal that has taken its place.
    if (! forPedal.isCurrent())
        return;

    attemptsMade = 0;
    session = forPedal;

    // Not from inside the caller: the volume watcher and the hub start loads
    // from their own notices.
    startTimer (1);
}

void LoadDisk::cancel()
{
    stopTimer();
    attemptsMade = 0;
}

void LoadDisk::timerCallback()
{
    stopTimer();

    if (! session.isCurrent())
    {
        attemptsMade = 0;
        return;
    }

    ++attemptsMade;

    const auto path = volumePath != nullptr ? volumePath() : juce::String();
    std::optional<ListInfor> index;

    if (juce::File::isAbsolutePath (path))
    {
        // What a write cut off by the volume leaving would leave behind.
        removeUnfinishedFileList (juce::File (path));
        index = readFileListFrom (juce::File (path));
    }

    // Held here: whoever hears the outcome may start another series, or
    // delete this one.
    const auto send = sendIndexRead;

    if (index.has_value())
    {
        attemptsMade = 0;

        if (onLoaded != nullptr)
            onLoaded (std::move (*index), path);
    }
    else if (attemptsMade < maxAttempts)
    {
        startTimer (retryIntervalMs);
    }
    else
    {
        attemptsMade = 0;

        if (onGaveUp != nullptr)
            onGaveUp();
    }

    if (send != nullptr)
        send();
}

int irListRowWidth (const IrTable& table)
{
    const juce::Font font (15.0f);
    int widest = 0;

    for (uint32_t i = 0; i < table.irCount && i < table.entries.size(); ++i)
    {
        const auto& entry = table.entries[i];

        if (entry.nameLength != 0 && entry.name.isNotEmpty())
            widest = std::max (widest, (int) std::ceil (font.getStringWidthFloat (entry.name)));
    }

    return widest;
}
