#pragma once

#include <gtest/gtest.h>

#include "app/MainContentComponent.h"
#include "pages/KVAMPView.h"
#include "pages/KVDLYView.h"
#include "pages/KVMODView.h"
#include "support/EditorHarness.h"

using namespace tessel::test;
using tessel::sim::Fault;
using tessel::sim::PedalSimulator;
using Frames = std::vector<std::vector<int>>;

/** A pedal connected and dumped, its wire cleared for the test. */
struct Connected
{
    Connected (DeviceKind kind, int patches)
        : pedal (h.connect (kind, patches))
    {
        pedal->clearReceivedFrames();
    }
    explicit Connected (std::shared_ptr<PedalSimulator> p)
        : pedal (h.connect (p))
    {
    }

    Frames sent() { return takeSentFrames (*pedal); }

    EditorHarness h;
    std::shared_ptr<PedalSimulator> pedal;
};
