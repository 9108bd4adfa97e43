#include "app/Application.h"

#include "app/MainContentComponent.h"

#include "TesselImages.h"

namespace
{
const char* const applicationName = "Tessel Editor";
const char* const applicationVersion = "1.1.1";
} // namespace

JUCE_USBApplication::JUCE_USBApplication() = default;

// Members go in reverse order: the tooltip window first, then the main window.
JUCE_USBApplication::~JUCE_USBApplication() = default;

const juce::String JUCE_USBApplication::getApplicationName()
{
    return applicationName;
}

const juce::String JUCE_USBApplication::getApplicationVersion()
{
    return applicationVersion;
}

bool JUCE_USBApplication::moreThanOneInstanceAllowed()
{
    return true;
}

void JUCE_USBApplication::initialise (const juce::String&)
{
    mainWindow = std::make_unique<MainWindow> (getApplicationName());
}

void JUCE_USBApplication::shutdown()
{
    mainWindow = nullptr;
}

void JUCE_USBApplication::anotherInstanceStarted (const juce::String&)
{
}

void JUCE_USBApplication::systemRequestedQuit()
{
    juce::JUCEApplicationBase::quit();
}

JUCE_USBApplication::MainWindow::MainWindow (const juce::String& name)
    : DocumentWindow (name,
                      juce::LookAndFeel::getDefaultLookAndFeel().findColour (juce::ResizableWindow::backgroundColourId),
                      DocumentWindow::minimiseButton | DocumentWindow::closeButton, true)
{
    setUsingNativeTitleBar (true);
    setResizable (false, false);

    setContentOwned (new MainContentComponent(), true);

    centreWithSize (getWidth(), getHeight());
    setVisible (true);
}

JUCE_USBApplication::MainWindow::~MainWindow() = default;

juce::ComponentPeer* JUCE_USBApplication::MainWindow::createNewPeer (int styleFlags, void* nativeWindowToAttachTo)
{
    auto* peer = DocumentWindow::createNewPeer (styleFlags, nativeWindowToAttachTo);

    if (peer != nullptr)
        peer->setIcon (
            juce::ImageCache::getFromMemory (TesselImages::app_icon_128_png, TesselImages::app_icon_128_pngSize));

    return peer;
}

void JUCE_USBApplication::MainWindow::closeButtonPressed()
{
    juce::JUCEApplication::getInstance()->systemRequestedQuit();
}
