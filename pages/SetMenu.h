#pragma once

#include <juce_core/juce_core.h>

#include "cab/FactoryDiskImage.h"

class KVAMPView;
class KVCABView;
class KVDLYView;
class KVMODView;

/** The Set menu's items, by the ids the menu gives them. Ids 5 and 6 have no
    menu item but are handled all the same. */
namespace SetMenu
{
enum Item
{
    firmwareUpdate = 1,
    aboutKorvel = 2,
    feedback = 3,
    factoryReset = 4,
    manual = 5,
    updateNotes = 6
};

// The maker's placeholder site until the real addresses are settled.
const juce::String aboutPage { "https://www.korvel.example/" };
const juce::String feedbackMail { "mailto:feedback@korvel.example?subject=Tessel%20Editor" };
const juce::String manualPdf { "https://www.korvel.example/downloads/tessel-editor-manual.pdf" };
const juce::String updateNotesPdf { "https://www.korvel.example/downloads/tessel-editor-update-notes.pdf" };

/** Said in the CAB reset's question by a build that carries our own factory
    volume, whose IRs are not the maker's recordings. */
const juce::String placeholderIrsNote {
    "This build of Tessel Editor restores placeholder IRs, not the factory IRs: the reset replaces every IR on the "
    "pedal with synthetic ones under the factory names."
};

/** The CAB pedal's reset takes long and rewrites its IR volume, so its
    question says more. */
const juce::String cabFactoryResetQuestion {
    juce::String (juce::CharPointer_UTF8 (
        "Are you sure you want to execute a factory reset? This process cannot be cancelled. "
        "DO NOT disconnect the USB cable or unplug the power jack while the reset is in progress. "
        "The factory reset may take several seconds depending on your device. "
        "If the Tessel Editor doesn\xe2\x80\x99t respond for a long time, please reconnect both USB "
        "and power jacks and try again."))
    + (FactoryDiskImageHasPlaceholderIrs ? " " + placeholderIrsNote : juce::String())
};
} // namespace SetMenu

/** The answer to "Update?": OK (1) restarts the pedal in its update mode. */
void alertBoxResultChosen (int result, KVAMPView* page);
void alertBoxResultChosen (int result, KVMODView* page);
void alertBoxResultChosen (int result, KVDLYView* page);
void alertBoxResultChosen (int result, KVCABView* page);
