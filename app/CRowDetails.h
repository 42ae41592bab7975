// The "Row details" pane: the selected rows' CSV text, read-only, in a Scintilla editor with
// character wrapping and visible whitespace and line ends. GUI thread only.
#pragma once

#include <wx/panel.h>
#include <wx/stc/stc.h>

class CRowDetails : public wxPanel
{
public:
    CRowDetails(wxWindow* parent, wxWindowID id);

    // Replaces the whole text; an empty text leaves the pane empty.
    void SetText(const wxString& text);

    // Selects the first occurrence of the text and scrolls it into view; false when the text is
    // empty or does not occur.
    bool FindText(const wxString& text, bool matchCase);

    wxStyledTextCtrl* GetEditor() const { return m_editor; }

private:
    void AdjustLayout();
    void ScrollHitIntoView(int start, int end);

    wxStyledTextCtrl* m_editor = nullptr;
};
