// The explorer's messages to the user as the viewer's message boxes.
#pragma once

#include "ExplorerServices.h"

class CExplorerNotifier : public ExplorerNotifier
{
public:
    void ShowError(const std::u16string& text) override;
    bool ConfirmPermanentDelete(const std::u16string& text) override;
    // A line in the main window's Output pane.
    void ShowOutputLine(const std::u16string& text) override;
};
