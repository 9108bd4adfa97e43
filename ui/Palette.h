#pragma once

#include <juce_graphics/juce_graphics.h>

// The editor's colours, named once for every page and look-and-feel.
namespace Palette
{
const juce::Colour accent { 0xFF42BFAF }; // accent and ordinary text
const juce::Colour lightText { 0xFF12E9E2 };
const juce::Colour listText { 0xFF26DFDD };
const juce::Colour selectedRow { 0xFF24726F };
const juce::Colour knobFill { 0xFF1FA7A0 };
const juce::Colour knobOutline { 0xFF08282A };
const juce::Colour knobTrack { 0xFF032A2D };
const juce::Colour menuBackground { 0xFF13393C };
const juce::Colour menuCornerMarks { 0xFF1DAFA8 };
const juce::Colour progressBar { 0xFF22E6DC };
const juce::Colour progressBarBackground { 0xFF166A66 };
const juce::Colour scrollBarThumb { 0xFF166A66 };
const juce::Colour comboOutline { 0xFF18857F };
const juce::Colour descriptionHighlight { 0xFF086C69 };
const juce::Colour transparent { 0x00000000 };
const juce::Colour jobWindowBackground { 0xFF0C302C }; // the windows of the jobs that rewrite the pedal's flash
const juce::Colour jobWindowText { 0xFFFFFFFF };
const juce::Colour jobWindowOutline { 0xFF1DAFA8 };
} // namespace Palette
