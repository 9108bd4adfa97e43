#include "app/MainContentComponent.h"

#include "app/KVNoDevice.h"
#include "device/LiveLink.h"
#include "ui/Palette.h"

MainContentComponent::MainContentComponent()
{
    noDevice = std::make_unique<KVNoDevice>();
    addAndMakeVisible (*noDevice);

    setSize (KVNoDevice::pageWidth, KVNoDevice::pageHeight);
    noDevice->setBounds (0, 0, KVNoDevice::pageWidth, KVNoDevice::pageHeight);

    // Every progress window and list of the editor takes these from the default look.
    auto& look = juce::LookAndFeel::getDefaultLookAndFeel();
    look.setColour (juce::ProgressBar::foregroundColourId, Palette::progressBar);
    look.setColour (juce::ProgressBar::backgroundColourId, Palette::progressBarBackground);
    look.setColour (juce::ScrollBar::thumbColourId, Palette::scrollBarThumb);

    startLiveLink (*this);
}

MainContentComponent::~MainContentComponent()
{
    // The link's callbacks carry this hub as their context.
    stopLiveLink();
}

void MainContentComponent::paint (juce::Graphics&)
{
}

void MainContentComponent::resized()
{
}

void MainContentComponent::disconnect()
{
    setSize (KVNoDevice::pageWidth, KVNoDevice::pageHeight);
    noDevice->setBounds (0, 0, KVNoDevice::pageWidth, KVNoDevice::pageHeight);

    noDevice->firmwareButton.setVisible (false);
    noDevice->statusLabel.setText ("No Device Connected.", juce::dontSendNotification);

    noDevice->setVisible (true);

    names.clear();
    names.minimiseStorageOverheads();
}
