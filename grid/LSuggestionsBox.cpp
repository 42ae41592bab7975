#include "LSuggestionsBox.h"

#include <algorithm>

#include <wx/control.h>
#include <wx/dcbuffer.h>
#include <wx/dcclient.h>
#include <wx/dcmemory.h>

#include "GridWxText.h"
#include "LGridView.h"

LSuggestionsBox::LSuggestionsBox()
    : LSuggestionsBox(std::make_unique<LSuggestionsModel>())
{}

LSuggestionsBox::LSuggestionsBox(std::unique_ptr<LSuggestionsModel> model)
    : m_model(std::move(model))
{}

LSuggestionsBox::~LSuggestionsBox() = default;

bool LSuggestionsBox::CreateWindow(wxWindow* parent, const wxSize& size)
{
    wxWindow* top = parent ? wxGetTopLevelParent(parent) : nullptr;
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    if (!wxPopupWindow::Create(top ? top : parent, wxBORDER_NONE))
        return false;
    Hide();
    if (size.x > 0 && size.y > 0)
        SetSize(size);
    m_minimumWidth = std::max(0, size.x);

    Bind(wxEVT_PAINT, &LSuggestionsBox::OnPaint, this);
    Bind(wxEVT_MOTION, &LSuggestionsBox::OnMotion, this);
    Bind(wxEVT_LEAVE_WINDOW, &LSuggestionsBox::OnLeave, this);
    Bind(wxEVT_LEFT_UP, &LSuggestionsBox::OnLeftUp, this);
    return true;
}

bool LSuggestionsBox::Create(wxWindow* parent, const LGridFontSpec* ownerFont, const wxSize& size)
{
    if (!CreateWindow(parent, size))
        return false;
    m_hasOwnerFont = ownerFont != nullptr;
    if (ownerFont)
    {
        m_ownerFont = GridMakeFont(*ownerFont);
        LGridFontSpec regular = *ownerFont;
        regular.weight = 500;
        regular.height += 2;
        LGridFontSpec bold = regular;
        bold.weight = 600;
        m_regularFont = GridMakeFont(regular);
        m_boldFont = GridMakeFont(bold);
    }
    else
    {
        m_ownerFont = parent ? parent->GetFont() : *wxNORMAL_FONT;
        m_regularFont = m_ownerFont;
        m_boldFont = m_ownerFont.Bold();
    }
    m_textHeight = GridTextHeight(m_ownerFont, this);
    m_rowHeight = m_textHeight + 8;
    return true;
}

bool LSuggestionsBox::Create(wxWindow* parent, const wxFont& ownerFont)
{
    if (!ownerFont.IsOk())
        return Create(parent, static_cast<const LGridFontSpec*>(nullptr));
    LGridFontSpec spec;
    spec.face = ownerFont.GetFaceName().ToStdString(wxConvUTF8);
    const int pixels = ownerFont.GetPixelSize().y;
    spec.height = pixels > 0 ? -pixels : 0;
    spec.weight = ownerFont.GetNumericWeight();
    spec.italic = ownerFont.GetStyle() != wxFONTSTYLE_NORMAL;
    return Create(parent, &spec);
}

// ---------------------------------------------------------------- feeding and configuring

bool LSuggestionsBox::AddSuggestion(const std::u16string& text, bool unique, int image)
{
    return m_model->AddSuggestion(text, unique, image);
}

bool LSuggestionsBox::AddPathSuggestion(const std::u16string& path, bool unique)
{
    return m_model->AddPathSuggestion(path, unique);
}

void LSuggestionsBox::SetFilterText(const std::u16string& text)
{
    m_model->SetFilterText(text);
    Refresh();
}

void LSuggestionsBox::Refilter()
{
    m_model->Refilter();
}

int LSuggestionsBox::GetMatchPosition(const std::u16string& text) const
{
    return m_model->GetMatchPosition(text);
}

void LSuggestionsBox::AddIcon(const wxBitmap& icon)
{
    m_icons.push_back(icon);
    m_model->SetIconCount(m_icons.size());
}

void LSuggestionsBox::ShowSized()
{
    wxSize size;
    auto measure = [this, &size](wxDC& dc) {
        m_model->ComputeSize([&](const SuggestionEntry& entry) { return GetItemWidth(dc, entry); },
                             m_minimumWidth, m_maxWidth, m_rowHeight, size.x, size.y);
    };
    if (GetHandle())
    {
        wxClientDC dc(this);
        measure(dc);
    }
    else
    {
        wxBitmap bitmap(1, 1);
        wxMemoryDC dc(bitmap);
        measure(dc);
    }
    // wxGTK does not resize a popup that was shown once while it is hidden: the size is given
    // once it is shown.
    Show();
    SetSize(size);
    Refresh();
}

// ---------------------------------------------------------------- keyboard

bool LSuggestionsBox::SelectNext()
{
    const int before = m_model->GetSelectedRow();
    const bool moved = m_model->SelectNext();
    if (moved || before >= 0)
        Refresh();
    return moved;
}

bool LSuggestionsBox::SelectPrevious()
{
    const int before = m_model->GetSelectedRow();
    const bool moved = m_model->SelectPrevious();
    if (before >= 0)
        Refresh();
    return moved;
}

bool LSuggestionsBox::CommitSelection()
{
    if (!m_callback)
        return false;
    const int row = m_model->GetSelectedRow();
    SuggestionEntry entry;
    if (!m_model->GetEntryAtRow(row, entry))
        return false;
    m_callback->OnSuggestionSelected(entry);
    return true;
}

// ---------------------------------------------------------------- mouse

void LSuggestionsBox::HandleMouseMove(int y)
{
    if (m_model->SetHotRow(LSuggestionsModel::RowFromY(y, m_rowHeight)))
        Refresh();
    m_tracking = true; // the leave event needs no request
}

void LSuggestionsBox::HandleMouseLeave()
{
    m_model->ClearHot();
    Refresh();
    m_tracking = false;
}

void LSuggestionsBox::HandleClick(int y)
{
    Hide();
    SuggestionEntry entry;
    if (m_callback && m_model->GetEntryAtRow(LSuggestionsModel::RowFromY(y, m_rowHeight), entry))
        m_callback->OnSuggestionSelected(entry);
}

void LSuggestionsBox::OnMotion(wxMouseEvent& event)
{
    HandleMouseMove(event.GetY());
}

void LSuggestionsBox::OnLeave(wxMouseEvent&)
{
    HandleMouseLeave();
}

void LSuggestionsBox::OnLeftUp(wxMouseEvent& event)
{
    HandleClick(event.GetY());
}

// ---------------------------------------------------------------- painting

void LSuggestionsBox::OnPaint(wxPaintEvent&)
{
    wxAutoBufferedPaintDC dc(this);
    const wxSize size = GetClientSize();
    if (size.x <= 0 || size.y <= 0)
        return;
    PaintTo(dc, size);
}

void LSuggestionsBox::PaintTo(wxDC& dc, const wxSize& size)
{
    dc.SetBackground(*wxWHITE_BRUSH);
    dc.Clear();
    // The rounded frame is painted: a popup cannot take a window shape.
    dc.SetPen(wxPen(wxColour(FRAME_COLOUR), 1));
    dc.SetBrush(*wxTRANSPARENT_BRUSH);
    dc.DrawRoundedRectangle(0, 0, size.x, size.y, 1.5);
    dc.DestroyClippingRegion();
    PaintList(dc, GetListRect(size));
}

wxRect LSuggestionsBox::GetListRect(const wxSize& size) const
{
    wxRect rect(0, 0, size.x, size.y);
    if (!m_icons.empty())
    {
        rect.x += 16;
        rect.width -= 16;
    }
    return rect;
}

void LSuggestionsBox::PaintList(wxDC& dc, const wxRect& rect)
{
    // Row rectangle: left + 2, top + 2, right - 4.
    wxRect row(rect.x + 2, rect.y + 2, std::max(0, rect.width - 6), m_rowHeight);
    if (m_hasOwnerFont)
        dc.SetFont(m_regularFont);
    for (size_t i = 0; i < m_model->GetVisibleCount(); ++i)
    {
        const SuggestionEntry& entry = m_model->GetVisible(i);
        dc.SetPen(*wxTRANSPARENT_PEN);
        if (entry.selected || entry.hot)
        {
            const wxColour back(entry.selected ? SELECTED_COLOUR : HOT_COLOUR);
            dc.SetBrush(wxBrush(back));
            dc.DrawRectangle(row);
            dc.SetTextBackground(back);
        }
        else
        {
            dc.SetTextBackground(wxColour(PLAIN_BACK_COLOUR));
        }
        dc.SetTextForeground(wxColour(TEXT_COLOUR));
        PaintItem(dc, entry, row);
        row.y += m_rowHeight;
    }
}

int LSuggestionsBox::DrawRun(wxDC& dc, const std::u16string& text, int x, int y, int right)
{
    if (text.empty() || x >= right)
        return x;
    // Ellipsize a copy: the stored entry keeps its text. DrawText draws '&' literally.
    const wxString shown =
        wxControl::Ellipsize(GridToWxString(text), dc, wxELLIPSIZE_END, right - x, wxELLIPSIZE_FLAGS_NONE);
    dc.DrawText(shown, x, y);
    return x + dc.GetTextExtent(shown).x;
}

void LSuggestionsBox::PaintItem(wxDC& dc, const SuggestionEntry& entry, const wxRect& rect)
{
    wxRect text = rect;
    if (entry.image >= 0 && static_cast<size_t>(entry.image) < m_icons.size() && m_icons[entry.image].IsOk())
    {
        dc.DrawBitmap(m_icons[entry.image], rect.x - 16, rect.y + 3, true);
        text.x = rect.x + 2;
    }
    const int y = text.y + (m_rowHeight - m_textHeight) / 2;
    if (entry.text.empty())
        return;
    const int right = text.GetRight() + 1;
    const LSuggestionsModel::MatchRuns runs = m_model->GetMatchRuns(entry);
    if (!runs.matched)
    {
        DrawRun(dc, runs.prefix, text.x, y, right);
        return;
    }
    int x = text.x;
    // The prefix only when the whole text fits; otherwise the row starts with the match.
    if (!runs.prefix.empty() && dc.GetTextExtent(GridToWxString(entry.text)).x <= text.width)
        x = DrawRun(dc, runs.prefix, x, y, right);
    const wxFont previous = dc.GetFont();
    const wxColour previousColour = dc.GetTextForeground();
    dc.SetFont(m_boldFont);
    dc.SetTextForeground(wxColour(MATCH_COLOUR));
    x = DrawRun(dc, runs.match, x, y, right);
    dc.SetFont(m_regularFont);
    dc.SetTextForeground(wxColour(entry.selected ? REST_SELECTED_COLOUR : REST_COLOUR));
    if (x < right)
        DrawRun(dc, runs.rest, x, y, right);
    dc.SetFont(previous);
    dc.SetTextForeground(previousColour);
}

int LSuggestionsBox::GetItemWidth(wxDC& dc, const SuggestionEntry& entry)
{
    dc.SetFont(m_boldFont);
    const int width = entry.text.empty() ? 0 : dc.GetTextExtent(GridToWxString(entry.text)).x;
    return width + (m_icons.empty() ? 4 : 22);
}

LSuggestionsBoxFolderPaths::LSuggestionsBoxFolderPaths()
    : LSuggestionsBox(std::make_unique<LSuggestionsModelFolderPaths>())
{}
