#include <gtest/gtest.h>

#include "cab/KVCABView.h"
#include "pagekit/AlgorithmCatalog.h"
#include "pages/KVAMPView.h"
#include "pages/KVDLYView.h"
#include "pages/KVMODView.h"
#include "support/EditorHarness.h"

using namespace tessel::test;

namespace
{
/** Whether some text shows and every line of it that shows, shows whole. */
bool showsWholeLines (juce::TextEditor& box)
{
    const auto visible = box.getBorder().subtractedFrom (box.getLocalBounds());
    int lines = 0;
    for (const auto& r : box.getTextBounds ({ 0, box.getText().length() }))
    {
        if (r.getBottom() <= visible.getY() || r.getY() >= visible.getBottom())
            continue;
        if (r.getY() < visible.getY() || r.getBottom() > visible.getBottom())
            return false;
        ++lines;
    }
    return lines > 0;
}

juce::Viewport& viewportOf (juce::TextEditor& box)
{
    for (auto* child : box.getChildren())
        if (auto* viewport = dynamic_cast<juce::Viewport*> (child))
            return *viewport;
    throw std::logic_error ("a text editor without its viewport");
}
} // namespace

TEST (DescriptionBox, ShowsOnlyWholeLinesAtItsOwnHeightWhereverItIsScrolled)
{
    EditorHarness h;
    const std::tuple<const char*, juce::Component*, juce::TextEditor*, int> pages[] = {
        { "AMP", &h.ampPage(), &h.ampPage().diagnosticsBox, 173 },
        { "MOD", &h.hub().modPage(), &h.hub().modPage().diagnosticsBox, 173 },
        { "DLY", &h.hub().dlyPage(), &h.hub().dlyPage().diagnosticsBox, 173 },
        { "CAB", &h.hub().cabPage(), &h.hub().cabPage().diagnosticsBox, 158 },
    };

    // The longest description of the catalogue, far more than a box shows.
    juce::String longest;
    for (auto section : { "AMP", "DLY", "MOD", "CAB" })
        for (auto& name : algorithmNames (section))
            if (auto text = algorithmDescription (section, name); text && text->length() > longest.length())
                longest = *text;

    for (auto [section, page, box, height] : pages)
    {
        SCOPED_TRACE (section);
        page->setSize (741, 536);
        box->setText (longest, false);
        ASSERT_EQ (box->getHeight(), height);
        auto& viewport = viewportOf (*box);

        EXPECT_TRUE (showsWholeLines (*box));
        EXPECT_GE (box->getBorder().subtractedFrom (box->getLocalBounds()).getHeight(), height - 17)
            << "as many lines as fit";

        // A wheel moves the text by some pixels; it comes to rest on a line,
        // and a step smaller than a line still moves it by one.
        viewport.setViewPosition (0, 33);
        pumpPending();
        EXPECT_TRUE (showsWholeLines (*box));
        const auto rested = viewport.getViewPositionY();
        EXPECT_GT (rested, 0);

        viewport.setViewPosition (0, rested + 2);
        pumpPending();
        EXPECT_GT (viewport.getViewPositionY(), rested);
        EXPECT_TRUE (showsWholeLines (*box));

        viewport.setViewPosition (0, 100000);
        pumpPending();
        EXPECT_TRUE (showsWholeLines (*box)) << "at the end";
    }
}
