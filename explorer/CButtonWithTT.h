// A check box that hands its mouse moves to a tool-tip control, so that the tip shows the tool
// text registered for it there. ExplorerToolTipCtrl is that control: a table of tool texts per
// window that a relayed mouse move turns into the window's tip. GUI thread only.
#pragma once

#include <map>

#include <wx/checkbox.h>

class ExplorerToolTipCtrl
{
public:
    void AddTool(wxWindow* window, const wxString& text) { m_tools[window] = text; }
    bool HasTool(wxWindow* window) const { return m_tools.count(window) != 0; }
    // A mouse move over `window`: it shows the tip registered for it, if any.
    void RelayEvent(wxWindow* window);

private:
    std::map<wxWindow*, wxString> m_tools;
};

class CButtonWithTT : public wxCheckBox
{
public:
    CButtonWithTT();

    // The control to relay mouse moves to (not owned; null: none).
    void SetToolTip(ExplorerToolTipCtrl* toolTip) { m_toolTipCtrl = toolTip; }
    using wxCheckBox::SetToolTip;
    ExplorerToolTipCtrl* GetToolTipCtrl() const { return m_toolTipCtrl; }

private:
    void OnMouseMove(wxMouseEvent& event);

    ExplorerToolTipCtrl* m_toolTipCtrl = nullptr;
};
