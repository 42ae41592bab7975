#include "LGridView.h"

#include <algorithm>
#include <limits>

#include <wx/dcbuffer.h>
#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/settings.h>

#include "LGridEdit.h"
#include "LSuggestionsBox.h"

namespace {

unsigned long g_selectionFrameColour = 0xDC5050; // 0x00BBGGRR: RGB(80, 80, 220)

int ClampToDrawable(int64_t value)
{
    // GDI-style coordinates must stay within int; far-off marks are clipped anyway.
    return static_cast<int>(std::clamp<int64_t>(value, -100000, 1000000));
}

LGridKey KeyFromWx(int code)
{
    switch (code)
    {
    case WXK_TAB:
        return GRID_KEY_TAB;
    case WXK_RETURN:
    case WXK_NUMPAD_ENTER:
        return GRID_KEY_RETURN;
    case WXK_ESCAPE:
        return GRID_KEY_ESCAPE;
    case WXK_PAGEUP:
    case WXK_NUMPAD_PAGEUP:
        return GRID_KEY_PAGEUP;
    case WXK_PAGEDOWN:
    case WXK_NUMPAD_PAGEDOWN:
        return GRID_KEY_PAGEDOWN;
    case WXK_HOME:
    case WXK_NUMPAD_HOME:
        return GRID_KEY_HOME;
    case WXK_END:
    case WXK_NUMPAD_END:
        return GRID_KEY_END;
    case WXK_UP:
    case WXK_NUMPAD_UP:
        return GRID_KEY_UP;
    case WXK_DOWN:
    case WXK_NUMPAD_DOWN:
        return GRID_KEY_DOWN;
    case WXK_LEFT:
    case WXK_NUMPAD_LEFT:
        return GRID_KEY_LEFT;
    case WXK_RIGHT:
    case WXK_NUMPAD_RIGHT:
        return GRID_KEY_RIGHT;
    case WXK_DELETE:
    case WXK_NUMPAD_DELETE:
        return GRID_KEY_DELETE;
    default:
        return GRID_KEY_OTHER;
    }
}

} // namespace

int GridTextHeight(const wxFont& font, wxWindow* window)
{
    if (window && window->GetHandle())
    {
        wxClientDC dc(window);
        dc.SetFont(font);
        return dc.GetFontMetrics().height;
    }
    wxBitmap bitmap(1, 1);
    wxMemoryDC dc(bitmap);
    dc.SetFont(font);
    return dc.GetFontMetrics().height;
}

wxFont GridMakeFont(const LGridFontSpec& spec)
{
    const wxString face = wxString::FromUTF8(spec.face);
    const int weight = std::clamp(spec.weight <= 0 ? 400 : spec.weight, 100, 900);
    auto make = [&](int pixels) {
        wxFontInfo info(wxSize(0, pixels));
        if (!face.empty())
            info.FaceName(face);
        info.Weight(weight).Italic(spec.italic);
        return wxFont(info);
    };
    if (spec.height < 0)
        return make(-spec.height);
    if (spec.height == 0)
    {
        wxFont font = *wxNORMAL_FONT;
        if (!face.empty())
            font.SetFaceName(face);
        font.SetNumericWeight(weight);
        font.SetStyle(spec.italic ? wxFONTSTYLE_ITALIC : wxFONTSTYLE_NORMAL);
        return font;
    }
    // A cell height: the largest character height whose ascent + descent still fits.
    for (int pixels = spec.height; pixels > 1; --pixels)
    {
        wxFont font = make(pixels);
        if (GridTextHeight(font, nullptr) <= spec.height)
            return font;
    }
    return make(1);
}

// ---------------------------------------------------------------- construction

LGridView::LGridView(LGridViewNodeFactory* factory, LGridViewManager* manager)
    : LGridViewBase(manager)
    , m_pool(this)
    , m_expandTimer(this, EXPAND_TIMER_ID)
{
    m_nodeFactory = factory;
    m_pool.Fill(POOL_SIZE);
}

LGridView::~LGridView()
{
    m_destroying = true;
    m_expandTimer.Stop();
    m_pool.JoinWorkers();
    ReleaseRootBox();
    ClearUndoList();
    ClearRedoList();
    if (m_popup)
        m_popup->Destroy();
}

bool LGridView::Create(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size,
                       const LGridFontSpec* popupFont)
{
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    if (!wxWindow::Create(parent, id, pos, size,
                          wxVSCROLL | wxHSCROLL | wxWANTS_CHARS | wxFULL_REPAINT_ON_RESIZE | wxBORDER_NONE,
                          "GridView"))
        return false;

    Bind(wxEVT_PAINT, &LGridView::OnPaint, this);
    Bind(wxEVT_SIZE, &LGridView::OnSize, this);
    for (auto type : {wxEVT_SCROLLWIN_TOP, wxEVT_SCROLLWIN_BOTTOM, wxEVT_SCROLLWIN_LINEUP,
                      wxEVT_SCROLLWIN_LINEDOWN, wxEVT_SCROLLWIN_PAGEUP, wxEVT_SCROLLWIN_PAGEDOWN,
                      wxEVT_SCROLLWIN_THUMBTRACK, wxEVT_SCROLLWIN_THUMBRELEASE})
        Bind(type, &LGridView::OnScrollWin, this);
    Bind(wxEVT_MOUSEWHEEL, &LGridView::OnMouseWheel, this);
    Bind(wxEVT_LEFT_DOWN, &LGridView::OnLeftDown, this);
    Bind(wxEVT_LEFT_UP, &LGridView::OnLeftUp, this);
    Bind(wxEVT_RIGHT_DOWN, &LGridView::OnRightDown, this);
    Bind(wxEVT_RIGHT_UP, &LGridView::OnRightUp, this);
    Bind(wxEVT_MOTION, &LGridView::OnMotion, this);
    Bind(wxEVT_TIMER, &LGridView::OnTimer, this, EXPAND_TIMER_ID);
    Bind(wxEVT_KEY_DOWN, &LGridView::OnKeyDown, this);
    Bind(wxEVT_CHAR, &LGridView::OnChar, this);
    Bind(wxEVT_CONTEXT_MENU, &LGridView::OnContextMenu, this);
    Bind(wxEVT_SET_FOCUS, &LGridView::OnSetFocus, this);
    Bind(wxEVT_KILL_FOCUS, &LGridView::OnKillFocus, this);

    // The popup, made on first use, derives its fonts from the font data (weight and height
    // arithmetic).
    if (popupFont)
        m_popupFontSpec = *popupFont;
    else
        m_popupFont = GetFont();
    return true;
}

LGridEdit* LGridView::GetEditor()
{
    if (m_editor || m_editorTried || m_destroying || !GetHandle())
        return m_editor;
    m_editorTried = true;
    auto* editor = new LGridEdit(this);
    if (!editor->Create(this, IDC_GRID_EDIT))
    {
        delete editor;
        return nullptr;
    }
    if (m_editorTakesGridFont)
        editor->SetFont(m_gridFont);
    m_editor = editor;
    GetSuggestionsBox(); // the editor's text changes filter it
    return m_editor;
}

LSuggestionsBox* LGridView::GetSuggestionsBox()
{
    if (m_popupTried || m_destroying || !GetHandle())
        return m_popup.get();
    m_popupTried = true;
    auto* popup = new LSuggestionsBox();
    if (m_popupFontSpec ? popup->Create(this, &*m_popupFontSpec) : popup->Create(this, m_popupFont))
    {
        popup->SetMaxRows(POPUP_MAX_ROWS);
        m_popup = popup;
    }
    else
    {
        delete popup;
    }
    return m_popup.get();
}

// ---------------------------------------------------------------- LGridViewBase

void LGridView::SetRootBox(LGridBox* root)
{
    LGridViewBase::SetRootBox(root);
    Redraw();
}

LGridBox* LGridView::AllocBox(int, bool bypassPool)
{
    if (bypassPool)
        return new LGridBox(this);
    LGridBox* box = m_pool.Take();
    if (!box)
        box = new LGridBox(this);
    // The worker only queues an event to this window; the destructor joins it first.
    m_pool.StartRefillIfLow([this] { CallAfter(&LGridView::OnBoxPoolRefilled); });
    return box;
}

void LGridView::OnBoxPoolRefilled()
{
    m_pool.DeliverRefills();
}

void LGridView::SetFont(const LGridFontSpec* font, bool measure, bool redraw)
{
    LGridViewBase::SetFont(font, measure, redraw);
    if (!font)
    {
        SetDrawFonts(nullptr, nullptr, nullptr);
        return;
    }
    m_gridFont = GridMakeFont(*font);
    m_italicFont = GridMakeFont(GetItalicFontSpec());
    m_smallFont = GridMakeFont(GetSmallFontSpec());
    m_boldFont = GridMakeFont(GetBoldFontSpec());
    SetDrawFonts(&m_gridFont, &m_italicFont, &m_smallFont);
    if (GetHandle())
        m_editorTakesGridFont = true;
    if (m_editor)
        m_editor->SetFont(m_gridFont);
    if (measure)
        m_rowHeight = GridRowHeightFromTextHeight(GridTextHeight(m_gridFont, this));
    if (redraw && GetHandle())
    {
        RecalcLayout();
        Redraw();
    }
}

void LGridView::RecalcLayout()
{
    if (m_inLayout || m_destroying)
        return;
    m_inLayout = true;
    if (GetHandle())
    {
        wxClientDC dc(this);
        if (m_drawFont)
            dc.SetFont(*m_drawFont);
        RunLayoutPass(&dc);
    }
    else
    {
        wxBitmap bitmap(1, 1);
        wxMemoryDC dc(bitmap);
        RunLayoutPass(&dc);
    }
    m_inLayout = false;
    PlaceEditorAfterLayout();
}

void LGridView::Redraw()
{
    if (!GetHandle() || m_destroying)
        return;
    Refresh();
    Update();
}

// Opening, closing and cancelling the in-place editor, and the popup under it: LGridViewEditing.cpp.

void LGridView::SetCompactRows(bool compact, bool apply)
{
    m_compact = compact;
    m_effectiveRowHeight = compact ? m_rowHeight / 2 : m_rowHeight;
    if (apply)
    {
        EndEdit(false);
        RecalcLayout();
        Redraw();
    }
}

void LGridView::QueryClientSize(int& width, int& height) const
{
    GetClientSize(&width, &height);
}

void LGridView::SyncScrollBars()
{
    if (!GetHandle())
        return;
    const LGridScrollModel& s = m_scroll;
    if (s.horizontalBarRange > 0)
        SetScrollbar(wxHORIZONTAL, s.horizontalPosition, std::min(s.horizontalPage, s.horizontalBarRange),
                     s.horizontalBarRange);
    else
        SetScrollbar(wxHORIZONTAL, 0, 0, 0);
    if (s.verticalBarRange > 0)
        SetScrollbar(wxVERTICAL, s.verticalPosition, std::min(s.verticalPage, s.verticalBarRange),
                     s.verticalBarRange);
    else
        SetScrollbar(wxVERTICAL, 0, 0, 0);
}

void LGridView::FocusGrid()
{
    SetFocus();
}

void LGridView::StartExpandTimer()
{
    m_expandTimer.Start(EXPAND_DELAY_MS);
}

void LGridView::StopExpandTimer()
{
    m_expandTimer.Stop();
}

void LGridView::ScrollContents(int)
{
    // The whole client is repainted right after; an open editor is placed over its box by
    // AfterHorizontalScroll (ScrollWindow would also try to move the hidden editor, which GTK
    // refuses).
}

void LGridView::AfterHorizontalScroll()
{
    // From the bar's position, so that a thumb drag (which moves no step) takes it along too.
    PlaceEditorAfterLayout();
}

// ---------------------------------------------------------------- painting

void LGridView::SetSelectionFrameColour(unsigned long colorref)
{
    g_selectionFrameColour = colorref;
}

unsigned long LGridView::GetSelectionFrameColour()
{
    return g_selectionFrameColour;
}

void LGridView::PaintTo(wxDC& dc, const wxSize& size)
{
    if (m_manager)
        m_manager->OnBeforePaint();
    const int width = size.GetWidth();
    const int height = size.GetHeight();
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(*wxWHITE_BRUSH);
    dc.DrawRectangle(0, 0, width, height);
    if (m_root && !m_root->children.empty())
    {
        AdjustColumnWidth(width);
        int shared = 0;
        int widest = width;
        if (m_drawFont)
            dc.SetFont(*m_drawFont);
        LGridDrawArgs args = MakeDrawArgs(&dc, false, width, height, &shared, &widest,
                                          static_cast<int64_t>(GetHorizontalOffset()),
                                          static_cast<int64_t>(GetTopBoxOffset()));
        args.columnWidth = GetColumnWidth();
        m_root->Draw(args);
        if (!m_selection.empty())
        {
            if (m_dragging && m_dropBox)
                DrawBoxFrame(dc, GetBoxFrame(m_dropBox, m_dropBox, m_dropPosition), DROP_MARK_COLOUR, width);
            LGridBox* first = nullptr;
            LGridBox* last = nullptr;
            DrawBoxFrame(dc, GetSelectionFrame(first, last), g_selectionFrameColour, width);
        }
    }
    if (m_root && m_root->height < height)
    {
        const int top = static_cast<int>(std::max<int64_t>(0, m_root->height));
        dc.SetPen(*wxTRANSPARENT_PEN);
        dc.SetBrush(wxBrush(wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOW)));
        dc.DrawRectangle(0, top, width, height - top);
    }
}

void LGridView::DrawBoxFrame(wxDC& dc, const LGridBoxFrame& frame, unsigned long colorref, int clientRight)
{
    if (!frame.visible)
        return;
    dc.SetPen(wxPen(wxColour(colorref), 2, wxPENSTYLE_SOLID));
    if (frame.singleLine)
    {
        const int y = ClampToDrawable(frame.lineY);
        const int tick = 3 * frame.tickDirection;
        dc.DrawLine(-1, y, clientRight, y);
        dc.DrawLine(0, y, 0, y + tick);
        dc.DrawLine(clientRight, y, clientRight, y + tick);
    }
    else
    {
        const int top = ClampToDrawable(frame.top);
        const int bottom = ClampToDrawable(frame.bottom);
        dc.SetBrush(*wxTRANSPARENT_BRUSH);
        dc.DrawRectangle(0, top, clientRight, bottom - top);
    }
    dc.SetPen(wxNullPen);
}

void LGridView::OnPaint(wxPaintEvent&)
{
    wxAutoBufferedPaintDC dc(this);
    const wxSize size = GetClientSize();
    if (size.GetWidth() <= 0 || size.GetHeight() <= 0 || m_destroying)
        return;
    PaintTo(dc, size);
}

void LGridView::OnSize(wxSizeEvent& event)
{
    RecalcLayout();
    event.Skip();
}

// ---------------------------------------------------------------- scrolling

void LGridView::OnScrollWin(wxScrollWinEvent& event)
{
    // wxGTK has already moved the bar; the model computes from its own positions and writes
    // the result back, also for the codes that change nothing.
    const wxEventType type = event.GetEventType();
    int code = GRID_SB_ENDSCROLL;
    int track = -1;
    if (type == wxEVT_SCROLLWIN_LINEUP)
        code = GRID_SB_LINEUP;
    else if (type == wxEVT_SCROLLWIN_LINEDOWN)
        code = GRID_SB_LINEDOWN;
    else if (type == wxEVT_SCROLLWIN_PAGEUP)
        code = GRID_SB_PAGEUP;
    else if (type == wxEVT_SCROLLWIN_PAGEDOWN)
        code = GRID_SB_PAGEDOWN;
    else if (type == wxEVT_SCROLLWIN_THUMBTRACK)
        code = GRID_SB_THUMBTRACK, track = event.GetPosition();
    else if (type == wxEVT_SCROLLWIN_THUMBRELEASE)
        code = GRID_SB_THUMBPOSITION, track = event.GetPosition();
    else if (type == wxEVT_SCROLLWIN_TOP)
        code = GRID_SB_TOP;
    else if (type == wxEVT_SCROLLWIN_BOTTOM)
        code = GRID_SB_BOTTOM;

    if (event.GetOrientation() == wxVERTICAL)
        VerticalScrollStep(code, 0, track);
    else
        HorizontalScrollStep(code, 0, track);
    SyncScrollBars();
}

void LGridView::OnMouseWheel(wxMouseEvent& event)
{
    // Not skipped: GTK would scroll its own range as well.
    if (event.GetWheelAxis() == wxMOUSE_WHEEL_HORIZONTAL)
        return;
    MouseWheelStep(event.GetWheelRotation(), event.GetLinesPerAction(), event.IsPageScroll());
}

// ---------------------------------------------------------------- mouse

unsigned LGridView::MouseFlags(const wxMouseEvent& event)
{
    unsigned flags = 0;
    if (event.LeftIsDown())
        flags |= GRID_MK_LBUTTON;
    if (event.RightIsDown())
        flags |= GRID_MK_RBUTTON;
    if (event.MiddleIsDown())
        flags |= GRID_MK_MBUTTON;
    if (event.ShiftDown())
        flags |= GRID_MK_SHIFT;
    if (event.ControlDown())
        flags |= GRID_MK_CONTROL;
    return flags;
}

void LGridView::OnLeftDown(wxMouseEvent& event)
{
    // Not skipped: the grid takes the focus on the release, not here.
    HandleLButtonDown(MouseFlags(event), event.GetX(), event.GetY());
}

void LGridView::OnLeftUp(wxMouseEvent& event)
{
    const unsigned flags = MouseFlags(event);
    const bool handled = m_manager ? m_manager->OnLButtonUp(flags, event.GetPosition()) : false;
    HandleLButtonUp(flags, event.GetX(), event.GetY(), handled);
}

void LGridView::OnRightDown(wxMouseEvent&)
{
    // Consumed, so that no context-menu event comes before the right-button selection.
}

void LGridView::OnRightUp(wxMouseEvent& event)
{
    HandleRButtonUp(MouseFlags(event), event.GetX(), event.GetY());
    ShowContextMenuAt(ClientToScreen(event.GetPosition()));
}

void LGridView::OnMotion(wxMouseEvent& event)
{
    const unsigned flags = MouseFlags(event);
    if (m_manager)
        m_manager->OnMouseMove(flags, event.GetPosition());
    HandleMouseMove(flags, event.GetX(), event.GetY());
}

void LGridView::OnTimer(wxTimerEvent&)
{
    HandleExpandTimer();
}

// ---------------------------------------------------------------- keyboard, menu, focus

bool LGridView::PreTranslateKey(int wxKeyCode, bool ctrl, bool)
{
    const bool popupShown = m_popup && m_popup->IsShown();
    if (popupShown && !IsEditing())
        m_popup->Hide();
    if (IsEditing())
    {
        if (!(m_popup && m_popup->IsShown()))
        {
            if (wxKeyCode != WXK_RETURN && wxKeyCode != WXK_NUMPAD_ENTER)
                ShowSuggestions();
        }
        else if (wxKeyCode == WXK_ESCAPE)
        {
            m_popup->Hide();
            return true;
        }
        else if (wxKeyCode == WXK_TAB || wxKeyCode == WXK_RETURN || wxKeyCode == WXK_NUMPAD_ENTER)
        {
            m_popup->CommitSelection();
        }
    }
    if ((wxKeyCode == WXK_DOWN || wxKeyCode == WXK_UP) && m_popup && m_popup->IsShown())
    {
        if (wxKeyCode == WXK_DOWN)
            m_popup->SelectNext();
        else
            m_popup->SelectPrevious();
        return true;
    }
    if (m_copyFlag && ctrl && (wxKeyCode == 'C' || wxKeyCode == 'c'))
    {
        // The grid's own copy has no text of its own to put on the clipboard.
        return true;
    }
    return false;
}

void LGridView::OnKeyDown(wxKeyEvent& event)
{
    if (PreTranslateKey(event.GetKeyCode(), event.ControlDown(), false))
        return;
    const LGridKey key = KeyFromWx(event.GetKeyCode());
    if (key == GRID_KEY_OTHER)
    {
        event.Skip();
        return;
    }
    // Navigation keys are consumed: a skipped one could move GTK's own scroll bars.
    HandleKeyDown(key, event.ControlDown());
}

void LGridView::OnChar(wxKeyEvent& event)
{
    const int code = event.GetKeyCode();
    if (code == WXK_TAB || code == WXK_RETURN || code == WXK_ESCAPE || code == WXK_NUMPAD_ENTER)
        return;
    event.Skip();
}

void LGridView::ShowContextMenuAt(const wxPoint& screenPoint)
{
    if (!m_manager || !m_root)
        return;
    const wxPoint client = ScreenToClient(screenPoint);
    int part = 0;
    int subPart = 0;
    LGridBox* box = HitTestClient(client.x, client.y, &part, &subPart);
    m_manager->OnContextMenu(screenPoint, box, part);
}

void LGridView::OnContextMenu(wxContextMenuEvent& event)
{
    // Never skipped: the event would climb to the parent's own menu.
    ShowContextMenuAt(event.GetPosition());
}

void LGridView::OnSetFocus(wxFocusEvent& event)
{
    if (m_manager && !m_destroying)
        m_manager->OnSetFocus();
    event.Skip();
}

void LGridView::OnKillFocus(wxFocusEvent& event)
{
    wxWindow* next = event.GetWindow();
    const bool toOwnChild = next && (next == m_editor || (m_popup && next == m_popup));
    if (!toOwnChild && !m_destroying)
        EndEdit(false);
    event.Skip();
}
