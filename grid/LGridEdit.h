// The grid's in-place editor: a multi-line text control that the grid creates hidden (id 311)
// and lays over the box being edited.
#pragma once

#include <wx/brush.h>
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

private:
    LGridView* m_owner = nullptr;
    int m_textColour = 0; // 0x00BBGGRR
};
