#include <gtest/gtest.h>

#include <TesselCatalog.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "pages/AlgorithmCatalog.h"

namespace
{
const std::vector<std::pair<juce::String, int>> sectionsInOrder { { "AMP", 16 }, { "DLY", 17 }, { "MOD", 24 },
                                                                  { "CAB", 100 } };
constexpr int entryCount = 16 + 17 + 24 + 100;

// The captions printed above each page's five knobs, in knob order.
const std::map<juce::String, juce::StringArray> knobCaptions {
    { "AMP", { "VOL", "BASS", "MIDDLE", "TREBLE", "GAIN" } },
    { "DLY", { "MIX", "A", "B", "F.BACK", "TIME" } },
    { "MOD", { "E.LEVEL", "A", "B", "DEPTH", "RATE" } },
};

const std::string resource { TesselCatalog::AlgorithmCatalog_xml, (size_t) TesselCatalog::AlgorithmCatalog_xmlSize };

/** Splits at CR LF only, keeping empty lines, so that a lone CR or LF stays
    inside a line where the checks can see it. */
std::vector<juce::String> crlfLines (const juce::String& text)
{
    std::vector<juce::String> lines;
    int start = 0;
    for (int end; (end = text.indexOf (start, "\r\n")) >= 0; start = end + 2)
        lines.push_back (text.substring (start, end));
    lines.push_back (text.substring (start));
    return lines;
}

template <typename Predicate>
int countIf (const std::vector<juce::String>& lines, Predicate&& predicate)
{
    return (int) std::count_if (lines.begin(), lines.end(), predicate);
}
} // namespace

TEST (AlgorithmCatalogText, IsAsciiInCrLfLinesWithEachTagOnItsOwnAndEndsInTwoEmptyLinesBeforeItsNul)
{
    for (size_t i = 0; i < resource.size(); ++i)
    {
        const auto c = (unsigned char) resource[i];
        ASSERT_TRUE (c >= 0x20 ? c < 0x7F : c == '\r' || c == '\n') << "byte " << (int) c << " at " << i;
        ASSERT_TRUE (c != '\r' || (i + 1 < resource.size() && resource[i + 1] == '\n')) << "lone CR at " << i;
        ASSERT_TRUE (c != '\n' || (i > 0 && resource[i - 1] == '\r')) << "lone LF at " << i;
    }

    // The editor reads up to the NUL; juceaide pads the array with zeros after the data.
    EXPECT_EQ (TesselCatalog::AlgorithmCatalog_xml[TesselCatalog::AlgorithmCatalog_xmlSize], '\0');

    const juce::String text (resource);
    EXPECT_TRUE (text.endsWith ("\r\n</Tessel>\r\n\r\n\r\n"));
    EXPECT_EQ (resource.rfind ("<Tessel>\r\n", 0), 0u) << "no declaration, comment or instruction before the root";
    EXPECT_EQ (resource.find ("<?"), std::string::npos);
    EXPECT_EQ (resource.find ("<!"), std::string::npos);

    const auto lines = crlfLines (text);
    for (const auto& [section, count] : sectionsInOrder)
    {
        EXPECT_EQ (countIf (lines, [&] (const juce::String& l) { return l.trim() == "<" + section + ">"; }), 1) << section;
        EXPECT_EQ (countIf (lines, [&] (const juce::String& l) { return l.trim() == "</" + section + ">"; }), 1) << section;
    }

    EXPECT_EQ (countIf (lines, [] (const juce::String& l) { return l.trim().startsWith ("<Information "); }), entryCount);
}

TEST (AlgorithmCatalogText, EveryEntryHasAShortUniqueNameItsAttributesInOrderAndADescriptionInTheBoxLayout)
{
    const auto root = juce::XmlDocument::parse (juce::String (resource));
    ASSERT_NE (root, nullptr);
    EXPECT_EQ (root->getTagName(), "Tessel");
    ASSERT_EQ (root->getNumChildElements(), (int) sectionsInOrder.size());

    int capitalX = 0;

    for (size_t s = 0; s < sectionsInOrder.size(); ++s)
    {
        const auto& [section, count] = sectionsInOrder[s];
        const auto* element = root->getChildElement ((int) s);
        ASSERT_EQ (element->getTagName(), section);
        EXPECT_EQ (element->getNumChildElements(), count);
        std::set<juce::String> seen;

        for (auto* entry : element->getChildIterator())
        {
            const auto name = entry->getStringAttribute ("name");
            SCOPED_TRACE ((section + " " + name).toStdString());

            // Capitals, digits, spaces and '+'; a CAB's name ends in its speakers, as in " 4x12".
            EXPECT_TRUE (name.containsOnly ("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 +" + juce::String (section == "CAB" ? "x" : "")));
            if (section == "CAB")
            {
                const auto speakers = name.fromLastOccurrenceOf (" ", false, false);
                EXPECT_TRUE (speakers.upToFirstOccurrenceOf ("x", false, true).containsOnly ("0123456789"));
                EXPECT_TRUE (speakers.fromFirstOccurrenceOf ("x", false, true).containsOnly ("0123456789"));
                EXPECT_TRUE (speakers.containsAnyOf ("xX") && speakers.length() >= 3) << "no speaker arrangement";
            }
            EXPECT_GE (name.length(), 5);
            EXPECT_LE (name.length(), 14);
            EXPECT_TRUE (seen.insert (name.toUpperCase()).second) << "name used twice";
            capitalX += section == "CAB" && name.fromLastOccurrenceOf (" ", false, false).containsChar ('X') ? 1 : 0;

            EXPECT_EQ (entry->getTagName(), "Information");
            EXPECT_EQ (entry->getNumChildElements(), 0);
            ASSERT_EQ (entry->getNumAttributes(), 3);
            EXPECT_EQ (entry->getAttributeName (0), "name");
            EXPECT_EQ (entry->getAttributeName (1), "AlgorithmDescription");
            EXPECT_EQ (entry->getAttributeName (2), "AlgorithmVersion");
            EXPECT_EQ (entry->getAttributeValue (2), "A");

            const auto text = entry->getAttributeValue (1);
            const auto lines = crlfLines (text);
            EXPECT_GE (text.length(), 73);
            EXPECT_LE (text.length(), 802);
            EXPECT_LE ((int) lines.size() - 1, 13) << "line breaks";
            EXPECT_EQ (countIf (lines, [] (const juce::String& l) { return l.containsAnyOf ("\r\n"); }), 0)
                << "lone CR or LF";

            // Title, optionally with a long form; an empty line; the paragraph.
            ASSERT_GE (lines.size(), 3u);
            EXPECT_TRUE (lines[0] == name || (lines[0].startsWith (name + " (") && lines[0].endsWith (")"))) << lines[0];
            EXPECT_TRUE (lines[1].isEmpty());
            EXPECT_TRUE (lines[2].isNotEmpty());

            const auto cabLines = countIf (lines, [] (const juce::String& l) { return l.startsWith ("Cab simulation: "); });
            EXPECT_EQ (cabLines, section == "AMP" ? 1 : 0);

            // One line per knob, in the order the knobs sit on the page.
            if (const auto captions = knobCaptions.find (section); captions != knobCaptions.end())
            {
                const auto& expected = captions->second;
                auto line = std::find_if (lines.begin(), lines.end(),
                                          [&] (const auto& l) { return l.startsWith (expected[0] + ": "); });

                for (const auto& caption : expected)
                {
                    ASSERT_NE (line, lines.end()) << "no line for " << caption;
                    EXPECT_TRUE (line->startsWith (caption + ": ")) << "expected " << caption << ", got " << *line;
                    EXPECT_GT (line->fromFirstOccurrenceOf (": ", false, false).trim().length(), 0);
                    ++line;
                }
            }
        }
    }

    EXPECT_EQ (capitalX, 1) << "all CAB arrangements use a small x but one";
}

//==============================================================================
TEST (AlgorithmCatalogLookUp, FindsEveryEntryIgnoringCaseWithLineBreaksKeptAndEntitiesDecoded)
{
    int withApostrophe = 0, withQuote = 0, withAmpersand = 0;

    for (const auto& [section, count] : sectionsInOrder)
    {
        const auto names = algorithmNames (section);
        ASSERT_EQ (names.size(), count) << section;

        for (const auto& name : names)
        {
            SCOPED_TRACE ((section + " " + name).toStdString());
            const auto text = algorithmDescription (section, name);
            ASSERT_TRUE (text.has_value());
            EXPECT_TRUE (text->startsWith (name));
            EXPECT_EQ (algorithmDescription (section.toLowerCase(), name.toLowerCase()), text);
            EXPECT_EQ (algorithmDescription (section, name), text) << "a second look-up reads the same";

            EXPECT_TRUE (text->contains ("\r\n\r\n")) << "the blank line after the title";
            EXPECT_FALSE (text->contains ("&amp;") || text->contains ("&quot;") || text->contains ("&apos;"));
            withApostrophe += text->containsChar ('\'') ? 1 : 0;
            withQuote += text->containsChar ('"') ? 1 : 0;
            withAmpersand += text->containsChar ('&') ? 1 : 0;
        }
    }

    EXPECT_GT (withApostrophe, 0);
    EXPECT_GT (withQuote, 0);
    EXPECT_GT (withAmpersand, 0);

    // The factory volume may spell a speaker arrangement with the other x.
    EXPECT_TRUE (algorithmDescription ("CAB", "FRIDGE 8x10").value_or ("").startsWith ("FRIDGE 8X10"));
    EXPECT_EQ (algorithmDescription ("cab", "b25 dyn 4X12"), algorithmDescription ("CAB", "B25 DYN 4x12"));
}

TEST (AlgorithmCatalogLookUp, AnUnknownNameEmptiesTheBoxAndAnUnknownSectionKeepsIt)
{
    // A name is looked up in its own section only.
    for (const auto* name : { "NO SUCH MODEL", "", " ", "PORCH 5W ", "PORCH", "TAPE ECHO" })
        EXPECT_EQ (algorithmDescription ("AMP", name), juce::String()) << '"' << name << '"';
    EXPECT_TRUE (algorithmDescription ("DLY", "TAPE ECHO")->isNotEmpty());

    EXPECT_EQ (algorithmDescription ("REV", "TAPE ECHO"), std::nullopt);
    EXPECT_EQ (algorithmDescription ("", ""), std::nullopt);
    EXPECT_EQ (algorithmDescription ("Tessel", "PORCH 5W"), std::nullopt) << "the root is not a section";
    EXPECT_TRUE (algorithmNames ("REV").isEmpty());
}

TEST (AlgorithmCatalogLookUp, IrNameDropsSlashAndExtensionByPosition)
{
    const std::pair<const char*, const char*> names[] = {
        { "/B25 DYN 4x12.wav", "B25 DYN 4x12" }, { "xB25 DYN 4x12.WAV", "B25 DYN 4x12" }, { "/a.wav", "a" },
        { "/.wav", "" }, { "/abcd", "" }, { "/", "" }, { "", "" },
    };
    for (auto [stored, lookUp] : names)
        EXPECT_EQ (irLookupName (stored), lookUp) << stored;

    EXPECT_TRUE (algorithmDescription ("CAB", irLookupName ("/IRON MIX 4x12.wav"))->startsWith ("IRON MIX 4x12"));
    EXPECT_TRUE (algorithmDescription ("CAB", irLookupName ("/My Own Cab.wav"))->isEmpty());
    EXPECT_TRUE (algorithmDescription ("CAB", irLookupName ("/ab.wav"))->isEmpty());
}
