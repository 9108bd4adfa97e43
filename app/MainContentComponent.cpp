#include "app/MainContentComponent.h"

#include <algorithm>
#include <cstdio>

#include "pagekit/FirmwareUpdate.h"
#include "app/KVNoDevice.h"
#include "app/PromptWindow.h"
#include "app/ReplyDecoder.h"
#include "cab/KVCABView.h"
#include "device/CommandSenders.h"
#include "device/LiveLink.h"
#include "device/ProtocolCodes.h"
#include "pages/KVAMPView.h"
#include "pages/KVDLYView.h"
#include "pages/KVMODView.h"
#include "app/VisiblePage.h"
#include "pagekit/PageControls.h"
#include "ui/Palette.h"

namespace
{
struct PageSize
{
    int width, height;
};

constexpr PageSize ampPageSize { 741, 517 };
constexpr PageSize modPageSize { 741, 536 };
constexpr PageSize dlyPageSize { 741, 536 };
constexpr PageSize cabPageSize { 741, 518 };

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
    ampView = std::make_unique<KVAMPView>();
    ampView->noDevice = noDevice.get();
    addAndMakeVisible (*ampView);

    dlyView = std::make_unique<KVDLYView>();
    dlyView->noDevice = noDevice.get();
    addAndMakeVisible (*dlyView);

    modView = std::make_unique<KVMODView>();
    modView->noDevice = noDevice.get();
    addAndMakeVisible (*modView);

    cabView = std::make_unique<KVCABView>();
    cabView->noDevice = noDevice.get();
    addAndMakeVisible (*cabView);

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

    dlyView = nullptr;
    ampView = nullptr;
    cabView = nullptr;
    noDevice = nullptr;
    modView = nullptr;
}

void MainContentComponent::pedalMatched (const juce::String& name)
{
    // A pedal that replaces another without an unplug starts from clean
    // pages: nothing of the one before (names, records, a dump under way)
    // may be taken for its own.
    disconnect();

    connection = std::make_unique<ConnectionSequence> (linkedPedal());
    connection->onSilent = [this]
    {
        disconnect();
        showProblem (pedalSilentMessage, reconnectHint);
    };
    connection->onDumpStalled = [this] { dumpStalled(); };
    connection->awaitIdentity();

    showConnectedDevice (name, false);
}

void MainContentComponent::pedalInaccessible (const juce::String& name)
{
    SafePointer<MainContentComponent> hub (this);
    juce::MessageManager::callAsync ([hub, name]
    {
        if (hub != nullptr)
        {
            hub->noDevice->deviceName = name;
            hub->showProblem (pedalInaccessibleMessage, udevRuleHint);
        }
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
    showConnectedDevice (name, true);
}

void MainContentComponent::showConnectedDevice (const juce::String& name, bool showFirmwareButton)
{
    SafePointer<MainContentComponent> hub (this);

    juce::MessageManager::callAsync ([hub, name, showFirmwareButton]
    {
        if (hub == nullptr)
            return;

        auto* page = hub->noDevice.get();
        page->firmwareButton.setVisible (showFirmwareButton);
        page->deviceName = name;
        page->statusLabel.setText ("Device Connected.", juce::dontSendNotification);
        page->hintLabel.setText ({}, juce::dontSendNotification);
    });
}

void MainContentComponent::reportArrived (uint8_t* report, long reportLength)
{
    MyInputCallback (this, kHidSuccess, nullptr, HidReportType::input, 0, report, reportLength);
}

void MainContentComponent::pedalRemoved()
{
    // The removal is handled later, when a newer pedal may have been linked
    // meanwhile: its connection stays.
    const auto removed = connection != nullptr ? connection->pedal() : 0u;

    SafePointer<MainContentComponent> hub (this);
    juce::MessageManager::callAsync ([hub, removed]
    {
        if (hub != nullptr && (hub->connection == nullptr || hub->connection->pedal() == removed))
            hub->disconnect();
    });
}

void MainContentComponent::paint (juce::Graphics&)
{
}

void MainContentComponent::resized()
{
}

uint32_t MainContentComponent::firstVisiblePage() const
{
    if (ampView->isVisible())
        return kindAMP;
    if (dlyView->isVisible())
        return kindDLY;
    if (modView->isVisible())
        return kindMOD;
    if (cabView->isVisible())
        return kindCAB;

    return kindNone;
}

bool MainContentComponent::holdsRecord (int index) const
{
    bool held = false;
    withVisibleEffectPage (const_cast<MainContentComponent&> (*this),
                           [&] (auto& page) { held = index < page.patchRecords.size(); });
    return held;
}

void MainContentComponent::UpdateMainView (int kind)
{
    juce::Component* page = nullptr;
    PageSize size {};

    switch (kind)
    {
        case kindAMP: page = ampView.get(); size = ampPageSize; break;
        case kindMOD: page = modView.get(); size = modPageSize; break;
        case kindDLY: page = dlyView.get(); size = dlyPageSize; break;
        case kindCAB: page = cabView.get(); size = cabPageSize; break;
        default: return;
    }

    for (auto* other : std::initializer_list<juce::Component*> { noDevice.get(), ampView.get(), dlyView.get(),
                                                                 modView.get(), cabView.get() })
        if (other != page)
            other->setVisible (false);

    page->setVisible (true);
    setSize (size.width, size.height);
    page->setBounds (0, 0, size.width, size.height);
}

template <typename Page>
void MainContentComponent::storeRecord (Page& page, const std::array<uint8_t, PatchRecord::maxSize>& record)
{
    using Shape = typename std::remove_reference<decltype (*page.patchRecords.getFirst())>::type;

    const int count = record[PatchRecord::countByte];
    const int current = record[PatchRecord::currentByte];
    const int index = record[PatchRecord::indexByte];

    auto fresh = std::make_unique<Shape>();
    std::copy_n (record.begin(), Shape::size, fresh->bytes.begin());

    if (index < page.patchRecords.size())
    {
        // The pedal re-reports a patch the page already holds.
        page.patchRecords.set (index, fresh.release(), true);
        PageControls::selectRowQuietly (page.patchList, current, true);
        page.updateAmpInformation (current);
        return;
    }

    if (loadingWindow == nullptr)
    {
        loadingWindow = new PromptWindow();
        loadingWindow->launchThread();
    }

    page.patchRecords.add (fresh.release());

    if (index + 1 == count)
    {
        if (connection != nullptr)
            connection->dumpComplete();

        page.patchList.updateContent();
        page.updateAmpInformation (current);
        closeLoadingWindow();

        if constexpr (std::is_same_v<Page, KVCABView>)
            finishCabDump (page, current);

        return;
    }

    DEVICEHID_DEBUG_OUT_PRESET (index + 1);

    if (connection != nullptr)
        connection->awaitRecord (index + 1);
}

void MainContentComponent::finishCabDump (KVCABView& page, int current)
{
    // The IR index is read once both the dump has ended and the pedal's
    // volume is mounted, whichever comes last. A volume still mounted from
    // before a lost link counts too: it will not appear a second time.
    if (page.diskPresent || volumeWatcher->hasPedalVolume())
        page.loadDisk.start();
    else
        page.irLoadPending = true;

    DEVICEHID_DEBUG_SET_PATCH (current);
}

void MainContentComponent::pedalVolumeAppeared()
{
    auto& page = *cabView;
    page.showVolumeNotMounted ({});

    if (page.irLoadPending)
    {
        page.irLoadPending = false;
        page.loadDisk.start();
    }
    else
    {
        page.diskPresent = true;
    }
}

void MainContentComponent::pedalVolumeNotMounted (const juce::String& devicePath)
{
    cabView->showVolumeNotMounted (devicePath);
}

void MainContentComponent::pedalVolumeGone()
{
    // Only the linked CAB pedal's own volume ends its session. A CAB pedal
    // that another pedal has replaced may lose its volume (ejected, or the
    // pedal pulled out) while the newer pedal goes on working.
    if (connection != nullptr && connection->kind() == kindCAB)
        disconnect();
    else
        cabView->diskPresent = false;
}

void MainContentComponent::UpdateAlgorithmPreset (const std::array<uint8_t, PatchRecord::maxSize>& record)
{
    withVisibleEffectPage (*this, [&] (auto& page) { storeRecord (page, record); });
}

void MainContentComponent::dumpStalled()
{
    if (loadingWindow == nullptr)
        return;

    withVisibleEffectPage (*this, [this] (auto& page)
    {
        page.patchList.updateContent();
        if (auto* last = page.patchRecords.getLast())
        {
            page.updateAmpInformation (last->bytes[PatchRecord::currentByte]);

            if constexpr (std::is_same_v<std::decay_t<decltype (page)>, KVCABView>)
                finishCabDump (page, last->bytes[PatchRecord::currentByte]);
        }
    });

    closeLoadingWindow();
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
    switch (firstVisiblePage())
    {
        case kindAMP:
            if (knob >= 0 && knob < KVAMPView::numKnobs)
                ampView->knobSliders[(size_t) knob].setValue (value, juce::dontSendNotification);
            break;

        case kindDLY:
        case kindMOD:
        {
            KVEffectPage& page = firstVisiblePage() == kindDLY ? (KVEffectPage&) *dlyView : (KVEffectPage&) *modView;

            // While the pedal follows tap tempo its rate knob isn't on show.
            if (knob == KVEffectPage::rateKnob && page.tapTempoSync)
                break;

            if (knob >= 0 && knob < KVEffectPage::numKnobs)
                page.knobSliders[(size_t) knob].setValue (value, juce::dontSendNotification);
            break;
        }

        case kindCAB:
            cabView->showReportedKnob (knob, value);
            break;

        default:
            break;
    }
}

void MainContentComponent::SetCABSIMButton (int state)
{
    if (ampView->isVisible())
        ampView->switchButton.setToggleState (state != 1, juce::dontSendNotification);
    else if (dlyView->isVisible())
        dlyView->trailSwitchButton.setToggleState (state != 0, juce::dontSendNotification);
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

    // Every page, not only the visible one: a page hidden when a newer
    // pedal replaced its own must not show that pedal's patches to the next.
    forEachEffectPage (*this, [] (auto& page)
    {
        page.patchRecords.clear (true);
        page.patchRecords.minimiseStorageOverheads();
    });

    // Every page forgets its pedal: with two pedals plugged in one after the
    // other, a page other than the visible one may hold the older pedal's data.
    ampView->algorithmListModel.ampNames.clear();
    dlyView->algorithmListModel.dlyNames.clear();
    modView->algorithmListModel.modNames.clear();

    // Nor does the next pedal follow the older one's tap tempo until it says so.
    for (auto* page : { (KVEffectPage*) dlyView.get(), (KVEffectPage*) modView.get() })
    {
        page->tapTempoSync = false;
        page->showTempoSync (page->bypassswitchButton.getToggleState());
    }

    // The IR table stays: the next index read replaces it. A read under way
    // stops, so that no other pedal gets its index-read command.
    cabView->diskPresent = false;
    cabView->irLoadPending = false;
    cabView->loadDisk.cancel();
    cabView->algorithmList.updateContent();

    for (auto* page : std::initializer_list<juce::Component*> { ampView.get(), dlyView.get(), cabView.get(), modView.get() })
        page->setVisible (false);

    noDevice->setVisible (true);

    closeLoadingWindow();
}
