// The two toolbar boxes: go-to-line (digits only, at most 20) and search (at most 500). Enter in
// either sends its command to the main frame, which routes it to the active document.
// GUI thread only.
#pragma once

#include <wx/combobox.h>

class CToolbarComboBox : public wxComboBox
{
public:
    CToolbarComboBox(wxWindow* parent, wxWindowID id, int width);

protected:
    void OnEnter(wxCommandEvent& event);
};

class CGotoLineComboBox : public CToolbarComboBox
{
public:
    static constexpr unsigned kMaxLength = 20;
    explicit CGotoLineComboBox(wxWindow* parent);
};

class CSearchComboBox : public CToolbarComboBox
{
public:
    static constexpr unsigned kMaxLength = 500;
    explicit CSearchComboBox(wxWindow* parent);
};

// Drops files on a window: each path is opened as a document.
#include <wx/dnd.h>

class CFileDropTarget : public wxFileDropTarget
{
public:
    bool OnDropFiles(wxCoord x, wxCoord y, const wxArrayString& filenames) override;
};

// Gives a window and all its current descendants a file drop target.
void InstallFileDropTargets(wxWindow* window);
