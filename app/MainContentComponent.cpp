#include "app/MainContentComponent.h"

#include <algorithm>
#include <cstdio>

#include "app/KVNoDevice.h"
#include "app/PromptWindow.h"
#include "device/CommandSenders.h"
#include "device/LiveLink.h"
#include "device/ProtocolCodes.h"
#include "pages/KVAMPView.h"
#include "pages/PageControls.h"
#include "ui/Palette.h"

namespace
{
struct PageSize
{
    int width, height;
};

constexpr PageSize ampPageSize { 741, 517 };

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

    // Every progress window and list of the editor takes these from the default look.
    auto& look = juce::LookAndFeel::getDefaultLookAndFeel();
    look.setColour (juce::ProgressBar::foregroundColourId, Palette::progressBar);
    look.setColour (juce::ProgressBar::backgroundColourId, Palette::progressBarBackground);
    look.setColour (juce::ScrollBar::thumbColourId, Palette::scrollBarThumb);

    startLiveLink (*this);
}

MainContentComponent::~MainContentComponent()
{
    // The link's callbacks carry this hub as their context.
    stopLiveLink();
    stopTimer();
    closeLoadingWindow();

    ampView = nullptr;
    noDevice = nullptr;
}

void MainContentComponent::paint (juce::Graphics&)
{
}

void MainContentComponent::resized()
{
}

uint32_t MainContentComponent::firstVisiblePage() const
{
    if (ampView != nullptr && ampView->isVisible())
        return kindAMP;

    return kindNone;
}

bool MainContentComponent::holdsRecord (int index) const
{
    switch (firstVisiblePage())
    {
        case kindAMP: return index < ampView->patchRecords.size();
        default: return false;
    }
}

void MainContentComponent::UpdateMainView (int kind)
{
    juce::Component* page = nullptr;
    PageSize size {};

    switch (kind)
    {
        case kindAMP: page = ampView.get(); size = ampPageSize; break;
        default: return;
    }

    for (auto* other : { (juce::Component*) noDevice.get(), (juce::Component*) ampView.get() })
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
        stopTimer();
        page.patchList.updateContent();
        page.updateAmpInformation (current);
        closeLoadingWindow();
        return;
    }

    DEVICEHID_DEBUG_OUT_PRESET (index + 1);
    waitForRecord (index + 1);
}

void MainContentComponent::UpdateAlgorithmPreset (const std::array<uint8_t, PatchRecord::maxSize>& record)
{
    switch (firstVisiblePage())
    {
        case kindAMP: storeRecord (*ampView, record); break;
        default: break;
    }
}

void MainContentComponent::waitForRecord (int index)
{
    awaitedRecord = index;
    requestsLeft = recordRequestRetries;
    startTimer (recordTimeoutMs);
}

void MainContentComponent::timerCallback()
{
    // A pedal that stops answering half-way must not leave the modal loading
    // window up for ever: ask again a few times, then keep what has arrived.
    if (loadingWindow == nullptr)
    {
        stopTimer();
        return;
    }

    if (requestsLeft > 0)
    {
        --requestsLeft;
        printf ("Patch %d did not arrive; asking again.\n", awaitedRecord);
        DEVICEHID_DEBUG_OUT_PRESET (awaitedRecord);
        return;
    }

    stopTimer();
    printf ("The pedal stopped sending patches after %d; keeping those.\n", awaitedRecord);

    if (firstVisiblePage() == kindAMP)
    {
        auto& page = *ampView;
        page.patchList.updateContent();
        if (auto* last = page.patchRecords.getLast())
            page.updateAmpInformation (last->bytes[PatchRecord::currentByte]);
    }

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

        default:
            break;
    }
}

void MainContentComponent::SetCABSIMButton (int state)
{
    if (ampView != nullptr && ampView->isVisible())
        ampView->switchButton.setToggleState (state != 1, juce::dontSendNotification);
}

void MainContentComponent::disconnect()
{
    stopTimer();

    setSize (KVNoDevice::pageWidth, KVNoDevice::pageHeight);
    noDevice->setBounds (0, 0, KVNoDevice::pageWidth, KVNoDevice::pageHeight);

    noDevice->firmwareButton.setVisible (false);
    noDevice->statusLabel.setText ("No Device Connected.", juce::dontSendNotification);

    switch (firstVisiblePage())
    {
        case kindAMP:
            ampView->patchRecords.clear (true);
            ampView->patchRecords.minimiseStorageOverheads();
            ampView->algorithmListModel.ampNames.clear();
            break;

        default:
            break;
    }

    ampView->setVisible (false);
    noDevice->setVisible (true);

    names.clear();
    names.minimiseStorageOverheads();

    closeLoadingWindow();
}
