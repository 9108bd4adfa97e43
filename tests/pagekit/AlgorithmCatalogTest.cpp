#include <gtest/gtest.h>

#include <TesselCatalog.h>

#include "pagekit/AlgorithmCatalog.h"

namespace
{
const std::vector<std::pair<juce::String, int>> sectionsInOrder {
    { "AMP", 16 }, { "DLY", 17 }, { "MOD", 24 }, { "CAB", 100 }
};

// The captions printed above each page's five knobs, in knob order.
const std::map<juce::String, juce::StringArray> knobCaptions {
    { "AMP", { "VOL", "BASS", "MIDDLE", "TREBLE", "GAIN" } },
    { "DLY", { "MIX", "A", "B", "F.BACK", "TIME" } },
    { "MOD", { "E.LEVEL", "A", "B", "DEPTH", "RATE" } },
};

const std::string resource { TesselCatalog::AlgorithmCatalog_xml, (size_t) TesselCatalog::AlgorithmCatalog_xmlSize };

/** Splits at CR LF only, so that a lone CR or LF stays inside a line where the checks can see it. */
juce::StringArray crlfLines (const juce::String& text)
{
    juce::StringArray lines;
    int start = 0;
    for (int end; (end = text.indexOf (start, "\r\n")) >= 0; start = end + 2)
        lines.add (text.substring (start, end));
    lines.add (text.substring (start));
    return lines;
}
} // namespace

TEST (AlgorithmCatalog,
      IsAsciiInCrLfLinesAndEveryEntryHasAShortUniqueNameAndADescriptionInTheBoxLayoutFoundIgnoringCase)
{
    for (size_t i = 0; i < resource.size(); ++i)
    {
        const auto c = (unsigned char) resource[i];
        ASSERT_TRUE (c >= 0x20 ? c < 0x7F : c == '\r' || c == '\n') << "byte " << (int) c << " at " << i;
        ASSERT_TRUE ((c == '\r') == (i + 1 < resource.size() && resource[i + 1] == '\n')) << "lone CR or LF at " << i;
    }

    // The editor reads up to the NUL; juceaide pads the array with zeros after the data.
    EXPECT_EQ (TesselCatalog::AlgorithmCatalog_xml[TesselCatalog::AlgorithmCatalog_xmlSize], '\0');
    EXPECT_EQ (resource.rfind ("<Tessel>\r\n", 0), 0u) << "no declaration, comment or instruction before the root";
    EXPECT_TRUE (juce::String (resource).endsWith ("\r\n</Tessel>\r\n\r\n\r\n"));

    const auto root = juce::XmlDocument::parse (juce::String (resource));
    ASSERT_NE (root, nullptr);
    ASSERT_EQ (root->getNumChildElements(), (int) sectionsInOrder.size());
    juce::String specials;

    for (size_t s = 0; s < sectionsInOrder.size(); ++s)
    {
        const auto& [section, count] = sectionsInOrder[s];
        const auto* element = root->getChildElement ((int) s);
        ASSERT_EQ (element->getTagName(), section);
        EXPECT_EQ (element->getNumChildElements(), count);
        juce::StringArray names;

        for (auto* entry : element->getChildIterator())
        {
            const auto name = entry->getStringAttribute ("name");
            const auto text = entry->getStringAttribute ("AlgorithmDescription");
            SCOPED_TRACE ((section + " " + name).toStdString());
            EXPECT_FALSE (names.contains (name, true)) << "name used twice";
            names.add (name);
            EXPECT_EQ (entry->getTagName(), "Information");
            // Looked up in any letter case, with its line breaks and with entities decoded.
            EXPECT_EQ (algorithmDescription (section.toLowerCase(), name.toLowerCase()), text);
            specials += text.retainCharacters ("'\"&");

            // Title, optionally with a long form; an empty line; the paragraph.
            const auto lines = crlfLines (text);
            EXPECT_FALSE (lines.joinIntoString ("").containsAnyOf ("\r\n")) << "lone CR or LF";
            ASSERT_GE (lines.size(), 3);
            EXPECT_TRUE (lines[0] == name || (lines[0].startsWith (name + " (") && lines[0].endsWith (")")))
                << lines[0];
            EXPECT_TRUE (lines[1].isEmpty() && lines[2].isNotEmpty());
            EXPECT_EQ (
                std::any_of (lines.begin(), lines.end(), [] (auto& l) { return l.startsWith ("Cab simulation: "); }),
                section == "AMP");

            // One line per knob, in the order the knobs sit on the page.
            if (const auto captions = knobCaptions.find (section); captions != knobCaptions.end())
            {
                auto line = std::find_if (lines.begin(), lines.end(),
                                          [&] (auto& l) { return l.startsWith (captions->second[0] + ": "); });
                for (const auto& caption : captions->second)
                {
                    ASSERT_NE (line, lines.end()) << "no line for " << caption;
                    EXPECT_TRUE (line->startsWith (caption + ": ")
                                 && line->fromFirstOccurrenceOf (": ", false, false).trim().isNotEmpty())
                        << *line;
                    ++line;
                }
            }
        }
        EXPECT_EQ (algorithmNames (section), names);
    }

    EXPECT_TRUE (specials.containsChar ('\'') && specials.containsChar ('"') && specials.containsChar ('&'));
    // The factory volume may spell a speaker arrangement with the other x.
    EXPECT_TRUE (algorithmDescription ("CAB", "FRIDGE 8x10").value_or ("").startsWith ("FRIDGE 8X10"));
    EXPECT_EQ (algorithmDescription ("cab", "b25 dyn 4X12"), algorithmDescription ("CAB", "B25 DYN 4x12"));
}

TEST (AlgorithmCatalogLookUp, AnUnknownNameEmptiesTheBoxAnUnknownSectionKeepsItAndIrNamesLoseSlashAndExtension)
{
    // A name is looked up in its own section only.
    for (const auto* name : { "NO SUCH MODEL", "", " ", "PORCH 5W ", "PORCH", "TAPE ECHO" })
        EXPECT_EQ (algorithmDescription ("AMP", name), juce::String()) << '"' << name << '"';
    EXPECT_TRUE (algorithmDescription ("DLY", "TAPE ECHO")->isNotEmpty());

    for (const auto* section : { "REV", "", "Tessel" })
        EXPECT_EQ (algorithmDescription (section, "PORCH 5W"), std::nullopt) << section;
    EXPECT_TRUE (algorithmNames ("REV").isEmpty());

    // An IR's stored name loses its slash and extension by position.
    const std::pair<const char*, const char*> names[] = {
        { "/B25 DYN 4x12.wav", "B25 DYN 4x12" },
        { "xB25 DYN 4x12.WAV", "B25 DYN 4x12" },
        { "/a.wav", "a" },
        { "/.wav", "" },
        { "/abcd", "" },
        { "/", "" },
        { "", "" },
    };
    for (auto [stored, lookUp] : names)
        EXPECT_EQ (irLookupName (stored), lookUp) << stored;
}
