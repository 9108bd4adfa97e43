#pragma once

#include <functional>

#include "support/SimulatedUsbBus.h"

// A stand-in for hidapi, linked into the tests, tools and benchmarks in place of Debian's library:
// hid_open finds a device on a simulated USB bus, and every open handle gets its own queue of the
// device's reports, as hidraw gives each open file its own.

namespace tessel::sim
{
/** How often the transfer link has called into hidapi. */
struct FakeHidapiCounts
{
    int inits = 0; // explicit hid_init calls and the implicit one in hid_open
    int exits = 0, opens = 0, closes = 0, writes = 0;
};

/** The bus hid_open looks at; null for none. Handles still open on the old
    bus are cut off from it (their device counts as unplugged). */
void setFakeHidapiBus (SimulatedUsbBus* bus);

FakeHidapiCounts fakeHidapiCounts();
void resetFakeHidapiCounts();

/** The frames written through hid_write since the last call, which clears them. */
std::vector<HidPacket> takeFakeHidapiWrites();
int fakeHidapiOpenHandles();

/** Runs `action` once, as the next hid_enumerate returns: what changes on
    the bus between a count of the devices and what follows it. */
void afterNextFakeHidapiEnumeration (std::function<void()> action);
} // namespace tessel::sim
