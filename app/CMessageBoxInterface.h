// Every message box of the viewer goes through this interface, so that tests can replace it
// and never block on a modal window. GUI thread only.
#pragma once

#include <wx/defs.h>
#include <wx/string.h>

class CMessageBoxInterface
{
public:
    virtual ~CMessageBoxInterface() = default;
    // Shows a message with the given wxICON_* / wxOK style flags; returns the wxMessageBox result.
    virtual int ShowMessageBox(const wxString& text, long style) = 0;
};

// The interface in use; a modal wxMessageBox with the application's name as caption unless
// replaced. Replacing passes no ownership; null restores the default.
CMessageBoxInterface& GetMessageBoxes();
void SetMessageBoxes(CMessageBoxInterface* boxes);

inline int AppMessageBox(const wxString& text, long style = wxOK)
{
    return GetMessageBoxes().ShowMessageBox(text, style);
}
