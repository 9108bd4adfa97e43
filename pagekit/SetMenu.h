#pragma once

#include <juce_core/juce_core.h>

#include "device/LiveLink.h"

class PedalPage;

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

/** Whether the item acts on the pedal (the update, the reset), not only
    opens a web link. */
bool actsOnPedal (int item);

/** Acts on the item `result` chosen in `page`'s Set menu, as every page
    does; the CAB page handles its factory reset itself. */
void chooseItem (int result, PedalPage& page);

/** The answer to "Update?": OK (1) restarts the pedal in its update mode. */
void confirmUpdate (int result);

/** After a modal wait: whether the pedal the menu was opened for is still
    the one linked; if not, the user is told and nothing is sent. */
bool stillLinked (const LinkSession& session);
} // namespace SetMenu
