#include "app/ReplyDecoder.h"

#include <array>
#include <cstdio>
#include <cstring>

#include "app/ConnectionSequence.h"
#include "app/MainContentComponent.h"
#include "device/CommandSenders.h"
#include "device/FactoryResetAnswer.h"
#include "device/HidPacket.h"
#include "device/LiveLink.h"
#include "device/ProtocolCodes.h"
#include "app/VisiblePage.h"
#include "pagekit/PageControls.h"
#include "ui/Dialogs.h"

namespace
{
using Report = std::array<uint8_t, HidPacket::size>;
using Hub = juce::Component::SafePointer<MainContentComponent>;

struct ModelCode
{
    const char* code;
    DeviceKind kind;
};

constexpr ModelCode modelCodes[] = {
    { "VQA-2", kindAMP },
    { "VQM-2", kindMOD },
    { "VQD-2", kindDLY },
    { "VQC-2", kindCAB },
};

constexpr int modelCodeLength = 5;

constexpr int nameOffset = 4;

ConnectionSequence* connectionOf (MainContentComponent* hub)
{
    return hub != nullptr ? hub->connection.get() : nullptr;
}

/** Runs `action` later on the message thread with the hub, unless the hub
    has gone by then, or the connection under way when it was posted has
    ended: it belonged to that pedal. */
template <typename Action>
void post (MainContentComponent* hub, Action action)
{
    Hub safeHub (hub);
    const juce::WeakReference<ConnectionSequence> connection (connectionOf (hub));
    const bool forConnection = connection != nullptr;

    juce::MessageManager::callAsync ([safeHub, connection, forConnection, action]
    {
        auto* h = safeHub.getComponent();
        if (h == nullptr || (forConnection && connection.get() == nullptr))
            return;

        action (*h);
    });
}

DeviceKind kindFromModelCode (const uint8_t* code)
{
    for (const auto& model : modelCodes)
        if (std::memcmp (code, model.code, modelCodeLength) == 0)
            return model.kind;

    return kindNone;
}

int recordSizeOf (uint32_t kind)
{
    switch (kind)
    {
        case kindAMP: return AMPShape::size;
        case kindMOD:
        case kindDLY: return EffectShape::size;
        case kindCAB: return CABShape::size;
        default: return 0;
    }
}

void handleIdentity (MainContentComponent* hub, const uint8_t* report)
{
    const auto kind = kindFromModelCode (report + 2);
    auto* connection = connectionOf (hub);
    if (kind == kindNone || connection == nullptr || ! connection->identify (kind))
        return;

    Device = kind;

    if (kind == kindCAB)
    {
        // The CAB pedal has no algorithm names: show its page and fetch its patches.
        post (hub, [] (MainContentComponent& h) { h.UpdateMainView ((int) Device); });
        connection->startDump();
        return;
    }

    connection->startNames();
}

juce::String nameFrom (const uint8_t* report)
{
    // Bytes 4 .. n+1, never past the last payload byte, ending early at a NUL;
    // bytes above 0x7F stand for U+0080 .. U+00FF.
    const int n = report[1];
    const int end = std::min (n + 2, (int) HidPacket::checksumOffset);

    juce::String name;
    for (int i = nameOffset; i < end && report[i] != 0; ++i)
        name += juce::String::charToString ((juce::juce_wchar) report[i]);

    return name;
}

void appendNamesToPage (MainContentComponent& hub)
{
    if (hub.connection == nullptr)
        return;

    const auto append = [&hub] (juce::StringArray& names, juce::ListBox& list)
    {
        names.addArray (hub.connection->names);
        list.updateContent();
    };

    switch (Device)
    {
        case kindAMP: append (hub.ampView->algorithmListModel.ampNames, hub.ampView->algorithmList); break;
        case kindMOD: append (hub.modView->algorithmListModel.modNames, hub.modView->algorithmList); break;
        case kindDLY: append (hub.dlyView->algorithmListModel.dlyNames, hub.dlyView->algorithmList); break;
        default: break;
    }
}

void handleAlgorithmName (MainContentComponent* hub, const uint8_t* report)
{
    auto* connection = connectionOf (hub);
    if (connection == nullptr)
        return;

    if (connection->takeName (report, nameFrom (report)) != ConnectionSequence::NameStep::complete)
        return;

    post (hub, [] (MainContentComponent& h)
    {
        appendNamesToPage (h);
        h.UpdateMainView ((int) Device);
    });
}


void handlePresetRecord (MainContentComponent* hub, const uint8_t* report)
{
    const auto size = recordSizeOf (Device);
    auto* connection = connectionOf (hub);
    if (size == 0 || connection == nullptr)
        return;

    // A record outside the pedal's patches, or one no page can take, is
    // dropped: kept, it would pass for one more patch; answered with the end
    // of the dump, it would make the pedal send it again for ever.
    const int count = report[2];
    const int index = report[4];
    if (index >= count || hub->firstVisiblePage() == kindNone)
        return;

    // Ending the transfer state makes the pedal answer 0x65, which asks for
    // record 0 again. For a pedal with one patch that record is the last one
    // once more, so the end of the dump is only taken from a record the page
    // doesn't hold yet; a re-reported record just replaces its copy.
    // The dump is also ended only once, so a record that comes back after
    // the end (the pedal's own answer to it) cannot end it again.
    if (index + 1 == count && hub->holdsRecord (index) == false)
        connection->endDump();

    std::array<uint8_t, PatchRecord::maxSize> record {};
    std::memcpy (record.data(), report + 2, (size_t) size);
    hub->UpdateAlgorithmPreset (record);
}

void handlePatchReport (MainContentComponent& hub, int patch)
{
    withVisibleEffectPage (hub, [patch] (auto& page)
    {
        PageControls::selectRowQuietly (page.patchList, patch, false);
        page.updateAmpInformation (patch);
    });
}

void handleAlgorithmReport (MainContentComponent& hub, int algorithm)
{
    withVisibleEffectPage (hub, [algorithm] (auto& page)
    {
        PageControls::selectRowQuietly (page.algorithmList, algorithm, true);
        page.UpdateDiagnosticsBox (algorithm);
    });
}

void handleBypassReport (MainContentComponent& hub, int state)
{
    // Any value but 0 means the effect is on; 2 has a meaning of its own on the CAB pedal only.
    withVisibleEffectPage (hub, [state] (auto& page)
    {
        if constexpr (std::is_same_v<std::decay_t<decltype (page)>, KVCABView>)
        {
            page.showEffectState (state);
        }
        else
        {
            page.bypassswitchButton.setToggleState (state != 0, juce::dontSendNotification);
            page.setAllViewEnabled (state != 0);
        }
    });
}

/** Posts a CAB report with the one byte it reads. */
template <typename Action>
void postToCabPage (MainContentComponent* hub, const uint8_t* report, Action action)
{
    const int value = report[2];
    post (hub, [action, value] (MainContentComponent& h) { action (h, value); });
}

/** The room and presence reports reach the CAB page only while it is the page on show. */
bool cabPageOnShow (MainContentComponent& hub)
{
    return hub.firstVisiblePage() == kindCAB;
}

void handleTapTempoReport (MainContentComponent& hub, int sync)
{
    auto* page = visibleTempoPage (hub);
    if (page == nullptr)
        return;

    page->tapTempoSync = sync == 1;

    if (page->tapTempoSync)
        DEVICEHID_DEBUG_GET_DIVIDE();
    else if (page == hub.dlyView.get())
        page->divideCombo.setSelectedId (0, juce::dontSendNotification);

    if (page->bypassswitchButton.getToggleState())
        page->showTempoSync (true);
}

/** Selects the item for a value the pedal reports (item id = value + 1);
    a value the box has no item for changes nothing. */
void selectReportedItem (juce::ComboBox& box, int value)
{
    if (juce::isPositiveAndBelow (value, box.getNumItems()))
        box.setSelectedId (value + 1, juce::dontSendNotification);
}

void handleMaxDelayReport (MainContentComponent& hub, const uint8_t* report)
{
    if (! hub.dlyView->isVisible())
        return;

    const int milliseconds = report[2] * 100 + report[3];
    for (int i = 0; i < (int) std::size (KVDLYView::maxDelayTimes); ++i)
        if (milliseconds == KVDLYView::maxDelayTimes[i])
            hub.dlyView->maxDelayCombo.setSelectedId (i + 1, juce::dontSendNotification);
}

bool effectPedal()
{
    return Device == kindMOD || Device == kindDLY;
}

/** Posts a report for the MOD and DLY pages, with a copy of the bytes it reads. */
template <typename Action>
void postToTempoPage (MainContentComponent* hub, const uint8_t* report, Action action)
{
    if (! effectPedal())
        return;

    const int first = report[2], second = report[3];
    post (hub, [action, first, second] (MainContentComponent& h)
    {
        if (auto* page = visibleTempoPage (h))
            action (h, *page, first, second);
    });
}
} // namespace

void MyInputCallback (void* context, HidResult, void*, HidReportType, uint32_t, uint8_t* report, long reportLength)
{
    if (report == nullptr || reportLength < HidPacket::size)
        return;

    if (! hidPacketChecksumMatches (report))
    {
        printf ("效验码出错");
        return;
    }

    auto* hub = static_cast<MainContentComponent*> (context);

    switch (report[0])
    {
        case Reply::factoryReset:
            post (hub, [] (MainContentComponent&)
            {
                if (FactoryResetAnswer::takeSilence())
                    return;

                Dialogs::showMessage ("Factory reset successful.",
                                      "Please disconnect both USB and power jacks and reconnect.");
            });
            break;

        case Reply::presetRecord:
            handlePresetRecord (hub, report);
            break;

        case Reply::knob:
            if (hub != nullptr)
                hub->SetSliderValue (report[2], report[3]);
            break;

        case Reply::identity:
            handleIdentity (hub, report);
            break;

        case Reply::patch:
            if (hub != nullptr)
                handlePatchReport (*hub, report[2]);
            break;

        case Reply::algorithm:
            if (hub != nullptr)
                handleAlgorithmReport (*hub, report[2]);
            break;

        case Reply::bypass:
            if (hub != nullptr)
                handleBypassReport (*hub, report[2]);
            break;

        case Reply::tapTempo:
            if (hub != nullptr)
                handleTapTempoReport (*hub, report[2]);
            break;

        case Reply::expressionTarget:
            postToTempoPage (hub, report, [] (MainContentComponent&, KVEffectPage& page, int target, int)
                             { selectReportedItem (page.objectCombo, target); });
            break;

        case Reply::division:
            if (hub != nullptr)
                if (auto* page = visibleTempoPage (*hub))
                    selectReportedItem (page->divideCombo, report[2]);
            break;

        case Reply::expressionRange:
            // The one report set with notification: the page answers with the range, as the pedal expects.
            postToTempoPage (hub, report, [] (MainContentComponent&, KVEffectPage& page, int minimum, int maximum)
            {
                page.rangeMinSlider.setValue (minimum, juce::sendNotificationAsync);
                page.rangeMaxSlider.setValue (maximum, juce::sendNotificationAsync);
            });
            break;

        case Reply::trail:
            if (effectPedal())
            {
                const int state = report[2];
                post (hub, [state] (MainContentComponent& h) { h.SetCABSIMButton (state); });
            }
            break;

        case Reply::inputMode:
            postToTempoPage (hub, report, [] (MainContentComponent&, KVEffectPage& page, int mode, int)
                             { selectReportedItem (page.inputModeCombo, mode); });
            break;

        case Reply::maxDelay:
            if (hub != nullptr)
                handleMaxDelayReport (*hub, report);
            break;

        case Reply::cabSimulation:
            if (hub != nullptr)
                hub->SetCABSIMButton (report[2]);
            break;

        // The CAB pedal's own reports. The power amp reaches its page even while hidden.
        case Reply::powerAmp:
            postToCabPage (hub, report, [] (MainContentComponent& h, int type) { h.cabView->showPowerAmp (type); });
            break;

        case Reply::cabLevel:
            postToCabPage (hub, report, [] (MainContentComponent& h, int level)
            {
                if (cabPageOnShow (h))
                    h.cabView->showRoomLevel (level);
            });
            break;

        case Reply::powerAmpLevel:
            postToCabPage (hub, report, [] (MainContentComponent& h, int level)
            {
                if (cabPageOnShow (h))
                    h.cabView->powerAmpParamSlider.setValue (level, juce::dontSendNotification);
            });
            break;

        case Reply::microphone:
            postToCabPage (hub, report, [] (MainContentComponent& h, int microphone)
                           { h.SetSliderValue (KVCABView::microphoneKnob, microphone); });
            break;

        case Reply::saveComplete:
            post (hub, [] (MainContentComponent&) { Dialogs::showMessage ({}, "Save complete."); });
            break;

        case Reply::algorithmName:
            handleAlgorithmName (hub, report);
            break;

        case Reply::transferState:
            if (connectionOf (hub) != nullptr)
                DEVICEHID_DEBUG_OUT_PRESET (0);
            break;

        default:
            break;
    }
}

void sendEndOfDumpCommands()
{
    DEVICEHID_DEBUG_TRANS_STATE (0);
    DEVICEHID_DEBUG_GET_BYPASS();

    if (Device == kindDLY)
        sendLiveFrame (HidPacket::command (Command::getMaxDelay));

    if (Device == kindMOD || Device == kindDLY)
        DEVICEHID_DEBUG_GET_TAPTEMP();
}
