#pragma once

#include <juce_graphics/juce_graphics.h>

/*  The CAB page's own pictures: its background, the speaker pad, the twenty
    microphone pictures that stand for Z, and the room level's caption.
*/
namespace tessel::art
{
void drawCabPageBackground (juce::Graphics& g, juce::Rectangle<float> area);

/** The speaker seen from the front, with a faint grid for the microphone's X and Y. */
void drawMicPad (juce::Graphics& g, juce::Rectangle<float> area);

/** Microphone picture `index` of 20: the higher the index (the further Z
    takes the microphone from the speaker), the smaller the microphone and
    the further and softer its shadow. */
void drawMicrophone (juce::Graphics& g, juce::Rectangle<float> area, int index);

inline constexpr int microphonePictureCount = 20;

/** "ROOM": the room level's caption, a picture so the page can dim it at 0. */
void drawRoomLabel (juce::Graphics& g, juce::Rectangle<float> area);
} // namespace tessel::art
