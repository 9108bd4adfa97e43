#include <gtest/gtest.h>

#include <juce_gui_basics/juce_gui_basics.h>

namespace
{
juce::JUCEApplicationBase* createNoApplication()
{
    return nullptr;
}
} // namespace

int main (int argc, char** argv)
{
    ::testing::InitGoogleTest (&argc, argv);

    // With no JUCEApplication, JUCE installs no X error handler and the first
    // harmless X error would kill the test process; asking for an instance
    // that is null makes it install its own.
    juce::JUCEApplicationBase::createInstance = &createNoApplication;

    juce::ScopedJuceInitialiser_GUI juceInitialiser;
    return RUN_ALL_TESTS();
}
