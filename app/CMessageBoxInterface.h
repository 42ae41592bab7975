// Every message box of the viewer goes through this interface, so that tests can replace it
// and never block on a modal window. GUI thread only.
#pragma once

#include <functional>
#include <vector>

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

// Shows a message through the interface in use, or adds it to the gathering in progress.
int AppMessageBox(const wxString& text, long style = wxOK);

// Whether a message box is showing now.
bool IsMessageBoxShowing();
// Called on the GUI thread, after the event that closed it, whenever the last box showing has
// closed. Null: nothing.
void SetAfterMessageBoxes(std::function<void()> after);

// While one exists, messages that only inform (an OK button alone) are gathered instead of each
// showing a box of its own: Show() then shows them as one box, the most severe icon first. A box
// that asks something still shows at once. Gatherings do not nest: an inner one adds to the
// outer one.
class CMessageBoxGathering
{
public:
    // At most this many messages are shown, then a line that counts the rest.
    static constexpr size_t kMaxShown = 20;

    CMessageBoxGathering();
    ~CMessageBoxGathering();
    CMessageBoxGathering(const CMessageBoxGathering&) = delete;
    CMessageBoxGathering& operator=(const CMessageBoxGathering&) = delete;

    void Add(const wxString& text, long style);
    // Shows the gathered messages as one box, if any, and starts over. An inner gathering shows
    // nothing: its messages wait for the outer one.
    void Show();
    // The text of the one box for these messages.
    static wxString JoinedText(const std::vector<wxString>& texts);

private:
    CMessageBoxGathering* m_outer = nullptr;
    std::vector<wxString> m_texts;
    long m_icon = 0;
};
