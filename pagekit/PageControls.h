#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// The set-up every pedal page gives its controls, written once: the pages
// differ in which controls they have and where, not in how each is dressed.

namespace PageControls
{
/** A picture compiled into the program. */
juce::Image picture (const char* data, int size);

/** A push button drawn from one picture: opacity 1.0, 0.8 when the pointer
    is over it and 0.5 when down. */
void setUpButton (juce::ImageButton& button, const juce::Image& image, const juce::String& key,
                  juce::Button::Listener& listener);

/** A switch drawn from two pictures. It never toggles by itself: the page
    flips it, so a report from the pedal can set it without a click. */
void setUpSwitch (juce::ImageButton& button, const juce::Image& normal, const juce::Image& toggled,
                  const juce::String& key, juce::Button::Listener& listener);

/** A rotary knob 0 .. 99 with its value box below. */
void setUpKnob (juce::Slider& knob, juce::LookAndFeel& look, juce::Slider::Listener& listener);

/** The italic face of the default font, slanted on every platform. */
juce::Font slantedFont (float height);

/** The read-only description box. */
void setUpDescriptionBox (juce::TextEditor& box);

/** "Current Version : V 1.1.1" */
void setUpVersionLabel (juce::Label& label);

void setUpList (juce::ListBox& list, juce::ListBoxModel& model, int rowHeight);

/** Selects one row without telling the list's model, so nothing is sent to
    the pedal; a row outside the list leaves no row selected. */
void selectRowQuietly (juce::ListBox& list, int row, bool scrollIntoView);

/** The menus the Set, Import and Export buttons open; the chosen id (0 when
    dismissed) goes to the callback with the page (null once it has gone)
    and `param`. */
template <typename Page, typename Param>
void showMenu (const juce::StringArray& items, juce::LookAndFeel& look, void (*callback) (int, Page*, Param),
               Page* page, Param param);

juce::PopupMenu buildMenu (const juce::StringArray& items, juce::LookAndFeel& look);

/** Told when the pedal an operation began with has gone by the time the user
    has answered its prompt or chooser. */
const juce::String pedalMissingMessage { "The pedal is not connected. Please connect it and try again." };

const juce::StringArray setMenuItems { "Firmware Update", "About KORVEL", "Feedback", "Factory Reset" };
const juce::StringArray importMenuItems { "Import One Patch", "Import All Patches" };
const juce::StringArray exportMenuItems { "Export One Patch", "Export All Patches" };

template <typename Page, typename Param>
void showMenu (const juce::StringArray& items, juce::LookAndFeel& look, void (*callback) (int, Page*, Param),
               Page* page, Param param)
{
    buildMenu (items, look)
        .showMenuAsync (juce::PopupMenu::Options(), juce::ModalCallbackFunction::forComponent (callback, page, param));
}
} // namespace PageControls
