#include "app/PromptWindow.h"

PromptWindow::PromptWindow()
    : ThreadWithProgressWindow (title, true, false, 10000, {}, nullptr)
{
    setStatusMessage (status);
}

PromptWindow::~PromptWindow() = default;

void PromptWindow::run()
{
    setProgress (-1.0);
    wait (-1);
}

void PromptWindow::threadComplete (bool)
{
    delete this;
}
