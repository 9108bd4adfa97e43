#include "pagekit/KVSourceItemListboxContents.h"

#include "cab/KVCABView.h"
#include "device/CommandSenders.h"
#include "device/ProtocolCodes.h"
#include "pages/KVAMPView.h"
#include "pages/KVDLYView.h"
#include "pages/KVMODView.h"
#include "ui/Palette.h"

namespace
{
constexpr int banksOfFive = 5;
constexpr float rowFontHeight = 12.0f;
constexpr float rowTextInset = 5.0f;
} // namespace

juce::String effectPatchName (int row)
{
    if (row < banksOfFive)
        return "BankA-" + juce::String (row + 1);

    return "BankB-" + juce::String (row - (banksOfFive - 1));
}

juce::String algorithmRowText (int row, const juce::String& name)
{
    const auto number = row + 1;
    return (number <= 9 ? "0" : "") + juce::String (number) + "  " + name;
}

KVSourceItemListboxContents::~KVSourceItemListboxContents() = default;

const juce::StringArray* KVSourceItemListboxContents::namesOfKind() const
{
    switch (deviceKind)
    {
        case kindAMP: return &ampNames;
        case kindMOD: return &modNames;
        case kindDLY: return &dlyNames;
        default: return nullptr;
    }
}

template <typename Action>
bool KVSourceItemListboxContents::withEffectPage (Action&& action) const
{
    switch (deviceKind)
    {
        case kindAMP: if (ampPage != nullptr) { action (*ampPage); return true; } break;
        case kindMOD: if (modPage != nullptr) { action (*modPage); return true; } break;
        case kindDLY: if (dlyPage != nullptr) { action (*dlyPage); return true; } break;
        default: break;
    }
    return false;
}

int KVSourceItemListboxContents::getNumRows()
{
    if (deviceKind == kindCAB)
        return cabPage == nullptr ? 0 : (listMode == patchListMode ? cabPage->patchRecords.size()
                                                                   : cabPage->irRowCount());

    if (listMode != patchListMode)
    {
        const auto* names = namesOfKind();
        return names != nullptr ? names->size() : 0;
    }

    int rows = 0;
    withEffectPage ([&rows] (auto& page) { rows = page.patchRecords.size(); });
    return rows;
}

juce::String KVSourceItemListboxContents::rowText (int row) const
{
    if (row < 0)
        return {};

    const bool patchList = listMode == patchListMode;

    switch (deviceKind)
    {
        case kindAMP:
        case kindMOD:
        case kindDLY:
            if (patchList)
                return effectPatchName (row);
            // A row the names don't reach still gets its number, never a name read past the end.
            return algorithmRowText (row, (*namesOfKind())[row]);

        case kindCAB:
            if (patchList)
                return "Patch - " + juce::String (row).paddedLeft ('0', 2);
            return cabPage != nullptr ? cabPage->irRowText (row) : juce::String();

        default:
            return {};
    }
}

void KVSourceItemListboxContents::paintListBoxItem (int rowNumber, juce::Graphics& g, int width, int height,
                                                    bool rowIsSelected)
{
    if (rowIsSelected)
        g.fillAll (Palette::selectedRow);

    g.setColour (Palette::lightText);
    g.setFont (juce::Font (rowFontHeight, juce::Font::plain));

    const auto text = rowText (rowNumber);
    if (text.isEmpty())
        return;

    if (deviceKind == kindCAB && listMode != patchListMode)
    {
        // An IR row is laid out as attributed text, with no inset.
        juce::AttributedString row;
        row.setJustification (juce::Justification::centredLeft);
        row.append (text, juce::Font (rowFontHeight, juce::Font::plain), Palette::lightText);

        juce::TextLayout layout;
        layout.createLayout (row, (float) width);
        layout.draw (g, juce::Rectangle<float> (0.0f, 0.0f, (float) width, (float) height));
        return;
    }

    // The rectangle keeps the row's full width although it starts 5 pixels in.
    g.drawText (text, juce::Rectangle<float> (rowTextInset, 0.0f, (float) width, (float) height),
                juce::Justification::centredLeft, true);
}

void KVSourceItemListboxContents::selectedRowsChanged (int lastRowSelected)
{
    if (lastRowSelected < 0)
        return;

    const bool patchList = listMode == patchListMode;

    // A CAB patch is only selected on the pedal: its controls follow when
    // the pedal reports the patch's values.
    if (deviceKind == kindCAB && patchList)
    {
        DEVICEHID_DEBUG_SET_PATCH (lastRowSelected);
        return;
    }

    // Several IRs may be selected (for the IR buttons); the pedal gets the
    // first of them, and the description is the one clicked last.
    if (deviceKind == kindCAB && cabPage != nullptr)
    {
        cabPage->UpdateDiagnosticsBox (lastRowSelected);
        DEVICEHID_DEBUG_SET_ALOGR (cabPage->algorithmList.getSelectedRow (0));
        return;
    }

    withEffectPage ([patchList, lastRowSelected] (auto& page)
    {
        if (patchList)
        {
            page.updateAmpInformation (lastRowSelected);
            DEVICEHID_DEBUG_SET_PATCH (lastRowSelected);
        }
        else
        {
            page.UpdateDiagnosticsBox (lastRowSelected);
            DEVICEHID_DEBUG_SET_ALOGR (lastRowSelected);
        }
    });
}

juce::var KVSourceItemListboxContents::getDragSourceDescription (const juce::SparseSet<int>& rowsToDescribe)
{
    juce::StringArray rows;
    for (int i = 0; i < rowsToDescribe.size(); ++i)
        rows.add (juce::String (rowsToDescribe[i] + 1));

    return rows.joinIntoString (", ");
}
