#pragma once

#include <array>
#include <cstdint>

#include <juce_gui_basics/juce_gui_basics.h>

#include "device/PatchRecord.h"

/** What the window and the list model know of a pedal page, whichever pedal
    it is for: what it answers (its kind, its patch records, its list rows)
    and what it is told (the pedal's reports, a record to store, that the
    pedal has gone, what its menus answered). Each page decides what a report
    means for its own controls; nothing above it sets them. */
class PedalPage
{
public:
    virtual ~PedalPage() = default;

    // What it answers. ---------------------------------------------------

    /** The DeviceKind of the pedal the page is for. */
    virtual int pageKind() const = 0;

    virtual juce::Component& component() = 0;

    /** How many patch records the page holds. */
    virtual int patchCount() const = 0;

    /** The current-patch byte of the last record held; -1 with none. */
    virtual int lastRecordCurrentPatch() const = 0;

    /** The rows of the page's patch list (listMode 1) or algorithm list
        (any other mode): how many, the text of one, and what a selection
        the user made there sends. */
    virtual int listRowCount (int listMode) const = 0;
    virtual juce::String listRowText (int listMode, int row) const = 0;
    virtual void listRowsSelected (int listMode, int lastRowSelected) = 0;

    /** Whether the list's rows are laid out as attributed text, with no inset. */
    virtual bool listRowsLaidOut (int) const { return false; }

    // What it is told. Values from the pedal are shown without
    // notification, so nothing the pedal reports is echoed back. ----------

    /** A knob the pedal reports; a knob the page has not is ignored. */
    virtual void showKnob (int knob, int value) = 0;

    /** The pedal's current patch: selected in the list and shown. */
    virtual void showPatch (int patch, bool scrollIntoView) = 0;

    /** The algorithm (or IR) the pedal reports: selected and described. */
    virtual void showAlgorithm (int algorithm) = 0;

    /** The bypass state the pedal reports: 0 off, anything else on. */
    virtual void showBypass (int state) = 0;

    /** The pedal's second switch: cabinet simulation (AMP) or trail (DLY). */
    virtual void showEffectSwitch (int) {}

    /** The pedal's algorithm names, in its order. */
    virtual void showAlgorithmNames (const juce::StringArray&) {}

    /** A record of a patch dump (zero-padded to the longest layout): it
        replaces the record the page holds at its index, or is added. */
    virtual void storeRecord (const std::array<uint8_t, PatchRecord::maxSize>& record) = 0;

    /** The dump has ended, or stopped: the patch list follows the records,
        and patch `current` is shown and selected (none when negative). */
    virtual void showDump (int current) = 0;

    /** The pedal has stored its current patch (a Save it confirmed): the
        page reads that patch back, so that its record holds what was saved. */
    virtual void patchSaved() {}

    /** The pedal has gone: the page forgets all it learnt of it, the rows
        selected in its lists too. */
    virtual void forgetPedal() = 0;

    /** What the Set menu and its "Update?" question answered. */
    virtual void setMenuItemChosen (int result) = 0;
    virtual void updateQuestionAnswered (int result) = 0;

    /** Checks a firmware file for the pedal, as the no-device page does. */
    virtual bool checkFirmwareFile (const juce::File& file) = 0;

    /** The checked firmware file is not to be written after all. */
    virtual void forgetFirmwareFile() = 0;
};
