#pragma once

#include <juce_core/juce_core.h>

#include "cab/FactoryDiskImage.h"
#include "pagekit/SetMenu.h"

// The CAB page's Set menu: as every page's, but its factory reset rewrites
// the pedal's IR volume first, in a job of its own.

namespace SetMenu
{
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
