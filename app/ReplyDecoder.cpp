#include "app/ReplyDecoder.h"

#include <array>
#include <cstdio>
#include <cstring>

#include "app/ConnectionSequence.h"
#include "cab/KVCABView.h"
#include "device/CommandSenders.h"
#include "device/FactoryResetAnswer.h"
#include "device/HidPacket.h"
#include "device/LiveLink.h"
#include "device/ProtocolCodes.h"
#include "pages/KVDLYView.h"
#include "pages/KVMODView.h"
#include "ui/Dialogs.h"

namespace
{
using Report = std::array<uint8_t, HidPacket::size>;

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

/** Runs `action` later on the message thread with the window, unless the
    window has gone by then, or the connection under way when it was posted
    has ended: it belonged to that pedal. */
template <typename Action>
void post (ReplyWindow& window, Action action)
{
    const juce::Component::SafePointer<juce::Component> safeWindow (&window.windowComponent());
    const juce::WeakReference<ConnectionSequence> connection (window.liveConnection());
    const bool forConnection = connection != nullptr;

    juce::MessageManager::callAsync (
        [safeWindow, connection, forConnection, action]
        {
        auto* w = dynamic_cast<ReplyWindow*> (safeWindow.getComponent());
        if (w == nullptr || (forConnection && connection.get() == nullptr))
            return;

        action (*w);
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
        case kindAMP:
            return AMPShape::size;
        case kindMOD:
        case kindDLY:
            return EffectShape::size;
        case kindCAB:
            return CABShape::size;
        default:
            return 0;
    }
}

void handleIdentity (ReplyWindow& window, const uint8_t* report)
{
    const auto kind = kindFromModelCode (report + 2);
    auto* connection = window.liveConnection();
    if (kind == kindNone || connection == nullptr || ! connection->identify (kind))
        return;

    Device = kind;

    if (kind == kindCAB)
    {
        // The CAB pedal has no algorithm names: show its page and fetch its patches.
        post (window, [] (ReplyWindow& w) { w.UpdateMainView ((int) Device); });
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

void handleAlgorithmName (ReplyWindow& window, const uint8_t* report)
{
    auto* connection = window.liveConnection();
    if (connection == nullptr)
        return;

    if (connection->takeName (report, nameFrom (report)) != ConnectionSequence::NameStep::complete)
        return;

    // The names go to their page once, with the page itself.
    post (window,
          [] (ReplyWindow& w)
          {
        auto* current = w.liveConnection();
        if (current != nullptr && (Device == kindAMP || Device == kindMOD || Device == kindDLY))
            w.page ((int) Device).showAlgorithmNames (current->names);

        w.UpdateMainView ((int) Device);
    });
}

void handlePresetRecord (ReplyWindow& window, const uint8_t* report)
{
    const auto size = recordSizeOf (Device);
    auto* connection = window.liveConnection();
    if (size == 0 || connection == nullptr)
        return;

    // A record outside the pedal's patches, or one no page can take, is
    // dropped: kept, it would pass for one more patch; answered with the end
    // of the dump, it would make the pedal send it again for ever.
    const int count = report[2];
    const int index = report[4];
    auto* page = window.visiblePage();
    if (index >= count || page == nullptr)
        return;

    // Ending the transfer state makes the pedal answer 0x65, which asks for
    // record 0 again. For a pedal with one patch that record is the last one
    // once more, so the end of the dump is only taken from a record the page
    // doesn't hold yet; a re-reported record just replaces its copy.
    // The dump is also ended only once, so a record that comes back after
    // the end (the pedal's own answer to it) cannot end it again.
    if (index + 1 == count && index >= page->patchCount())
        connection->endDump();

    std::array<uint8_t, PatchRecord::maxSize> record {};
    std::memcpy (record.data(), report + 2, (size_t) size);
    window.UpdateAlgorithmPreset (record);
}

/** The DLY page if it is visible, else the MOD page if that is, else null:
    where the tap-tempo and expression-pedal reports go. */
KVEffectPage* visibleTempoPage (ReplyWindow& window)
{
    if (window.dlyPage().isVisible())
        return &window.dlyPage();
    if (window.modPage().isVisible())
        return &window.modPage();
    return nullptr;
}

bool effectPedal()
{
    return Device == kindMOD || Device == kindDLY;
}

/** A report for the MOD and DLY pages, on the one on show. */
template <typename Action>
void toTempoPage (ReplyWindow& window, const uint8_t* report, Action action)
{
    if (! effectPedal())
        return;

    if (auto* page = visibleTempoPage (window))
        action (*page, report[2], report[3]);
}

/** A CAB report with the one byte it reads; `onShowOnly`: only while the
    CAB page is the page on show. */
template <typename Action>
void toCabPage (ReplyWindow& window, const uint8_t* report, bool onShowOnly, Action action)
{
    auto* visible = window.visiblePage();
    if (! onShowOnly || (visible != nullptr && visible->pageKind() == kindCAB))
        action (window.cabPage(), report[2]);
}
} // namespace

void MyInputCallback (ReplyWindow& window, const uint8_t* report, long reportLength)
{
    if (report == nullptr || reportLength < HidPacket::size)
        return;

    if (! hidPacketChecksumMatches (report))
    {
        printf ("效验码出错");
        return;
    }

    auto* page = window.visiblePage();

    // What the pedal reports is shown at once, in the order it was sent: the
    // link may hand over several waiting reports in one go, and a value left
    // for later would land after a patch change sent behind it, on the other
    // patch. Only message boxes and the connection's own steps wait.
    switch (report[0])
    {
        case Reply::factoryReset:
            post (window,
                  [] (ReplyWindow&)
                  {
                if (FactoryResetAnswer::takeSilence())
                    return;

                Dialogs::showMessage ("Factory reset successful.",
                                      "Please disconnect both USB and power jacks and reconnect.");
            });
            break;

        case Reply::presetRecord:
            handlePresetRecord (window, report);
            break;

        case Reply::knob:
            if (page != nullptr)
                page->showKnob (report[2], report[3]);
            break;

        case Reply::identity:
            handleIdentity (window, report);
            break;

        case Reply::patch:
            if (page != nullptr)
                page->showPatch (report[2], false);
            break;

        case Reply::algorithm:
            if (page != nullptr)
                page->showAlgorithm (report[2]);
            break;

        case Reply::bypass:
            // Any value but 0 means the effect is on; 2 has a meaning of its own on the CAB pedal only.
            if (page != nullptr)
                page->showBypass (report[2]);
            break;

        case Reply::tapTempo:
            if (auto* tempoPage = visibleTempoPage (window))
            {
                const bool sync = report[2] == 1;
                tempoPage->showTapTempo (sync);

                if (sync)
                    DEVICEHID_DEBUG_GET_DIVIDE();
            }
            break;

        case Reply::expressionTarget:
            toTempoPage (window, report, [] (KVEffectPage& p, int target, int) { p.showExpressionTarget (target); });
            break;

        case Reply::division:
            if (auto* tempoPage = visibleTempoPage (window))
                tempoPage->showDivision (report[2]);
            break;

        case Reply::expressionRange:
            toTempoPage (window, report,
                         [] (KVEffectPage& p, int minimum, int maximum) { p.showExpressionRange (minimum, maximum); });
            break;

        case Reply::trail:
            if (effectPedal())
                window.SetCABSIMButton (report[2]);
            break;

        case Reply::inputMode:
            toTempoPage (window, report, [] (KVEffectPage& p, int mode, int) { p.showInputMode (mode); });
            break;

        case Reply::maxDelay:
            if (window.dlyPage().isVisible())
                window.dlyPage().showMaxDelay (report[2] * 100 + report[3]);
            break;

        case Reply::cabSimulation:
            window.SetCABSIMButton (report[2]);
            break;

        // The CAB pedal's own reports. The power amp reaches its page even while hidden;
        // the room and presence levels only while it is the page on show.
        case Reply::powerAmp:
            toCabPage (window, report, false, [] (KVCABView& cab, int type) { cab.showPowerAmp (type); });
            break;

        case Reply::cabLevel:
            toCabPage (window, report, true, [] (KVCABView& cab, int level) { cab.showRoomLevel (level); });
            break;

        case Reply::powerAmpLevel:
            toCabPage (window, report, true, [] (KVCABView& cab, int level) { cab.showPresence (level); });
            break;

        case Reply::microphone:
            // Told as the microphone knob to whichever page is on show.
            if (page != nullptr)
                page->showKnob (KVCABView::microphoneKnob, report[2]);
            break;

        case Reply::saveComplete:
            // What the page shows and exports of the patch is now what the pedal stored.
            if (page != nullptr)
                page->patchSaved();

            post (window, [] (ReplyWindow&) { Dialogs::showMessage ({}, "Save complete."); });
            break;

        case Reply::algorithmName:
            handleAlgorithmName (window, report);
            break;

        case Reply::transferState:
            if (window.liveConnection() != nullptr)
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
