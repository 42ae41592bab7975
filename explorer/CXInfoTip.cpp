#include "CXInfoTip.h"

#include <vector>

#include <wx/dcclient.h>
#include <wx/gdicmn.h>
#include <wx/settings.h>
#include <wx/utils.h>

#include "MarkupText.h"
#include "TipGeometry.h"

namespace {

std::vector<wxPoint> ToWxPoints(const std::vector<TipPoint>& points)
{
    std::vector<wxPoint> out;
    out.reserve(points.size());
    for (const TipPoint& p : points)
        out.emplace_back(p.x, p.y);
    return out;
}

} // namespace

CXInfoTip::CXInfoTip()
    : m_showTimer(this, SHOW_TIMER)
    , m_checkTimer(this, CHECK_TIMER)
{
    Bind(wxEVT_TIMER, &CXInfoTip::OnTimer, this);
    Bind(wxEVT_PAINT, &CXInfoTip::OnPaint, this);
    Bind(wxEVT_DESTROY, &CXInfoTip::OnDestroy, this);
}

CXInfoTip::~CXInfoTip()
{
    m_showTimer.Stop();
    m_checkTimer.Stop();
}

bool CXInfoTip::Create(wxWindow* parent)
{
    // A shaped window must say so when it is created.
    if (!wxPopupWindow::Create(parent, wxBORDER_NONE | wxFRAME_SHAPED))
        return false;
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    m_tipFont = wxNORMAL_FONT;
    return true;
}

void CXInfoTip::SetFont(const wxFont* font)
{
    m_tipFont = font;
    if (GetHandle())
    {
        Refresh(true);
        Update();
    }
}

void CXInfoTip::SetTipIcon(const wxBitmap& icon, const wxSize& size)
{
    m_tipIcon = icon;
    m_tipIconSize = icon.IsOk() ? size : wxSize(0, 0);
}

wxSize CXInfoTip::MeasureRawText(wxDC& dc) const
{
    const wxFont previous = dc.GetFont();
    if (m_tipFont && m_tipFont->IsOk())
        dc.SetFont(*m_tipFont);
    wxCoord width = 0;
    wxCoord height = 0;
    // The raw text: a line feed breaks the line, tags count as text.
    if (!m_tipText.empty())
        dc.GetMultiLineTextExtent(m_tipText, &width, &height);
    dc.SetFont(previous);
    return wxSize(width, height);
}

bool CXInfoTip::GetWindowRegion(wxDC& dc, wxRegion* region, wxSize* size)
{
    const wxSize text = MeasureRawText(dc);
    const bool icon = m_tipIcon.IsOk();
    const TipShape shape =
        ComputeTipShape(text.x, text.y, icon ? m_tipIconSize.x : 0, icon ? m_tipIconSize.y : 0);
    if (region)
    {
        const std::vector<wxPoint> outline = ToWxPoints(shape.outline);
        *region = wxRegion(outline.size(), outline.data(), wxWINDING_RULE);
    }
    if (size)
        *size = wxSize(shape.windowWidth, shape.windowHeight);
    return true;
}

void CXInfoTip::StartShowTimer(int delayMs)
{
    KillTimer();
    m_timerId = SHOW_TIMER;
    m_showTimer.StartOnce(delayMs > 0 ? delayMs : 1);
}

void CXInfoTip::KillTimer()
{
    m_showTimer.Stop();
    m_checkTimer.Stop();
    m_timerId = 0;
}

void CXInfoTip::OnShowTimer()
{
    KillTimer();
    wxRegion region;
    wxSize size;
    {
        wxClientDC dc(this);
        GetWindowRegion(dc, &region, &size);
    }
    const wxPoint origin(m_tipPosition.x - size.x + 12, m_tipPosition.y - size.y + 10);
    SetSize(origin.x, origin.y, size.x, size.y);
    SetShape(region);
    Show();
    Raise();
    Refresh(true);
    Update();
    m_timerId = CHECK_TIMER;
    m_checkTimer.Start(CHECK_INTERVAL_MS);
}

void CXInfoTip::OnCheckTimer()
{
    const wxPoint cursor = wxGetMousePosition();
    if (cursor.x != m_tipPosition.x || cursor.y != m_tipPosition.y)
    {
        KillTimer();
        Hide();
    }
}

void CXInfoTip::OnTimer(wxTimerEvent& event)
{
    if (event.GetId() == SHOW_TIMER)
        OnShowTimer();
    else if (event.GetId() == CHECK_TIMER)
        OnCheckTimer();
    event.Skip();
}

void CXInfoTip::PaintTo(wxDC& dc)
{
    const wxSize text = MeasureRawText(dc);
    const bool hasIcon = m_tipIcon.IsOk();
    const int iconWidth = hasIcon ? m_tipIconSize.x : 0;
    const TipShape shape = ComputeTipShape(text.x, text.y, iconWidth, hasIcon ? m_tipIconSize.y : 0);
    const std::vector<wxPoint> outline = ToWxPoints(shape.outline);

    // Fill, then a wide frame in the scroll-bar colour and a thin one in the text colour, both
    // inside the outline (the window's shape cuts the outer half of each pen away).
    dc.SetBrush(wxBrush(wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOW)));
    dc.SetPen(wxPen(wxSystemSettings::GetColour(wxSYS_COLOUR_SCROLLBAR), 6));
    dc.DrawPolygon(outline.size(), outline.data());
    dc.SetBrush(*wxTRANSPARENT_BRUSH);
    dc.SetPen(wxPen(wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOWTEXT), 2));
    dc.DrawPolygon(outline.size(), outline.data());

    const TipPoint origin = TipTextOrigin(iconWidth);
    wxRect textRect(origin.x, origin.y, shape.windowWidth - origin.x, shape.windowHeight - origin.y);
    const wxFont previous = dc.GetFont();
    if (m_tipFont && m_tipFont->IsOk())
        dc.SetFont(*m_tipFont);
    dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
    dc.SetTextForeground(wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOWTEXT));
    wxString markup = m_tipText;
    markup.Replace(wxS("\n"), wxS("<br/>"));
    DrawMarkupText(&dc, &markup, -1, &textRect, 0);
    if (hasIcon)
        dc.DrawBitmap(m_tipIcon, 12, 10, true);
    dc.SetFont(previous);
}

void CXInfoTip::OnPaint(wxPaintEvent&)
{
    wxPaintDC dc(this);
    PaintTo(dc);
}

void CXInfoTip::OnDestroy(wxWindowDestroyEvent& event)
{
    if (event.GetEventObject() == this)
        KillTimer();
    event.Skip();
}
