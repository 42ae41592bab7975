// The grid's in-place editor: a multi-line text control that the grid creates hidden (id 311)
// and lays over the box being edited. It routes Tab, Enter, Esc, the page and arrow keys and the
// wheel to its grid, and keeps its text within the grid's limit of 50,000 characters (GTK's
// multi-line control has no limit of its own).
#pragma once

#include <string>

#include <wx/textctrl.h>

class LGridView;

class LGridEdit : public wxTextCtrl
{
public:
    explicit LGridEdit(LGridView* owner);

    // Creates the hidden control as a child of the grid.
    bool Create(wxWindow* parent, wxWindowID id);

    LGridView* GetOwnerGrid() const { return m_owner; }
    void SetTextColourRef(int colorref) { m_textColour = colorref; }
    int GetTextColourRef() const { return m_textColour; }

    // Fills the control (every line break as one line break of the control), sends no text
    // event, and marks the text unmodified.
    void SetEditorText(const std::u16string& text);
    // The text with every line break as CR LF, as boxes keep it.
    std::u16string GetEditorText() const;

    // The modified flag is the editor's own: every text event sets it, filling the editor and
    // emptying it clear it (GTK's control resets it on any programmatic change).
    bool IsModified() const override { return m_modified; }
    void MarkDirty() override { m_modified = true; }
    void DiscardEdits() override { m_modified = false; }

    // Cuts the text back to the grid's limit; true when it had to. Not from inside a text event:
    // GTK is still inserting then.
    bool EnforceLimit();

    // The handlers, public so that tests can drive them without focus.
    void OnKeyDown(wxKeyEvent& event);
    void OnChar(wxKeyEvent& event);
    void OnMouseWheel(wxMouseEvent& event);
    void OnText(wxCommandEvent& event);

private:
    LGridView* m_owner = nullptr;
    int m_textColour = 0; // 0x00BBGGRR
    bool m_limiting = false;
    bool m_limitQueued = false;
    bool m_modified = false;
};
