#include "CMFCVisualManagerCustom.h"

#include <algorithm>

#include <wx/control.h>
#include <wx/dc.h>
#include <wx/settings.h>

namespace {

void FillRect(wxDC& dc, const wxRect& rect, const wxColour& colour)
{
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(wxBrush(colour));
    dc.DrawRectangle(rect);
}

} // namespace

CMFCVisualManagerCustom::CMFCVisualManagerCustom()
{
    UpdateCustomColors();
}

void CMFCVisualManagerCustom::UpdateCustomColors()
{
    m_barColour = ToWx(BarColourFromWindow(FromWx(wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOW))));
}

wxAuiDockArt* CMFCVisualManagerCustom::CreateDockArt() const
{
    return new CCustomDockArt(m_barColour);
}

wxAuiTabArt* CMFCVisualManagerCustom::CreateTabArt() const
{
    return new CCustomTabArt(m_barColour);
}

wxAuiToolBarArt* CMFCVisualManagerCustom::CreateToolBarArt() const
{
    return new CCustomToolBarArt(m_barColour);
}

// ---------------------------------------------------------------------------------------------

CCustomDockArt::CCustomDockArt(const wxColour& barColour)
    : m_barColour(barColour)
{
    SetColour(wxAUI_DOCKART_BACKGROUND_COLOUR, barColour);
}

void CCustomDockArt::DrawBackground(wxDC& dc, wxWindow*, int, const wxRect& rect)
{
    FillRect(dc, rect, m_barColour);
}

void CCustomDockArt::DrawCaption(wxDC& dc, wxWindow*, const wxString& text, const wxRect& rect,
                                 wxAuiPaneInfo& pane)
{
    wxRect r = rect;
    r.height += 1;
    wxColour textColour;
    if (pane.state & wxAuiPaneInfo::optionActive)
    {
        FillRect(dc, r, wxSystemSettings::GetColour(wxSYS_COLOUR_ACTIVECAPTION));
        textColour = wxSystemSettings::GetColour(wxSYS_COLOUR_CAPTIONTEXT);
    }
    else
    {
        RgbColour gradientDark =
            CMFCVisualManagerCustom::FromWx(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE));
        RgbColour fill = CMFCVisualManagerCustom::InactiveCaptionFill(gradientDark);
        FillRect(dc, r, CMFCVisualManagerCustom::ToWx(fill));
        dc.SetPen(wxPen(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNSHADOW)));
        dc.SetBrush(*wxTRANSPARENT_BRUSH);
        dc.DrawRectangle(r);
        textColour = CMFCVisualManagerCustom::ToWx(CMFCVisualManagerCustom::InactiveCaptionTextColour(fill));
    }

    dc.SetFont(GetFont(wxAUI_DOCKART_CAPTION_FONT));
    dc.SetTextForeground(textColour);
    int buttons = 0;
    if (pane.HasCloseButton())
        ++buttons;
    if (pane.HasMaximizeButton())
        ++buttons;
    if (pane.HasPinButton())
        ++buttons;
    int textWidth = r.width - 6 - buttons * GetMetric(wxAUI_DOCKART_PANE_BUTTON_SIZE);
    // DrawText draws "&" as it is: no mnemonics in the cut either.
    wxString shown =
        wxControl::Ellipsize(text, dc, wxELLIPSIZE_END, std::max(textWidth, 0), wxELLIPSIZE_FLAGS_NONE);
    wxCoord w, h;
    dc.GetTextExtent(wxT("ABCDEFHXfgkj"), &w, &h);
    dc.DestroyClippingRegion();
    dc.SetClippingRegion(r);
    dc.DrawText(shown, r.x + 3, r.y + (r.height - 1) / 2 - h / 2);
    dc.DestroyClippingRegion();
}

// ---------------------------------------------------------------------------------------------

CCustomTabArt::CCustomTabArt(const wxColour& barColour)
    : m_barColour(barColour)
{}

void CCustomTabArt::DrawBackground(wxDC& dc, wxWindow*, const wxRect& rect)
{
    FillRect(dc, rect, m_barColour);
}

int CCustomTabArt::GetBestTabCtrlSize(wxWindow* wnd, const wxAuiNotebookPageArray& pages,
                                      const wxSize& requiredBmpSize)
{
    if (pages.GetCount() <= 1)
        return wxAuiGenericTabArt::GetBestTabCtrlSize(wnd, pages, requiredBmpSize);
    wxAuiNotebookPageArray first;
    first.Add(pages[0]);
    return wxAuiGenericTabArt::GetBestTabCtrlSize(wnd, first, requiredBmpSize);
}

// ---------------------------------------------------------------------------------------------

CCustomToolBarArt::CCustomToolBarArt(const wxColour& barColour)
    : m_barColour(barColour)
{}

void CCustomToolBarArt::DrawBackground(wxDC& dc, wxWindow*, const wxRect& rect)
{
    FillRect(dc, rect, m_barColour);
}

void CCustomToolBarArt::DrawPlainBackground(wxDC& dc, wxWindow*, const wxRect& rect)
{
    FillRect(dc, rect, m_barColour);
}
