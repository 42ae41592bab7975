// The explorer's balloon tip: a borderless, shaped popup with a rounded body and a pointer at
// its lower right, a framed background, an optional icon and a text in the small mark-up
// language of DrawMarkupText. Timer 100 shows it with the pointer's tip on tipPosition
// (topmost, without taking the focus); timer 101 then checks every 500 ms whether the mouse
// cursor is still on that point and hides the tip as soon as it is not.
//
// A caller that wants a tip sets its text, icon and point, then starts timer 100
// (StartShowTimer). GUI thread only.
#pragma once

#include <map>

#include <wx/bitmap.h>
#include <wx/font.h>
#include <wx/popupwin.h>
#include <wx/region.h>
#include <wx/timer.h>

class CXInfoTip : public wxPopupWindow
{
public:
    static constexpr int SHOW_TIMER = 100;
    static constexpr int CHECK_TIMER = 101;
    static constexpr int CHECK_INTERVAL_MS = 500;

    struct TipToolInfo
    {
        wxString text;
        void* handle = nullptr;
    };

    CXInfoTip();
    ~CXInfoTip() override;

    // Creates the hidden popup over the parent (none: no parent) in the stock GUI font.
    bool Create(wxWindow* parent);
    // The text's font (not owned); repaints at once when the window exists.
    using wxPopupWindow::SetFont;
    void SetFont(const wxFont* font);
    const wxFont* GetTipFont() const { return m_tipFont; }

    // The window's shape for the current text, icon and font, measured on dc; size (may be
    // null) receives the window size.
    bool GetWindowRegion(wxDC& dc, wxRegion* region, wxSize* size);

    // ---- what the caller sets before it starts timer 100
    void SetTipText(const wxString& text) { m_tipText = text; }
    const wxString& GetTipText() const { return m_tipText; }
    void SetTipPosition(const wxPoint& screenPoint) { m_tipPosition = screenPoint; }
    const wxPoint& GetTipPosition() const { return m_tipPosition; }
    void SetTipIcon(const wxBitmap& icon, const wxSize& size);
    int GetShowDelay() const { return m_showDelay; }
    std::map<wxWindow*, TipToolInfo>& GetTools() { return m_tools; }

    // Starts timer 100 (delay in ms; the tip shows when it fires).
    void StartShowTimer(int delayMs);
    // The timer now running: 0, SHOW_TIMER or CHECK_TIMER.
    int GetTimerId() const { return m_timerId; }

    // What the timers do, callable directly.
    void OnShowTimer();
    void OnCheckTimer();
    // What the paint handler draws, into any dc of the window's size.
    void PaintTo(wxDC& dc);

private:
    void OnTimer(wxTimerEvent& event);
    void OnPaint(wxPaintEvent& event);
    void OnDestroy(wxWindowDestroyEvent& event);
    void KillTimer();
    wxSize MeasureRawText(wxDC& dc) const;

    int m_showDelay = 500;
    wxPoint m_tipPosition{0, 0};
    wxString m_tipText;
    int m_timerId = 0;
    wxBitmap m_tipIcon;
    wxSize m_tipIconSize{0, 0};
    const wxFont* m_tipFont = nullptr;
    std::map<wxWindow*, TipToolInfo> m_tools;
    wxTimer m_showTimer;
    wxTimer m_checkTimer;
};
