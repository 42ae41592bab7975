// The application's look: one flat bar colour derived from the system window colour for every
// toolbar, dock area and the MDI tab area, and its own pane captions. The colour arithmetic is
// plain and window-free (core/VisualColours.h); the art classes below apply it to wxAUI.
// GUI thread only.
#pragma once

#include <cstdint>

#include <wx/aui/aui.h>
#include <wx/aui/dockart.h>
#include <wx/aui/tabart.h>
#include <wx/colour.h>

#include "VisualColours.h"

// Its colour arithmetic (BarColourFromWindow, PixelAlpha, the inactive caption colours) comes
// from VisualColours.
class CMFCVisualManagerCustom : public VisualColours
{
public:
    CMFCVisualManagerCustom();

    // Recomputes the bar colour from the current system colours; call again when they change.
    void UpdateCustomColors();

    wxColour GetBarColour() const { return m_barColour; }

    // Installs the colours on a frame's dock manager, its MDI notebook and its toolbars.
    wxAuiDockArt* CreateDockArt() const;
    wxAuiTabArt* CreateTabArt() const;
    wxAuiToolBarArt* CreateToolBarArt() const;

    static wxColour ToWx(RgbColour c) { return wxColour(c.red, c.green, c.blue); }
    static RgbColour FromWx(const wxColour& c) { return {c.Red(), c.Green(), c.Blue()}; }

private:
    wxColour m_barColour;
};

// Pane captions: inactive ones in the darkened bar-gradient colour framed in the bar shadow,
// the active one in the system's active-caption colours.
class CCustomDockArt : public wxAuiDefaultDockArt
{
public:
    explicit CCustomDockArt(const wxColour& barColour);

    wxAuiDockArt* Clone() override { return new CCustomDockArt(*this); }
    void DrawCaption(wxDC& dc, wxWindow* window, const wxString& text, const wxRect& rect,
                     wxAuiPaneInfo& pane) override;
    void DrawBackground(wxDC& dc, wxWindow* window, int orientation, const wxRect& rect) override;

private:
    wxColour m_barColour;
};

// The MDI tab area in the flat bar colour; the tabs themselves are drawn as usual.
class CCustomTabArt : public wxAuiGenericTabArt
{
public:
    explicit CCustomTabArt(const wxColour& barColour);

    wxAuiTabArt* Clone() override { return new CCustomTabArt(*this); }
    void DrawBackground(wxDC& dc, wxWindow* wnd, const wxRect& rect) override;
    // Every tab is one line of text in the same font without an icon, so the first tab tells the
    // height of all: measuring each tab whenever one comes, goes or is renamed would make opening
    // n documents take n² text measurements.
    int GetBestTabCtrlSize(wxWindow* wnd, const wxAuiNotebookPageArray& pages,
                           const wxSize& requiredBmpSize) override;

private:
    wxColour m_barColour;
};

// Toolbars filled with the flat bar colour.
class CCustomToolBarArt : public wxAuiGenericToolBarArt
{
public:
    explicit CCustomToolBarArt(const wxColour& barColour);

    wxAuiToolBarArt* Clone() override { return new CCustomToolBarArt(*this); }
    void DrawBackground(wxDC& dc, wxWindow* wnd, const wxRect& rect) override;
    void DrawPlainBackground(wxDC& dc, wxWindow* wnd, const wxRect& rect) override;

private:
    wxColour m_barColour;
};
