#pragma once

#include <cstdint>

// The pedal answers the factory-reset command with "Factory reset
// successful.". A job that has already told the user its reset failed still
// sends the command (the pedal resets its settings all the same), and that
// answer must not follow the failure. The job asks for quiet here; the reply
// decoder reads it. Message thread.
namespace FactoryResetAnswer
{
/** The next factory-reset answer shows nothing, as long as the pedal linked
    now is still the linked one and it comes within a few seconds. It follows
    the pedal, not the window's session with it: a reset pedal may well drop
    its volume, and its answer must stay quiet all the same. */
void silenceNext();

/** Whether the answer that has just arrived is to show nothing; the quiet is
    used up either way. */
bool takeSilence();
} // namespace FactoryResetAnswer
