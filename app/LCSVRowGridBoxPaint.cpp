#include "LCSVRowGridBoxPaint.h"

#include <algorithm>

#include <wx/control.h>
#include <wx/dc.h>
#include <wx/dcclient.h>

#include "GridWxText.h"
#include "LCSVRowGridBox.h"

namespace {

// Device coordinates are int: keep far-off edges of a tall placeholder just outside the client.
int ToDevice(int64_t v)
{
    return static_cast<int>(std::clamp<int64_t>(v, -100000, 1000000));
}

wxRect ToWxRect(const RowRect& r)
{
    int left = ToDevice(r.left);
    int top = ToDevice(r.top);
    return wxRect(left, top, ToDevice(r.right) - left, ToDevice(r.bottom) - top);
}

void Fill(wxDC& dc, const RowRect& r, unsigned long colorref)
{
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(wxBrush(wxColour(colorref)));
    dc.DrawRectangle(ToWxRect(r));
}

// The first line of a cell's text: further lines lie below the row and are clipped.
wxString FirstLine(std::u16string_view text)
{
    size_t end = text.find_first_of(u"\r\n");
    return GridToWxString(text.data(), end == std::u16string_view::npos ? text.size() : end);
}

// A row box's parts on the DC of the draw pass: header with its number, separator, background,
// the cells that show with their borders and quote marks.
void PaintRow(const LCSVRowGridBox& box, const LGridDrawArgs& args, int64_t sx, int64_t sy)
{
    wxDC& dc = *args.dc;
    RowBoxGeometry g =
        LCSVRowGridBox::ComputeGeometry(sx, sy, args.columnWidth, args.clientWidth, args.rowHeight,
                                        box.height, box.fields.size(), box.rowNumber);

    Fill(dc, g.header, LCSVRowGridBox::kHeaderColour);
    if (args.font && args.font->IsOk())
        dc.SetFont(*args.font);
    dc.SetTextForeground(*wxBLACK);
    dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
    {
        wxString number = GridToWxString(box.HeaderText());
        wxRect r = ToWxRect(g.number);
        wxDCClipper clip(dc, ToWxRect(g.header));
        int w = dc.GetTextExtent(number).x;
        dc.DrawText(number, r.GetRight() + 1 - w, r.y);
    }

    dc.SetPen(wxPen(wxColour(LCSVRowGridBox::kSeparatorColour), 2));
    dc.DrawLine(static_cast<int>(g.separatorX), ToDevice(sy), static_cast<int>(g.separatorX),
                ToDevice(sy + box.height));

    Fill(dc, g.background, g.backgroundColour);

    wxPen borderPen(wxColour(LCSVRowGridBox::kCellBorderColour), 1, wxPENSTYLE_DOT);
    for (const RowCellGeometry& cell : g.cells)
    {
        const CSVFieldView field = box.fields[cell.field];
        wxRect textRect = ToWxRect(cell.text);
        if (!field.text.empty() && textRect.width > 0)
        {
            wxString text = FirstLine(field.text);
            // A cell's text is data: "&" is no mnemonic marker (DrawText draws it as it is).
            if (dc.GetTextExtent(text).x > textRect.width)
                text =
                    wxControl::Ellipsize(text, dc, wxELLIPSIZE_END, textRect.width, wxELLIPSIZE_FLAGS_NONE);
            wxDCClipper clip(dc, textRect);
            dc.DrawText(text, textRect.x, textRect.y);
        }
        if (field.quoted)
        {
            wxRect left = ToWxRect(cell.leftQuote);
            wxRect right = ToWxRect(cell.rightQuote);
            dc.DrawText("\"", left.x, left.y);
            dc.DrawText("\"", right.x, right.y);
        }
        dc.SetPen(borderPen);
        int bx = static_cast<int>(cell.borderX);
        dc.DrawLine(bx, ToDevice(sy), bx, ToDevice(sy + box.height));
    }
    dc.SetPen(wxNullPen);
}

} // namespace

void InstallRowBoxPainter()
{
    LCSVRowGridBox::SetPainter(&PaintRow);
}
