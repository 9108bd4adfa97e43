#include "pagekit/AlgorithmCatalog.h"

#include <TesselCatalog.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace
{
/** The compiled-in catalogue as text: the bytes up to the first NUL, each
    byte one character. The search stops at the array's end as well, so a
    catalogue without its NUL could not take the read past the data. */
juce::String catalogueText()
{
    const auto* bytes = TesselCatalog::AlgorithmCatalog_xml;
    const auto size = (size_t) TesselCatalog::AlgorithmCatalog_xmlSize;

    const auto* nul = static_cast<const char*> (std::memchr (bytes, 0, size));
    const auto length = nul != nullptr ? (size_t) (nul - bytes) : size;

    const auto isAscii = std::all_of (bytes, bytes + length, [] (char c) { return (unsigned char) c < 0x80; });

    // The catalogue is plain ASCII, which reads the same as UTF-8. Should a
    // byte above 0x7F ever slip in, it still stands for one character (its
    // Latin-1 code point) rather than starting a UTF-8 sequence.
    if (isAscii)
        return juce::String::fromUTF8 (bytes, (int) length);

    std::vector<juce::juce_wchar> characters (length + 1, 0);
    std::transform (bytes, bytes + length, characters.begin(),
                    [] (char c) { return (juce::juce_wchar) (unsigned char) c; });

    return juce::String (juce::CharPointer_UTF32 (characters.data()));
}

std::unique_ptr<juce::XmlElement> parseCatalogue()
{
    // XmlDocument keeps attribute values exactly as written (only text
    // content has its CR LF folded), so the descriptions' line breaks reach
    // the description box intact.
    juce::XmlDocument document (catalogueText());
    document.setEmptyTextElementsIgnored (true);
    return document.getDocumentElement();
}

/** Child elements only: text between elements is not an entry or a section. */
template <typename Visitor>
void forEachChildElement (const juce::XmlElement& parent, Visitor&& visit)
{
    for (auto* child : parent.getChildIterator())
        if (! child->isTextElement())
            if (! visit (*child))
                return;
}

const juce::XmlElement* findSection (const juce::XmlElement& root, const juce::String& section)
{
    const juce::XmlElement* found = nullptr;

    // Not hasTagName: it matches ignoring case too, but asserts whenever the
    // case differs, and a case difference is expected here.
    forEachChildElement (root,
                         [&] (const juce::XmlElement& child)
                         {
        if (child.getTagName().equalsIgnoreCase (section))
            found = &child;

        return found == nullptr;
    });

    return found;
}

bool hasChildElement (const juce::XmlElement& element)
{
    bool any = false;
    forEachChildElement (element,
                         [&] (const juce::XmlElement&)
                         {
        any = true;
        return false;
    });
    return any;
}
} // namespace

std::optional<juce::String> algorithmDescription (const juce::String& section, const juce::String& name)
{
    const auto root = parseCatalogue();

    // A catalogue that does not parse, or has nothing in it, is treated like
    // one without the section: the box keeps its text.
    if (root == nullptr || ! hasChildElement (*root))
        return std::nullopt;

    const auto* sectionElement = findSection (*root, section);

    if (sectionElement == nullptr)
        return std::nullopt;

    juce::String text;

    // Whatever the tag: the entries are told apart by their "name" only. A
    // missing attribute reads as empty, so an empty name matches nothing in
    // a catalogue whose entries all have names.
    forEachChildElement (*sectionElement,
                         [&] (const juce::XmlElement& entry)
                         {
        if (! entry.getStringAttribute ("name").equalsIgnoreCase (name))
            return true;

        text = entry.getStringAttribute ("AlgorithmDescription");
        return false;
    });

    return text;
}

juce::StringArray algorithmNames (const juce::String& section)
{
    juce::StringArray names;

    if (const auto root = parseCatalogue())
    {
        if (const auto* sectionElement = findSection (*root, section))
        {
            forEachChildElement (*sectionElement,
                                 [&] (const juce::XmlElement& entry)
                                 {
                names.add (entry.getStringAttribute ("name"));
                return true;
            });
        }
    }

    return names;
}

juce::String irLookupName (const juce::String& storedName)
{
    const auto withoutSlash = storedName.substring (1);

    if (withoutSlash.length() <= 4)
        return {};

    return withoutSlash.dropLastCharacters (4);
}
