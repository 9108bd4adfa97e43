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

std::unique_ptr<DialogHandler> setHandler (std::unique_ptr<DialogHandler> handler)
{
    if (handler == nullptr)
        handler = std::make_unique<NativeDialogs>();

    std::swap (handler, currentHandler());
    return handler;
}
} // namespace Dialogs
