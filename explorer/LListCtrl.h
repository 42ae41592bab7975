// A report-style list control that hands right-button presses and releases, double-clicks and
// item clicks to an exchangeable callbacks object it owns. With a callbacks object, right
// clicks and double-clicks reach only that object: the control neither changes its selection on
// a right click nor reports them further. GUI thread only.
#pragma once

#include <memory>

#include <wx/listctrl.h>

class LListCtrlCallbacks
{
public:
    virtual ~LListCtrlCallbacks() = default;
    virtual void OnRButtonDown(unsigned flags, const wxPoint& point) = 0;
    virtual void OnRButtonUp(unsigned flags, const wxPoint& point) = 0;
    // row: the clicked row, -1 when the click hit none.
    virtual void OnItemClick(int row) = 0;
    virtual void OnLButtonDblClk(unsigned flags, const wxPoint& point) = 0;
};

class LListCtrl : public wxListCtrl
{
public:
    // Shared by every list: whether selected rows keep their highlight colours while the list has
    // no focus (off unless someone turns it on), and the highlight's background.
    static bool keepSelectionVisible;
    static wxColour selectionTextBkColor;

    explicit LListCtrl(LListCtrlCallbacks* callbacks = nullptr);
    ~LListCtrl() override;

    // Takes ownership; the previous object is deleted.
    void SetCallbacks(LListCtrlCallbacks* callbacks);
    LListCtrlCallbacks* GetCallbacks() const { return m_callbacks.get(); }

    // Sets or clears only the selected state of a row.
    void SetItemSelectedQuiet(long item, bool selected);

    // The mouse flags of an event as the callbacks receive them (button and key bits).
    static unsigned MouseFlags(const wxMouseEvent& event);

    // The window that shows the rows (below the header): the mouse events of the list come in
    // its coordinates.
    wxWindow* GetListArea();
    // The row under a point of a mouse event of the list, -1 for none.
    long RowAt(const wxPoint& point);

private:
    void OnRightDown(wxMouseEvent& event);
    void OnRightUp(wxMouseEvent& event);
    void OnLeftDClick(wxMouseEvent& event);
    void OnLeftUp(wxMouseEvent& event);

    std::unique_ptr<LListCtrlCallbacks> m_callbacks;
};
