#include <gtest/gtest.h>

#include <TesselCatalog.h>

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "pages/AlgorithmCatalog.h"

namespace
{
const std::vector<std::pair<juce::String, int>> sectionsInOrder { { "AMP", 16 }, { "DLY", 17 }, { "MOD", 24 }, { "CAB", 100 } };

// The captions printed above each page's five knobs, in knob order.
const std::map<juce::String, juce::StringArray> knobCaptions {
    { "AMP", { "VOL", "BASS", "MIDDLE", "TREBLE", "GAIN" } },
    { "DLY", { "MIX", "A", "B", "F.BACK", "TIME" } },
    { "MOD", { "E.LEVEL", "A", "B", "DEPTH", "RATE" } },
};

std::string resourceBytes()
{
    return { TesselCatalog::AlgorithmCatalog_xml, (size_t) TesselCatalog::AlgorithmCatalog_xmlSize };
}

std::unique_ptr<juce::XmlElement> parsedResource()
{
    return juce::XmlDocument::parse (juce::String::fromUTF8 (TesselCatalog::AlgorithmCatalog_xml,
                                                             TesselCatalog::AlgorithmCatalog_xmlSize));
}

/** Splits at CR LF only, keeping empty lines, so a lone CR or LF stays
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

bool isNameCharacter (juce::juce_wchar c)
{
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ' || c == '+';
}

/** Whether the name ends with a speaker arrangement such as " 4x12". */
bool endsWithSpeakers (const juce::String& name)
{
    const auto arrangement = name.fromLastOccurrenceOf (" ", false, false);
    const auto x = arrangement.indexOfIgnoreCase ("x");

    return name.contains (" ") && x > 0 && x < arrangement.length() - 1
        && arrangement.substring (0, x).containsOnly ("0123456789")
        && arrangement.substring (x + 1).containsOnly ("0123456789");
}
} // namespace

TEST (AlgorithmCatalogText, IsAsciiWithCrLfLineEndsAndEndsInTwoEmptyLinesBeforeItsNul)
{
    const auto text = resourceBytes();

    for (size_t i = 0; i < text.size(); ++i)
    {
        const auto c = (unsigned char) text[i];
        ASSERT_TRUE (c >= 0x20 ? c < 0x7F : c == '\r' || c == '\n') << "byte " << (int) c << " at " << i;
        ASSERT_TRUE (c != '\r' || (i + 1 < text.size() && text[i + 1] == '\n')) << "lone CR at " << i;
        ASSERT_TRUE (c != '\n' || (i > 0 && text[i - 1] == '\r')) << "lone LF at " << i;
    }

    // The editor reads up to the NUL; juceaide pads the array with zeros
    // after the data, so that byte is part of the compiled array.
    EXPECT_EQ (TesselCatalog::AlgorithmCatalog_xml[TesselCatalog::AlgorithmCatalog_xmlSize], '\0');

    const std::string ending = "\r\n</Tessel>\r\n\r\n\r\n";
    ASSERT_GE (text.size(), ending.size());
    EXPECT_EQ (text.substr (text.size() - ending.size()), ending);

    EXPECT_EQ (text.rfind ("<Tessel>\r\n", 0), 0u) << "no declaration, comment or instruction before the root";
    EXPECT_EQ (text.find ("<?"), std::string::npos);
    EXPECT_EQ (text.find ("<!"), std::string::npos);
}

TEST (AlgorithmCatalogText, HoldsTheFourSectionsOfInformationEntriesOnLinesOfTheirOwn)
{
    const auto root = parsedResource();
    ASSERT_NE (root, nullptr);
    EXPECT_EQ (root->getTagName(), "Tessel");
    ASSERT_EQ (root->getNumChildElements(), (int) sectionsInOrder.size());

    for (size_t s = 0; s < sectionsInOrder.size(); ++s)
    {
        const auto& [section, count] = sectionsInOrder[s];
        const auto* element = root->getChildElement ((int) s);

        ASSERT_EQ (element->getTagName(), section);
        EXPECT_EQ (element->getNumChildElements(), count) << section;

        for (auto* entry : element->getChildIterator())
        {
            SCOPED_TRACE ((section + " " + entry->getStringAttribute ("name")).toStdString());
            EXPECT_EQ (entry->getTagName(), "Information");
            ASSERT_EQ (entry->getNumAttributes(), 3);
            EXPECT_EQ (entry->getAttributeName (0), "name");
            EXPECT_EQ (entry->getAttributeName (1), "AlgorithmDescription");
            EXPECT_EQ (entry->getAttributeName (2), "AlgorithmVersion");
            EXPECT_EQ (entry->getAttributeValue (2), "A");
            EXPECT_EQ (entry->getNumChildElements(), 0);
        }
    }

    // Read as lines of the file itself: every section tag stands alone on its
    // line, and every entry starts one.
    const auto text = juce::String (resourceBytes());
    std::map<juce::String, int> tagLines;
    int entryLines = 0;

    for (const auto& line : crlfLines (text))
    {
        const auto trimmed = line.trim();

        for (const auto& [section, count] : sectionsInOrder)
            if (trimmed == "<" + section + ">" || trimmed == "</" + section + ">")
                ++tagLines[section];

        entryLines += trimmed.startsWith ("<Information ") ? 1 : 0;
    }

    int entries = 0;
    for (const auto& [section, count] : sectionsInOrder)
    {
        EXPECT_EQ (tagLines[section], 2) << section;
        entries += count;
    }

    int entryTags = 0;
    for (int i = text.indexOf ("<Information"); i >= 0; i = text.indexOf (i + 1, "<Information"))
        ++entryTags;

    EXPECT_EQ (entryTags, entries);
    EXPECT_EQ (entryLines, entries);
}

TEST (AlgorithmCatalogText, NamesAreShortCapitalsUniqueWithinTheirSection)
{
    int capitalX = 0;

    for (const auto& [section, count] : sectionsInOrder)
    {
        std::set<juce::String> seen;

        for (const auto& name : algorithmNames (section))
        {
            SCOPED_TRACE ((section + " " + name).toStdString());
            EXPECT_GE (name.length(), 5);
            EXPECT_LE (name.length(), 14);
            EXPECT_TRUE (seen.insert (name.toUpperCase()).second) << "name used twice";

            // The one small letter a name may hold is the x of its speakers.
            const auto speakers = section == "CAB" ? name.fromLastOccurrenceOf (" ", true, false) : juce::String();
            const auto rest = name.dropLastCharacters (speakers.length());

            for (auto c : rest)
                EXPECT_TRUE (isNameCharacter (c)) << "character " << (int) c;

            if (section == "CAB")
            {
                EXPECT_TRUE (endsWithSpeakers (name));
                capitalX += speakers.containsChar ('X') ? 1 : 0;
            }
        }

        EXPECT_EQ ((int) seen.size(), count) << section;
    }

    EXPECT_EQ (capitalX, 1) << "all CAB arrangements use a small x but one";
}

TEST (AlgorithmCatalogText, DescriptionsFollowTheBoxLayout)
{
    const auto root = parsedResource();
    ASSERT_NE (root, nullptr);

    for (auto* sectionElement : root->getChildIterator())
    {
        const auto section = sectionElement->getTagName();

        for (auto* entry : sectionElement->getChildIterator())
        {
            const auto name = entry->getStringAttribute ("name");
            const auto text = entry->getStringAttribute ("AlgorithmDescription");
            const auto lines = crlfLines (text);
            SCOPED_TRACE ((section + " " + name).toStdString());

            EXPECT_GE (text.length(), 73);
            EXPECT_LE (text.length(), 802);
            EXPECT_LE ((int) lines.size() - 1, 13) << "line breaks";

            for (const auto& line : lines)
                EXPECT_FALSE (line.containsAnyOf ("\r\n")) << "lone CR or LF";

            // Title, optionally with a long form; an empty line; the paragraph.
            ASSERT_GE (lines.size(), 3u);
            EXPECT_TRUE (lines[0] == name || (lines[0].startsWith (name + " (") && lines[0].endsWith (")")))
                << lines[0];
            EXPECT_TRUE (lines[1].isEmpty());
            EXPECT_TRUE (lines[2].isNotEmpty());

            if (section == "AMP")
            {
                const auto cabLines = std::count_if (lines.begin(), lines.end(),
                                                     [] (const auto& l) { return l.startsWith ("Cab simulation: "); });
                EXPECT_EQ (cabLines, 1);
            }

            if (const auto captions = knobCaptions.find (section); captions != knobCaptions.end())
            {
                // One line per knob, in the order the knobs sit on the page.
                const auto& expected = captions->second;
                auto first = std::find_if (lines.begin(), lines.end(),
                                           [&] (const auto& l) { return l.startsWith (expected[0] + ": "); });
                ASSERT_NE (first, lines.end()) << "no knob block";

                for (const auto& caption : expected)
                {
                    ASSERT_NE (first, lines.end());
                    EXPECT_TRUE (first->startsWith (caption + ": ")) << "expected " << caption << ", got " << *first;
                    EXPECT_GT (first->fromFirstOccurrenceOf (": ", false, false).trim().length(), 0);
                    ++first;
                }
            }
        }
    }
}

TEST (AlgorithmCatalogLookUp, FindsEveryEntryByNameIgnoringCase)
{
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
        }
    }

    // The factory volume may spell a speaker arrangement with the other x.
    const auto small = algorithmDescription ("CAB", "FRIDGE 8x10");
    ASSERT_TRUE (small.has_value());
    EXPECT_TRUE (small->startsWith ("FRIDGE 8X10"));
    EXPECT_EQ (algorithmDescription ("cab", "b25 dyn 4X12"), algorithmDescription ("CAB", "B25 DYN 4x12"));
}

TEST (AlgorithmCatalogLookUp, KeepsLineBreaksAndDecodesEntities)
{
    int withApostrophe = 0, withQuote = 0, withAmpersand = 0;

    for (const auto& [section, count] : sectionsInOrder)
    {
        for (const auto& name : algorithmNames (section))
        {
            const auto text = *algorithmDescription (section, name);
            SCOPED_TRACE ((section + " " + name).toStdString());

            EXPECT_TRUE (text.contains ("\r\n\r\n")) << "the blank line after the title";
            EXPECT_FALSE (text.contains ("&amp;") || text.contains ("&quot;") || text.contains ("&apos;"));

            withApostrophe += text.containsChar ('\'') ? 1 : 0;
            withQuote += text.containsChar ('"') ? 1 : 0;
            withAmpersand += text.containsChar ('&') ? 1 : 0;
        }
    }

    EXPECT_GT (withApostrophe, 0);
    EXPECT_GT (withQuote, 0);
    EXPECT_GT (withAmpersand, 0);
}

TEST (AlgorithmCatalogLookUp, NameWithoutEntryEmptiesTheBox)
{
    for (const auto* name : { "NO SUCH MODEL", "", " ", "PORCH 5W ", "PORCH" })
    {
        const auto text = algorithmDescription ("AMP", name);
        ASSERT_TRUE (text.has_value()) << '"' << name << '"';
        EXPECT_TRUE (text->isEmpty()) << '"' << name << '"';
    }

    // A name is looked up in its own section only.
    EXPECT_EQ (algorithmDescription ("AMP", "TAPE ECHO"), juce::String());
    EXPECT_TRUE (algorithmDescription ("DLY", "TAPE ECHO")->isNotEmpty());
}

TEST (AlgorithmCatalogLookUp, UnknownSectionLeavesTheBoxAsItIs)
{
    EXPECT_FALSE (algorithmDescription ("REV", "TAPE ECHO").has_value());
    EXPECT_FALSE (algorithmDescription ("", "").has_value());
    EXPECT_FALSE (algorithmDescription ("Tessel", "PORCH 5W").has_value()) << "the root is not a section";
    EXPECT_TRUE (algorithmNames ("REV").isEmpty());
}

TEST (AlgorithmCatalogLookUp, IrNameDropsSlashAndExtensionByPosition)
{
    EXPECT_EQ (irLookupName ("/B25 DYN 4x12.wav"), "B25 DYN 4x12");
    EXPECT_EQ (irLookupName ("xB25 DYN 4x12.WAV"), "B25 DYN 4x12") << "removed by position, whatever they are";
    EXPECT_EQ (irLookupName ("/a.wav"), "a");
    EXPECT_EQ (irLookupName ("/.wav"), "");
    EXPECT_EQ (irLookupName ("/abcd"), "");
    EXPECT_EQ (irLookupName ("/"), "");
    EXPECT_EQ (irLookupName (""), "");

    EXPECT_TRUE (algorithmDescription ("CAB", irLookupName ("/IRON MIX 4x12.wav"))->startsWith ("IRON MIX 4x12"));
    EXPECT_TRUE (algorithmDescription ("CAB", irLookupName ("/My Own Cab.wav"))->isEmpty());
    EXPECT_TRUE (algorithmDescription ("CAB", irLookupName ("/ab.wav"))->isEmpty());
}
