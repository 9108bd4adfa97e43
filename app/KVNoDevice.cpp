#include "app/KVNoDevice.h"

#include "TesselImages.h"
#include "pagekit/FirmwareUpdate.h"
#include "ui/Dialogs.h"
#include "ui/Palette.h"

namespace
{
// Two lines of help fit between the frame round the status line and the
// rule near the foot of the picture, clear of both.
constexpr float hintFontHeight = 13.0f;

juce::Image loadImage (const char* data, int size)
{
    return juce::ImageCache::getFromMemory (data, size);
}
} // namespace

KVNoDevice::KVNoDevice()
{
    addAndMakeVisible (background);
    background.setImage (
        loadImage (TesselImages::no_device_background_png, TesselImages::no_device_background_pngSize));

    addAndMakeVisible (statusLabel);
    statusLabel.setText ("No Device Connected.", juce::dontSendNotification);
    statusLabel.setFont (juce::Font (25.0f, juce::Font::plain));
    statusLabel.setJustificationType (juce::Justification::centred);
    statusLabel.setColour (juce::Label::textColourId, Palette::accent);
    statusLabel.setEditable (false);

    addAndMakeVisible (hintLabel);
    hintLabel.setFont (juce::Font (hintFontHeight, juce::Font::plain));
    hintLabel.setJustificationType (juce::Justification::centred);
    hintLabel.setColour (juce::Label::textColourId, Palette::accent);
    hintLabel.setEditable (false);

    const auto buttonImage = loadImage (TesselImages::firmware_button_png, TesselImages::firmware_button_pngSize);
    firmwareButton.setImages (true, true, true, buttonImage, 1.0f, juce::Colours::transparentBlack, buttonImage, 0.8f,
                              juce::Colours::transparentBlack, buttonImage, 0.5f, juce::Colours::transparentBlack,
                              0.0f);
    firmwareButton.setButtonText ("firmware");

    addAndMakeVisible (firmwareButton);
    firmwareButton.addListener (this);
    firmwareButton.setVisible (false);
}

KVNoDevice::~KVNoDevice()
{
    firmwareButton.removeListener (this);
}

void KVNoDevice::paint (juce::Graphics&)
{
}

void KVNoDevice::resized()
{
    background.setBounds (0, 0, getWidth(), getHeight());
    statusLabel.setBounds (100, 300, 580, 50);
    hintLabel.setBounds (40, 353, 700, 28);
    firmwareButton.setBounds (270, 215, 238, 58);
}

void KVNoDevice::buttonClicked (juce::Button* button)
{
    if (! button->getButtonText().equalsIgnoreCase ("firmware"))
        return;

    // A file chosen from a page's menu before the pedal restarted is used
    // once; it is checked again against the device now in update mode.
    if (pendingFirmware.existsAsFile())
    {
        UpdateFirmware (pendingFirmware, true);
        pendingFirmware = juce::File();
        return;
    }

    const auto chosen = Dialogs::chooseFileToOpen ("*.bin");
    if (chosen != juce::File())
        UpdateFirmware (chosen, true);
}

bool KVNoDevice::UpdateFirmware (juce::File file, bool startNow)
{
    juce::MemoryBlock payload;
    if (checkFirmwareFile (file, deviceName, payload) != FirmwareCheck::compatible)
    {
        pendingFirmware = juce::File();
        Dialogs::showMessage ({}, "The firmware file is not compatible with your device.");
        return false;
    }

    if (! startNow)
    {
        pendingFirmware = file;
        return true;
    }

    startFirmwareUpdate (payload);
    return false;
}
