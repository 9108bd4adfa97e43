#pragma once

#include <juce_core/juce_core.h>

#include <optional>

/*  The algorithm catalogue: the text each page's description box shows for
    an algorithm (AMP, DLY, MOD) or an IR (CAB), compiled into the editor as
    XML. The names come from the pedal; the catalogue only supplies the text.

    Every call parses the catalogue anew and keeps nothing of it. A look-up
    happens once per selection or patch shown, and a parse costs far less than
    the repaint that follows it, so holding the parsed document for the whole
    run would buy nothing.

    Sections are "AMP", "DLY", "MOD" and "CAB"; section and entry names are
    matched ignoring letter case, because a pedal may report a name in a
    different case from the catalogue's. */

/** The description of entry `name` in `section`, line breaks and all.

    - An entry of that name: its text (empty if it has none).
    - No such entry, or an empty `name`: the empty string, so the box empties.
    - No such section, or a catalogue without sections: std::nullopt, meaning
      the box keeps whatever it shows. */
std::optional<juce::String> algorithmDescription (const juce::String& section, const juce::String& name);

/** The entry names of `section` in catalogue order; empty if there is no such
    section. The simulated pedals report exactly these names. */
juce::StringArray algorithmNames (const juce::String& section);

/** The CAB look-up name of an IR index entry stored as "/" + file name +
    ".wav": the stored name without its first character and its last four,
    removed by position whatever they are. Empty when four or fewer
    characters remain after the first is removed. */
juce::String irLookupName (const juce::String& storedName);
