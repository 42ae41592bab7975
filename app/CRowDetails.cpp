#include "CRowDetails.h"

#include <wx/dcclient.h>
#include <wx/dcscreen.h>
#include <wx/settings.h>

#include "AppFonts.h"
#include "AppIds.h"
#include "RowDetailsSearch.h"

CRowDetails::CRowDetails(wxWindow* parent, wxWindowID id)
    : wxPanel(parent, id)
{
    SetBackgroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE));
    m_editor = new wxStyledTextCtrl(this, ID_ROWDETAILS_EDITOR);
    m_editor->SetCodePage(wxSTC_CP_UTF8);
    m_editor->SetWrapMode(wxSTC_WRAP_CHAR);
    m_editor->SetViewWhiteSpace(wxSTC_WS_VISIBLEALWAYS);
    m_editor->SetViewEOL(true);
    m_editor->SetMarginWidth(0, 0);
    m_editor->SetMarginWidth(1, 0);
    m_editor->SetMarginWidth(2, 0);
    m_editor->SetUseHorizontalScrollBar(false);

    wxColour back = wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOW);
    wxColour fore = wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOWTEXT);
    for (int style = 0; style <= 32; ++style)
    {
        m_editor->StyleSetBackground(style, back);
        m_editor->StyleSetForeground(style, fore);
    }
    const FontDescription& f6 = GetF6Description();
    wxString face = f6.face.empty() ? wxString("Lucida Sans Unicode") : wxString::FromUTF8(f6.face);
    int points = f6.height != 0 ? FontPointSize(f6, wxScreenDC().GetPPI().y) : 12;
    for (int style = 0; style < 128; ++style)
    {
        m_editor->StyleSetFaceName(style, face);
        m_editor->StyleSetSize(style, points);
    }

    // The pane only displays: no undo history (each selection change would add up to two
    // copies of the text), and no typing even before the first text arrives.
    m_editor->SetUndoCollection(false);
    m_editor->EmptyUndoBuffer();
    m_editor->SetReadOnly(true);

    Bind(wxEVT_SIZE, [this](wxSizeEvent& event) {
        AdjustLayout();
        event.Skip();
    });
}

void CRowDetails::AdjustLayout()
{
    wxSize client = GetClientSize();
    m_editor->SetSize(0, 0, std::max(client.x - 1, 0), std::max(client.y - 1, 0));
}

void CRowDetails::SetText(const wxString& text)
{
    m_editor->SetReadOnly(false);
    m_editor->ClearAll();
    if (!text.empty())
    {
        wxScopedCharBuffer utf8 = text.utf8_str();
        if (utf8.length() > 0)
            m_editor->AppendTextRaw(utf8.data(), static_cast<int>(utf8.length()));
    }
    m_editor->EmptyUndoBuffer();
    m_editor->SetReadOnly(true);
}

bool CRowDetails::FindText(const wxString& text, bool matchCase)
{
    if (text.empty())
        return false;
    // The editor's own search folds case for Latin letters only: the pane searches its text as
    // find next searches the document, so that the row find next found is always marked.
    const wxCharBuffer shown = m_editor->GetTextRaw();
    const wxScopedCharBuffer needle = text.utf8_str();
    RowDetailsHit hit;
    if (!FindInRowDetailsText(std::string_view(shown.data(), shown.length()),
                              std::string_view(needle.data(), needle.length()), matchCase, hit))
        return false;
    const int start = static_cast<int>(hit.start);
    const int end = static_cast<int>(hit.end);
    ScrollHitIntoView(start, end);
    m_editor->SetSelection(start, end);
    return true;
}

void CRowDetails::ScrollHitIntoView(int start, int end)
{
    int startLine = m_editor->LineFromPosition(start);
    int endLine = m_editor->LineFromPosition(end);
    if (startLine >= 0)
        m_editor->EnsureVisible(startLine);
    if (endLine >= 0)
        m_editor->EnsureVisible(endLine);

    // With character wrapping one row may cover many display lines, so the comparison works on
    // display lines: the display line of the hit is its document line's first display line plus
    // the wrapped lines before the hit inside that document line.
    int lineStartPos = m_editor->PositionFromLine(startLine);
    int firstDisplay = m_editor->VisibleFromDocLine(startLine);
    int wrapOffset = 0;
    if (m_editor->WrapCount(startLine) > 1)
    {
        int lineTopY = m_editor->PointFromPosition(lineStartPos).y;
        int hitY = m_editor->PointFromPosition(start).y;
        int textHeight = std::max(m_editor->TextHeight(startLine), 1);
        wrapOffset = std::max((hitY - lineTopY) / textHeight, 0);
    }
    int hitDisplay = firstDisplay + wrapOffset;
    int onScreen = m_editor->LinesOnScreen();
    int firstVisible = m_editor->GetFirstVisibleLine();
    if (hitDisplay + 2 > firstVisible + onScreen || hitDisplay < firstVisible)
        m_editor->SetFirstVisibleLine(std::max(hitDisplay - onScreen / 2, 0));
}
