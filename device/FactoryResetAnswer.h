#pragma once

#include "device/LiveLink.h"

// The pedal answers the factory-reset command with "Factory reset
// successful.". A job that has already told the user its reset failed still
// sends the command (the pedal resets its settings all the same), and that
// answer must not follow the failure. The job asks for quiet here; the reply
// decoder reads it. Message thread.
namespace FactoryResetAnswer
{
/** The next factory-reset answer shows nothing, as long as it comes from the
    pedal of `session`, while that session lasts, and within a few seconds. */
void silenceNext (const LinkSession& session);

/** Whether the answer that has just arrived is to show nothing; the quiet is
    used up either way. */
bool takeSilence();
} // namespace FactoryResetAnswer
