#include "app/MainContentComponent.h"

#include <algorithm>
#include <cstdio>

#include "app/KVNoDevice.h"
#include "app/PromptWindow.h"
#include "cab/KVCABView.h"
#include "device/CommandSenders.h"
#include "device/LiveLink.h"
#include "device/ProtocolCodes.h"
#include "pagekit/FirmwareUpdate.h"
#include "pages/KVAMPView.h"
#include "pages/KVDLYView.h"
#include "pages/KVMODView.h"
#include "ui/Dialogs.h"
#include "ui/Palette.h"

namespace
{
struct PageSize
{
    int width, height;
};

/** Each page's size, by DeviceKind. */
constexpr PageSize pageSizes[] = { { 0, 0 }, { 741, 517 }, { 741, 536 }, { 741, 536 }, { 741, 518 } };

const juce::String pedalSilentMessage { "The pedal does not answer." };
const juce::String reconnectHint { "Please disconnect it and connect it again." };
const juce::String pedalInaccessibleMessage { "Pedal found, but it cannot be opened." };
const juce::String udevRuleHint {
    "Allow access with the udev rule that \"cmake --install\" installs, then run\n"
    "sudo udevadm control --reload-rules && sudo udevadm trigger and connect the pedal again."
};

} // namespace

MainContentComponent::MainContentComponent()
{
    noDevice = std::make_unique<KVNoDevice>();
    addAndMakeVisible (*noDevice);

    setSize (KVNoDevice::pageWidth, KVNoDevice::pageHeight);
    noDevice->setBounds (0, 0, KVNoDevice::pageWidth, KVNoDevice::pageHeight);

    // The pages start visible with no size, so nothing of them shows until
    // UpdateMainView sizes one; until then the AMP page counts as visible.
    pages[kindAMP] = std::make_unique<KVAMPView>();
    pages[kindDLY] = std::make_unique<KVDLYView>();
    pages[kindMOD] = std::make_unique<KVMODView>();
    pages[kindCAB] = std::make_unique<KVCABView>();

    auto* firmwarePage = noDevice.get();
    for (int kind : { kindAMP, kindDLY, kindMOD, kindCAB })
    {
        auto& page = *pages[(size_t) kind];
        page.noDevice = firmwarePage;
        page.firmwareCheck = [firmwarePage] (const juce::File& file)
        { return firmwarePage->UpdateFirmware (file, false); };
        page.firmwareForget = [firmwarePage] { firmwarePage->pendingFirmware = juce::File(); };
        addAndMakeVisible (page);
    }

    // Every progress window and list of the editor takes these from the default look.
    auto& look = juce::LookAndFeel::getDefaultLookAndFeel();
    look.setColour (juce::ProgressBar::foregroundColourId, Palette::progressBar);
    look.setColour (juce::ProgressBar::backgroundColourId, Palette::progressBarBackground);
    look.setColour (juce::ScrollBar::thumbColourId, Palette::scrollBarThumb);

    // The disks first, so that a CAB pedal plugged in before start finds its
    // volume already known. Without a disk layer the editor runs without
    // the IR library.
    PedalVolumeWatcher::Listener& volumeListener = *this;
    volumeWatcher = std::make_unique<PedalVolumeWatcher> (diskSessionFactory(), volumeListener);
    if (! volumeWatcher->open())
        printf ("The disk watcher could not start; the CAB pedal's IRs will not be listed.\n");

    startLiveLink (*this);
}

MainContentComponent::~MainContentComponent()
{
    // The link's callbacks carry this hub as their context.
    stopLiveLink();
    connection = nullptr;
    volumeWatcher = nullptr;
    closeLoadingWindow();

    for (auto& page : pages)
        page = nullptr;

    noDevice = nullptr;
}

void MainContentComponent::pedalMatched (const juce::String& name)
{
    // A pedal that replaces another without an unplug starts from clean
    // pages: nothing of the one before (names, records, a dump under way)
    // may be taken for its own. Nor its volume: only the new pedal's own
    // is used for the IR library.
    disconnect();
    volumeWatcher->followPedal (linkedPedalUsbDevice(), attachedCabPedals());

    connection = std::make_unique<ConnectionSequence> (linkedPedal());
    connection->onSilent = [this]
    {
        disconnect();
        showProblem (pedalSilentMessage, reconnectHint);
    };
    connection->onDumpStalled = [this] { dumpStalled(); };
    connection->awaitIdentity();

    showConnectedDevice (name, false, true);
}

void MainContentComponent::pedalInaccessible (const juce::String& name)
{
    showOnNoDevicePage (false,
                        [name] (MainContentComponent& hub)
                        {
        hub.noDevice->deviceName = name;
        hub.showProblem (pedalInaccessibleMessage, udevRuleHint);
    });
}

void MainContentComponent::showOnNoDevicePage (bool forLinkedPedal, std::function<void (MainContentComponent&)> show)
{
    // The no-device page speaks for the linked pedal, or, while none is
    // linked, for the device found last. Its name decides which firmware
    // fits: a device found while a pedal is linked (another pedal this user
    // may not open, one waiting in its update mode) must not change it.
    if (! forLinkedPedal && linkedPedal() != 0)
        return;

    SafePointer<MainContentComponent> hub (this);
    juce::MessageManager::callAsync (
        [hub, show, owner = forLinkedPedal ? linkedPedal() : 0u]
        {
        if (hub != nullptr && linkedPedal() == owner)
            show (*hub);
    });
}

void MainContentComponent::showProblem (const juce::String& status, const juce::String& hint)
{
    noDevice->firmwareButton.setVisible (false);
    noDevice->statusLabel.setText (status, juce::dontSendNotification);
    noDevice->hintLabel.setText (hint, juce::dontSendNotification);
}

void MainContentComponent::updateModeDeviceFound (const juce::String& name)
{
    // No link, but the page offers the firmware button and remembers the
    // name to check firmware against.
    showConnectedDevice (name, true, false);
}

void MainContentComponent::showConnectedDevice (const juce::String& name, bool showFirmwareButton, bool forLinkedPedal)
{
    showOnNoDevicePage (forLinkedPedal,
                        [name, showFirmwareButton] (MainContentComponent& hub)
                        {
        auto* page = hub.noDevice.get();
        page->firmwareButton.setVisible (showFirmwareButton);
        page->deviceName = name;
        page->statusLabel.setText ("Device Connected.", juce::dontSendNotification);
        page->hintLabel.setText ({}, juce::dontSendNotification);
    });
}

void MainContentComponent::reportArrived (uint8_t* report, long reportLength)
{
    MyInputCallback (*this, report, reportLength);
}

void MainContentComponent::pedalRemoved()
{
    // The removal is handled later, when a newer pedal may have been linked
    // meanwhile: its connection stays.
    const auto removed = connection != nullptr ? connection->pedal() : 0u;
    volumeWatcher->followPedal (linkedPedalUsbDevice(), attachedCabPedals());

    SafePointer<MainContentComponent> hub (this);
    juce::MessageManager::callAsync (
        [hub, removed]
        {
        if (hub != nullptr && (hub->connection == nullptr || hub->connection->pedal() == removed))
            hub->disconnect();
    });
}

void MainContentComponent::cabPedalsChanged()
{
    volumeWatcher->countCabPedals (attachedCabPedals());
}

void MainContentComponent::paint (juce::Graphics&)
{
}

void MainContentComponent::resized()
{
}

PedalPage* MainContentComponent::visiblePage()
{
    for (int kind : visibleOrder)
        if (pages[(size_t) kind]->isVisible())
            return pages[(size_t) kind].get();

    return nullptr;
}

PedalPage& MainContentComponent::page (int kind)
{
    jassert (kind >= kindAMP && kind <= kindCAB);
    return *pages[(size_t) juce::jlimit ((int) kindAMP, (int) kindCAB, kind)];
}

KVAMPView& MainContentComponent::ampPage()
{
    return static_cast<KVAMPView&> (*pages[kindAMP]);
}
KVDLYView& MainContentComponent::dlyPage()
{
    return static_cast<KVDLYView&> (*pages[kindDLY]);
}
KVMODView& MainContentComponent::modPage()
{
    return static_cast<KVMODView&> (*pages[kindMOD]);
}
KVCABView& MainContentComponent::cabPage()
{
    return static_cast<KVCABView&> (*pages[kindCAB]);
}

uint32_t MainContentComponent::firstVisiblePage() const
{
    auto* page = const_cast<MainContentComponent&> (*this).visiblePage();
    return page != nullptr ? (uint32_t) page->pageKind() : (uint32_t) kindNone;
}

bool MainContentComponent::holdsRecord (int index) const
{
    auto* page = const_cast<MainContentComponent&> (*this).visiblePage();
    return page != nullptr && index < page->patchCount();
}

void MainContentComponent::UpdateMainView (int kind)
{
    if (kind < (int) kindAMP || kind > (int) kindCAB)
        return;

    auto& page = *pages[(size_t) kind];
    const auto size = pageSizes[kind];

    noDevice->setVisible (false);
    for (auto& other : pages)
        if (other != nullptr && other.get() != &page)
            other->setVisible (false);

    page.setVisible (true);
    setSize (size.width, size.height);
    page.setBounds (0, 0, size.width, size.height);
}

void MainContentComponent::UpdateAlgorithmPreset (const std::array<uint8_t, PatchRecord::maxSize>& record)
{
    auto* page = visiblePage();
    if (page == nullptr)
        return;

    const int count = record[PatchRecord::countByte];
    const int current = record[PatchRecord::currentByte];
    const int index = record[PatchRecord::indexByte];

    if (index < page->patchCount())
    {
        // The pedal re-reports a patch the page already holds.
        page->storeRecord (record);
        page->showPatch (current, true);
        return;
    }

    if (loadingWindow == nullptr)
    {
        loadingWindow = new PromptWindow();
        loadingWindow->launchThread();
    }

    page->storeRecord (record);

    if (index + 1 == count)
    {
        if (connection != nullptr)
            connection->dumpComplete();

        finishDump (*page, current);
        return;
    }

    DEVICEHID_DEBUG_OUT_PRESET (index + 1);

    if (connection != nullptr)
        connection->awaitRecord (index + 1);
}

void MainContentComponent::finishDump (PedalPage& page, int current)
{
    page.showDump (current);
    closeLoadingWindow();

    if (page.pageKind() != kindCAB)
        return;

    // The IR index is read once both the dump has ended and the pedal's own
    // volume is mounted, whichever comes last. A volume still mounted from
    // before a lost link counts too: it will not appear a second time.
    cabPage().dumpFinished (volumeWatcher->hasPedalVolume());
    DEVICEHID_DEBUG_SET_PATCH (current);
}

void MainContentComponent::pedalVolumeAppeared()
{
    cabPage().volumeAppeared();
}

void MainContentComponent::pedalVolumeNotMounted (const juce::String& devicePath, MountFailure failure)
{
    cabPage().showVolumeNotMounted (devicePath, failure);
}

void MainContentComponent::pedalVolumeGone()
{
    // Only the linked CAB pedal's own volume ends its session. A CAB pedal
    // that another pedal has replaced may lose its volume (ejected, or the
    // pedal pulled out) while the newer pedal goes on working.
    if (connection != nullptr && connection->kind() == kindCAB)
        disconnect();
    else
        cabPage().volumeGone();
}

void MainContentComponent::pedalVolumeWithdrawn()
{
    // Still mounted, maybe still the pedal's: the session goes on, without
    // the IRs read from it.
    cabPage().volumeGone();
}

void MainContentComponent::dumpStalled()
{
    if (loadingWindow == nullptr)
        return;

    if (auto* page = visiblePage())
    {
        const int current = page->lastRecordCurrentPatch();
        if (current >= 0)
            finishDump (*page, current);
        else
            page->showDump (-1);
    }

    closeLoadingWindow();

    // Unsaid, the short list would pass for all the pedal's patches. Told
    // once the loading window has gone, and only while the pedal is linked.
    juce::MessageManager::callAsync (
        [session = LinkSession()]
        {
        if (session.isCurrent())
            Dialogs::showMessage ({}, dumpIncompleteMessage);
    });
}

void MainContentComponent::closeLoadingWindow()
{
    if (loadingWindow != nullptr)
    {
        // The window deletes itself once its thread returns; never touch it after this.
        loadingWindow->notify();
        loadingWindow = nullptr;
    }
}

void MainContentComponent::SetSliderValue (int knob, int value)
{
    if (auto* page = visiblePage())
        page->showKnob (knob, value);
}

void MainContentComponent::SetCABSIMButton (int state)
{
    // Only the AMP and DLY pages have the switch; the first of them on show takes it.
    for (int kind : { kindAMP, kindDLY })
    {
        if (pages[(size_t) kind]->isVisible())
        {
            pages[(size_t) kind]->showEffectSwitch (state);
            return;
        }
    }
}

void MainContentComponent::disconnect()
{
    // First: a dump under way ends on its pedal and the connection's timers
    // stop; jobs and timers started for the pedal find its session over.
    connection = nullptr;
    endLinkSessions();

    resetFirmwareWriter();

    setSize (KVNoDevice::pageWidth, KVNoDevice::pageHeight);
    noDevice->setBounds (0, 0, KVNoDevice::pageWidth, KVNoDevice::pageHeight);

    noDevice->firmwareButton.setVisible (false);
    noDevice->statusLabel.setText ("No Device Connected.", juce::dontSendNotification);
    noDevice->hintLabel.setText ({}, juce::dontSendNotification);

    // Every page, not only the visible one, forgets its pedal: with two
    // pedals plugged in one after the other, a page other than the visible
    // one may hold the older pedal's patches and names.
    for (auto& page : pages)
    {
        if (page != nullptr)
        {
            page->forgetPedal();
            page->setVisible (false);
        }
    }

    noDevice->setVisible (true);

    closeLoadingWindow();
}
