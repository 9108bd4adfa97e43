#include <gtest/gtest.h>

#include "device/ProtocolCodes.h"
#include "pages/KVAMPView.h"
#include "support/EditorHarness.h"
#include "pages/KVSourceItemListboxContents.h"

using tessel::test::EditorHarness;

TEST (ListModel, EffectPatchesReadAsTwoBanks)
{
    KVSourceItemListboxContents model;
    model.deviceKind = kindAMP;
    model.listMode = KVSourceItemListboxContents::patchListMode;

    juce::StringArray rows;
    for (int r = 0; r < 12; ++r)
        rows.add (model.rowText (r));

    EXPECT_EQ (rows.joinIntoString (","),
               "BankA-1,BankA-2,BankA-3,BankA-4,BankA-5,BankB-1,BankB-2,BankB-3,BankB-4,BankB-5,BankB-6,BankB-7");
}

TEST (ListModel, CabPatchesAreNumberedFromZero)
{
    KVSourceItemListboxContents model;
    model.deviceKind = kindCAB;
    model.listMode = KVSourceItemListboxContents::patchListMode;

    EXPECT_EQ (model.rowText (0), "Patch - 00");
    EXPECT_EQ (model.rowText (9), "Patch - 09");
    EXPECT_EQ (model.rowText (11), "Patch - 11");
    EXPECT_EQ (model.rowText (123), "Patch - 123");
}

TEST (ListModel, AlgorithmRowsCarryATwoDigitNumberAndTheName)
{
    KVSourceItemListboxContents model;
    model.deviceKind = kindMOD;
    model.listMode = KVSourceItemListboxContents::algorithmListMode;
    for (int i = 1; i <= 10; ++i)
        model.modNames.add ("NAME " + juce::String (i));

    EXPECT_EQ (model.rowText (0), "01  NAME 1");
    EXPECT_EQ (model.rowText (8), "09  NAME 9");
    EXPECT_EQ (model.rowText (9), "10  NAME 10");
    // A row the names don't reach keeps its number and reads no name.
    EXPECT_EQ (model.rowText (10), "11  ");
}

TEST (ListModel, DraggedRowsAreDescribedCountingFromOne)
{
    KVSourceItemListboxContents model;
    juce::SparseSet<int> rows;
    rows.addRange ({ 2, 4 });
    rows.addRange ({ 0, 1 });
    EXPECT_EQ (model.getDragSourceDescription (rows).toString(), "1, 3, 4");
}

TEST (ListModel, SelectingACabPatchOnlySelectsItOnThePedal)
{
    EditorHarness h;
    auto pedal = h.plugIn (kindCAB);
    pedal->clearReceivedFrames();

    KVSourceItemListboxContents model;
    model.deviceKind = kindCAB;
    model.listMode = KVSourceItemListboxContents::patchListMode;
    model.selectedRowsChanged (11);

    const auto frames = pedal->takeReceivedFrames();
    ASSERT_EQ (frames.size(), 1u);
    EXPECT_EQ (frames[0].code(), 0x21);
    EXPECT_EQ (frames[0][2], 11);
}

TEST (ListModel, AModelWithNoKindHasNoRowsAndIgnoresSelections)
{
    EditorHarness h;
    auto pedal = h.plugIn (kindAMP);
    pedal->clearReceivedFrames();

    KVSourceItemListboxContents model;
    model.listMode = KVSourceItemListboxContents::patchListMode;
    EXPECT_EQ (model.getNumRows(), 0);
    EXPECT_EQ (model.rowText (0), "");
    model.selectedRowsChanged (3);
    EXPECT_TRUE (pedal->receivedFrames().empty());
}

TEST (ListModel, ASelectedRowIsFilledAndItsTextDrawnInTheListColour)
{
    KVSourceItemListboxContents model;
    model.deviceKind = kindAMP;
    model.listMode = KVSourceItemListboxContents::patchListMode;

    juce::Image image (juce::Image::ARGB, 120, 17, true);
    {
        juce::Graphics g (image);
        model.paintListBoxItem (0, g, 120, 17, true);
    }
    EXPECT_EQ (image.getPixelAt (118, 1), juce::Colour (0xFF24726F));

    // Some pixel of the text is in the light text colour.
    bool sawText = false;
    for (int x = 5; x < 60 && ! sawText; ++x)
        for (int y = 0; y < 17 && ! sawText; ++y)
            sawText = image.getPixelAt (x, y) == juce::Colour (0xFF12E9E2);
    EXPECT_TRUE (sawText);

    juce::Image unselected (juce::Image::ARGB, 120, 17, true);
    {
        juce::Graphics g (unselected);
        model.paintListBoxItem (0, g, 120, 17, false);
    }
    EXPECT_EQ (unselected.getPixelAt (118, 1).getAlpha(), 0);
}
