#include "ui/Dialogs.h"

namespace
{
class NativeDialogs : public DialogHandler
{
public:
    void showMessageBox (const juce::String& title, const juce::String& message) override
    {
        juce::NativeMessageBox::showMessageBox (juce::MessageBoxIconType::NoIcon, title, message);
    }

    bool askOkCancel (const juce::String& title, const juce::String& message) override
    {
        return juce::NativeMessageBox::showOkCancelBox (juce::MessageBoxIconType::NoIcon, title, message);
    }

    void showOkCancelBoxAsync (const juce::String& title, const juce::String& message,
                               std::function<void (int)> callback) override
    {
        juce::AlertWindow::showOkCancelBox (juce::MessageBoxIconType::NoIcon, title, message, {}, {}, nullptr,
                                            juce::ModalCallbackFunction::create (std::move (callback)));
    }

    juce::File chooseFileToOpen (const juce::String& pattern) override
    {
        return choose (pattern, juce::FileBrowserComponent::openMode | juce::FileBrowserComponent::canSelectFiles);
    }

    juce::File chooseFileToSave (const juce::String& pattern) override
    {
        return choose (pattern,
                       juce::FileBrowserComponent::saveMode | juce::FileBrowserComponent::canSelectFiles
                           | juce::FileBrowserComponent::warnAboutOverwriting);
    }

    juce::Array<juce::File> chooseFilesToOpen (const juce::String& pattern) override
    {
        auto chooser = makeChooser (pattern);
        const auto flags = juce::FileBrowserComponent::openMode | juce::FileBrowserComponent::canSelectFiles
            | juce::FileBrowserComponent::canSelectMultipleItems;
        return chooser.showDialog (flags, nullptr) ? chooser.getResults() : juce::Array<juce::File>();
    }

    juce::File chooseFolder (const juce::String& pattern) override
    {
        return choose (pattern,
                       juce::FileBrowserComponent::openMode | juce::FileBrowserComponent::canSelectDirectories);
    }

    void openLink (const juce::URL& link) override { link.launchInDefaultBrowser(); }

private:
    static juce::FileChooser makeChooser (const juce::String& pattern)
    {
        return juce::FileChooser ({}, juce::File::getSpecialLocation (juce::File::userHomeDirectory), pattern, true,
                                  false);
    }

    static juce::File choose (const juce::String& pattern, int flags)
    {
        auto chooser = makeChooser (pattern);
        return chooser.showDialog (flags, nullptr) ? chooser.getResult() : juce::File();
    }
};

std::unique_ptr<DialogHandler>& currentHandler()
{
    static std::unique_ptr<DialogHandler> handler = std::make_unique<NativeDialogs>();
    return handler;
}
} // namespace

namespace Dialogs
{
void showMessage (const juce::String& title, const juce::String& message)
{
    currentHandler()->showMessageBox (title, message);
}

bool askOkCancel (const juce::String& title, const juce::String& message)
{
    return currentHandler()->askOkCancel (title, message);
}

void showOkCancelBoxAsync (const juce::String& title, const juce::String& message, std::function<void (int)> callback)
{
    currentHandler()->showOkCancelBoxAsync (title, message, std::move (callback));
}

juce::File chooseFileToOpen (const juce::String& pattern)
{
    return currentHandler()->chooseFileToOpen (pattern);
}

juce::File chooseFileToSave (const juce::String& pattern)
{
    return currentHandler()->chooseFileToSave (pattern);
}

juce::Array<juce::File> chooseFilesToOpen (const juce::String& pattern)
{
    return currentHandler()->chooseFilesToOpen (pattern);
}

juce::File chooseFolder (const juce::String& pattern)
{
    return currentHandler()->chooseFolder (pattern);
}

void openLink (const juce::URL& link)
{
    currentHandler()->openLink (link);
}

std::unique_ptr<DialogHandler> setHandler (std::unique_ptr<DialogHandler> handler)
{
    if (handler == nullptr)
        handler = std::make_unique<NativeDialogs>();

    std::swap (handler, currentHandler());
    return handler;
}
} // namespace Dialogs
