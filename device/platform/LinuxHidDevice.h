#pragma once

#include <array>
#include <memory>
#include <string>

#include "device/platform/HidManager.h"
#include "device/platform/LinuxHidParsing.h"

/** One pedal seen through its /dev/hidrawN node.

    The device doesn't open the node itself: the manager does that (it may have
    to wait for udev to grant access) and hands the descriptor over. Input
    reports are read on the message thread through JUCE's Linux event loop.
    Anything that reads and writes like hidraw (one report per read and write)
    works as the descriptor, which is how the tests drive it. */
class LinuxHidDevice final : public HidDevice
{
public:
    LinuxHidDevice (tessel::linuxhid::HidProperties properties, std::string sysPath, std::string devNode);

    /** Stops reading and closes the descriptor. */
    ~LinuxHidDevice() override;

    bool getIntProperty (const char* key, int32_t& value) const override;
    bool getStringProperty (const char* key, juce::String& value) const override;
    HidResult setReport (HidReportType type, uint32_t reportID, const uint8_t* data, long length) override;
    void setInputListener (InputListener* listener, uint8_t* buffer, long length) override;
    bool isAccessible() const override { return isOpen(); }

    /** Takes over an open, non-blocking descriptor of the device node. */
    void adoptFd (int fileDescriptor);

    bool isOpen() const noexcept { return fd >= 0; }
    const std::string& getSysPath() const noexcept { return sysPath; }
    const std::string& getDevNode() const noexcept { return devNode; }

private:
    void startReadingIfReady();
    void stopReading();
    void readPendingReports();

    const tessel::linuxhid::HidProperties properties;
    const std::string sysPath;
    const std::string devNode;

    int fd = -1;
    bool watchingFd = false;
    bool nodeGone = false;
    bool writeErrorShown = false;

    uint8_t* reportBuffer = nullptr;
    long reportBufferLength = 0;
    InputListener* reportListener = nullptr;

    // A single read returns a single report; this is large enough for any
    // report a HID device can send, so nothing is cut before it is copied.
    std::array<uint8_t, 4096> readBuffer {};

    // JUCE copies the fd callbacks that are due before running any of them,
    // so one of ours can still run after an earlier callback in the same round
    // deleted this device. The callbacks hold this cell, which the destructor
    // empties, instead of a bare pointer.
    std::shared_ptr<LinuxHidDevice*> lifetime;

    JUCE_DECLARE_NON_COPYABLE (LinuxHidDevice)
};
