#include "device/platform/LinuxHidDevice.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include <unistd.h>

#include <juce_events/juce_events.h>

namespace
{
// Enough to drain a burst, few enough that a device that never stops talking
// can't keep the message thread from everything else; poll() reports the fd
// again on the next round if more is waiting.
constexpr int maxReportsPerWakeUp = 64;

bool sameKey (const char* a, const char* b)
{
    return a != nullptr && std::strcmp (a, b) == 0;
}

// USB strings reach sysfs as UTF-8, but nothing stops a broken descriptor from
// producing something else; JUCE asserts on invalid UTF-8, so such a string is
// taken byte by byte instead.
juce::String toJuceString (const std::string& text)
{
    if (text.empty())
        return {};

    if (juce::CharPointer_UTF8::isValidString (text.data(), (int) text.size()))
        return juce::String::fromUTF8 (text.data(), (int) text.size());

    juce::String result;

    for (auto byte : text)
        result += (juce::juce_wchar) (unsigned char) byte;

    return result;
}
} // namespace

LinuxHidDevice::LinuxHidDevice (tessel::linuxhid::HidProperties deviceProperties, std::string path, std::string node)
    : properties (std::move (deviceProperties)),
      sysPath (std::move (path)),
      devNode (std::move (node)),
      lifetime (std::make_shared<LinuxHidDevice*> (this))
{
}

LinuxHidDevice::~LinuxHidDevice()
{
    *lifetime = nullptr;
    stopReading();

    if (fd >= 0)
        ::close (fd);
}

bool LinuxHidDevice::getIntProperty (const char* key, int32_t& value) const
{
    const auto& found = sameKey (key, vendorIdKey) ? properties.vendorId
        : sameKey (key, productIdKey)              ? properties.productId
                                                   : std::optional<int32_t>();
    if (! found.has_value())
        return false;

    value = *found;
    return true;
}

bool LinuxHidDevice::getStringProperty (const char* key, juce::String& value) const
{
    if (sameKey (key, usbDeviceKey))
    {
        if (! properties.usbDevice.has_value())
            return false;

        value = toJuceString (*properties.usbDevice);
        return true;
    }

    // hidapi's hidraw backend opens a device by its node.
    if (sameKey (key, devicePathKey))
    {
        value = toJuceString (devNode);
        return ! devNode.empty();
    }

    const auto& found = sameKey (key, manufacturerKey) ? properties.manufacturer
        : sameKey (key, productKey)                    ? properties.product
                                                       : std::optional<std::string>();
    if (! found.has_value())
        return false;

    value = toJuceString (*found);
    return true;
}

HidResult LinuxHidDevice::setReport (HidReportType type, uint32_t reportID, const uint8_t* data, long length)
{
    // hidraw's write() sends output reports; feature reports would need an
    // ioctl, and nothing in the editor sends one.
    if (type != HidReportType::output || fd < 0 || length < 0 || reportID > 0xff || (data == nullptr && length > 0))
        return kHidError;

    // hidraw wants the report ID in the first byte, even when the device
    // doesn't number its reports (then it is 0 and isn't sent on the wire).
    std::vector<uint8_t> frame ((size_t) length + 1);
    frame[0] = (uint8_t) reportID;

    if (length > 0)
        std::memcpy (frame.data() + 1, data, (size_t) length);

    ssize_t written;

    do
    {
        written = ::write (fd, frame.data(), frame.size());
    } while (written < 0 && errno == EINTR);

    if (written == (ssize_t) frame.size())
        return kHidSuccess;

    // The link layer above retries and reports; say once per device why.
    if (! writeErrorShown)
    {
        writeErrorShown = true;

        if (written < 0)
            printf ("Tessel HID: writing to %s failed: %s\n", devNode.c_str(), std::strerror (errno));
        else
            printf ("Tessel HID: %s took %zd of %zu bytes\n", devNode.c_str(), written, frame.size());
    }

    return kHidError;
}

void LinuxHidDevice::setInputListener (InputListener* listener, uint8_t* buffer, long length)
{
    JUCE_ASSERT_MESSAGE_THREAD

    reportBuffer = buffer;
    reportBufferLength = std::max (0L, length);
    reportListener = listener;

    if (listener == nullptr || buffer == nullptr)
        stopReading();
    else
        startReadingIfReady();
}

void LinuxHidDevice::adoptFd (int fileDescriptor)
{
    jassert (fd < 0);

    if (fd >= 0)
    {
        stopReading();
        ::close (fd);
    }

    fd = fileDescriptor;
    nodeGone = false;
    startReadingIfReady();
}

void LinuxHidDevice::startReadingIfReady()
{
    if (watchingFd || nodeGone || fd < 0 || reportListener == nullptr || reportBuffer == nullptr)
        return;

    watchingFd = true;
    std::weak_ptr<LinuxHidDevice*> cell = lifetime;

    juce::LinuxEventLoop::registerFdCallback (fd,
                                              [cell] (int)
                                              {
        if (auto owner = cell.lock())
            if (auto* device = *owner)
                device->readPendingReports();
    });
}

void LinuxHidDevice::stopReading()
{
    // JUCE asserts when asked to forget an fd it isn't watching.
    if (! watchingFd)
        return;

    watchingFd = false;
    juce::LinuxEventLoop::unregisterFdCallback (fd);
}

void LinuxHidDevice::readPendingReports()
{
    // The listener may run a modal loop in which this device is removed and
    // deleted; the cell tells us when that happened.
    const auto alive = lifetime;

    for (int count = 0; count < maxReportsPerWakeUp && watchingFd; ++count)
    {
        const auto got = ::read (fd, readBuffer.data(), readBuffer.size());

        if (got < 0 && errno == EINTR)
            continue;

        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;

        if (got <= 0)
        {
            // ENODEV when the pedal was pulled out. The udev "remove" event
            // that follows does the removal; until then there is nothing to
            // read, and a dead fd would wake the loop for ever.
            if (got < 0 && errno != ENODEV)
                printf ("Tessel HID: reading %s failed: %s\n", devNode.c_str(), std::strerror (errno));

            stopReading();
            nodeGone = true;
            return;
        }

        const auto copied = std::min ((long) got, reportBufferLength);
        std::memcpy (reportBuffer, readBuffer.data(), (size_t) copied);

        // Reports arrive as the device sends them, without a report ID in
        // front: ours are not numbered.
        reportListener->inputReportArrived (*this, reportBuffer, copied);

        if (*alive == nullptr)
            return;
    }
}
