#include "support/PageBench.h"

#include "cab/KVCABView.h"
#include "pagekit/KVSourceItemListboxContents.h"
#include "pages/KVAMPView.h"
#include "pages/KVMODView.h"

namespace
{
/** The rows of a list of a page of `kind` (none: a model with no page),
    whose pedal has ten algorithm names. */
juce::String rowsOf (int kind, int mode, std::initializer_list<int> rows)
{
    KVAMPView amp;
    KVMODView mod;
    KVCABView cab;
    KVPageBase* page = kind == kindAMP ? (KVPageBase*) &amp
        : kind == kindMOD              ? (KVPageBase*) &mod
        : kind == kindCAB              ? (KVPageBase*) &cab
                                       : nullptr;

    KVSourceItemListboxContents model;
    model.page = page;
    model.listMode = mode;
    for (int i = 1; page != nullptr && i <= 10; ++i)
        page->algorithmNames.add ("NAME " + juce::String (i));

    juce::StringArray texts;
    for (auto row : rows)
        texts.add (model.rowText (row));
    return texts.joinIntoString (",");
}
} // namespace

TEST (ListModel, RowsReadAsBanksPatchNumbersOrNumberedNames)
{
    constexpr auto patches = KVSourceItemListboxContents::patchListMode;
    EXPECT_EQ (rowsOf (kindAMP, patches, { 0, 4, 5, 11 }), "BankA-1,BankA-5,BankB-1,BankB-7");
    EXPECT_EQ (rowsOf (kindCAB, patches, { 0, 9, 11, 123 }), "Patch - 00,Patch - 09,Patch - 11,Patch - 123");
    // A row the names don't reach keeps its number and reads no name.
    EXPECT_EQ (rowsOf (kindMOD, KVSourceItemListboxContents::algorithmListMode, { 0, 8, 9, 10 }),
               "01  NAME 1,09  NAME 9,10  NAME 10,11  ");
    EXPECT_EQ (rowsOf (kindNone, patches, { 0 }), "");

    juce::SparseSet<int> rows;
    rows.addRange ({ 2, 4 });
    rows.addRange ({ 0, 1 });
    EXPECT_EQ (KVSourceItemListboxContents().getDragSourceDescription (rows).toString(), "1, 3, 4");
}

TEST (ListModel, ACabPatchOnlySelectsItOnThePedalAndAModelWithNoKindIgnoresSelections)
{
    EditorHarness h;
    auto pedal = h.plugIn (kindCAB);
    pedal->clearReceivedFrames();

    KVSourceItemListboxContents model;
    model.listMode = KVSourceItemListboxContents::patchListMode;
    EXPECT_EQ (model.getNumRows(), 0);
    model.selectedRowsChanged (3);
    EXPECT_TRUE (pedal->receivedFrames().empty());

    model.page = &h.hub().cabPage();
    model.selectedRowsChanged (11);
    const auto frames = pedal->takeReceivedFrames();
    ASSERT_EQ (frames.size(), 1u);
    EXPECT_EQ (frames[0].bytes, HidPacket::command (Command::selectPatch, { 11 }).bytes);
}
