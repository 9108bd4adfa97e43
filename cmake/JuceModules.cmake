# Debian's JUCE modules are compiled once, into one static library that the
# editor, the tests, the tools and the benchmarks share.
add_library(tessel_juce STATIC)

target_link_libraries(tessel_juce
    PRIVATE
        juce::juce_core
        juce::juce_events
        juce::juce_data_structures
        juce::juce_graphics
        juce::juce_gui_basics
        juce::juce_audio_basics
        juce::juce_audio_formats
    PUBLIC
        juce::juce_recommended_config_flags
        # Debian's JUCE reads and writes PNG and JPEG through the system libraries.
        juce::pkgconfig_JUCE_IMG_LINUX_DEPS)

target_compile_definitions(tessel_juce
    PUBLIC
        JUCE_STANDALONE_APPLICATION=1
        JUCE_MODAL_LOOPS_PERMITTED=1
        JUCE_USE_FLAC=0
        JUCE_USE_OGGVORBIS=0
        JUCE_USE_MP3AUDIOFORMAT=0
        JUCE_USE_LAME_AUDIO_FORMAT=0
        JUCE_USE_WINDOWS_MEDIA_FORMAT=0
        JUCE_WEB_BROWSER=0
        JUCE_USE_CURL=0
        JUCE_DISPLAY_SPLASH_SCREEN=0
        JUCE_REPORT_APP_USAGE=0
        JUCE_SILENCE_XCODE_15_LINKER_WARNING=1)

# Re-export what the module targets give their consumers, so our own code can
# include <juce_gui_basics/juce_gui_basics.h> and friends.
target_include_directories(tessel_juce SYSTEM INTERFACE
    $<TARGET_PROPERTY:tessel_juce,INCLUDE_DIRECTORIES>)
target_compile_definitions(tessel_juce INTERFACE
    $<TARGET_PROPERTY:tessel_juce,COMPILE_DEFINITIONS>)

# GCC 12 warns falsely about a dangling pointer inside juce_ListenerList.h;
# the module code is not ours to fix.
target_compile_options(tessel_juce PRIVATE -w)
set_target_properties(tessel_juce PROPERTIES POSITION_INDEPENDENT_CODE ON)
