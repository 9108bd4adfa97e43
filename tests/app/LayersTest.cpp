#include <gtest/gtest.h>

#include <juce_core/juce_core.h>

#include <map>

namespace
{
/** The folders from the bottom up: a file may include its own folder and
    those below it. The effect pages and the CAB page stand side by side. */
const std::map<juce::String, int> layerOf {
    { "device", 0 }, { "ui", 1 }, { "pagekit", 2 }, { "pages", 3 }, { "cab", 3 }, { "app", 4 },
};

/** Every include of the editor's own folders that points up or sideways, as
    "from/File.cpp -> to/File.h". */
juce::StringArray includesAgainstTheLayers()
{
    const juce::File root (TESSEL_SOURCE_DIR);
    juce::StringArray wrong;

    for (const auto& [folder, layer] : layerOf)
    {
        for (const auto& file : root.getChildFile (folder).findChildFiles (juce::File::findFiles, true, "*.cpp;*.h"))
        {
            juce::StringArray lines;
            lines.addLines (file.loadFileAsString());

            for (const auto& line : lines)
            {
                if (! line.startsWith ("#include \""))
                    continue;

                const auto target =
                    line.fromFirstOccurrenceOf ("\"", false, false).upToFirstOccurrenceOf ("\"", false, false);
                const auto targetFolder = target.upToFirstOccurrenceOf ("/", false, false);
                const auto found = layerOf.find (targetFolder);
                if (found == layerOf.end() || targetFolder == folder)
                    continue;

                if (found->second >= layer)
                    wrong.add (file.getRelativePathFrom (root) + " -> " + target);
            }
        }
    }

    return wrong;
}
} // namespace

TEST (Layers, NoIncludePointsUpOrSideways)
{
    EXPECT_EQ (includesAgainstTheLayers().joinIntoString ("\n"), "");
}
