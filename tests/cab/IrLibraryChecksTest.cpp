#include <gtest/gtest.h>

#include "cab/IrLibraryChecks.h"

using namespace IrLibrary;

TEST (IrLibraryChecks, SizeIsCheckedBeforeSpaceAndSpaceCountsTheConvertedCopy)
{
    struct Row
    {
        juce::int64 chosen, converted, freeBytes;
        ResultCode expected;
    };
    const Row rows[] = {
        { 1048576, 1048576, 1048576, success },
        { 1048577, 0, 0, fileTooLarge },
        { 1000, 1000, 999, storageFull },
        // An 8-bit 8 kHz file grows twelvefold on the volume.
        { 100000, 1200000, 1000000, storageFull },
        // A size that cannot be read counts as 0 bytes and passes.
        { 0, 0, 0, success },
    };
    for (auto& r : rows)
        EXPECT_EQ (checkSizeAndSpace (r.chosen, r.converted, r.freeBytes), r.expected) << r.chosen;
}
