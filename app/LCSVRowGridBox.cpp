#include "LCSVRowGridBox.h"

#include <wx/control.h>
#include <wx/dc.h>
#include <wx/dcclient.h>

#include <algorithm>

#include "CsvDocumentCore.h"
#include "LGridViewManager.h"
#include "GridWxText.h"

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

} // namespace

LCSVRowGridBox::LCSVRowGridBox(LGridViewBase* ownerGrid)
    : LGridBox(ownerGrid)
{
    classTag = 1;
}

LCSVRowGridBox::~LCSVRowGridBox() = default;

void LCSVRowGridBox::SetFields(const CSVRecord& record, uint64_t row)
{
    fields.Assign(record);
    rowNumber = row;
    filled = true;
}

int LCSVRowGridBox::BoxWidth(int columnWidth, size_t fieldCount)
{
    int64_t width = static_cast<int64_t>(columnWidth) * static_cast<int64_t>(fieldCount) + columnWidth / 4;
    return static_cast<int>(std::min<int64_t>(width, INT32_MAX));
}

RowBoxGeometry LCSVRowGridBox::ComputeGeometry(int64_t sx, int64_t sy, int columnWidth, int clientWidth,
                                               int rowHeight, int64_t boxHeight, size_t fieldCount, uint64_t row)
{
    RowBoxGeometry g;
    int hw = columnWidth / 3;
    g.headerWidth = hw;
    g.header = {0, sy, hw, sy + rowHeight};
    g.number = {0, sy, hw - 4, sy + rowHeight};
    g.separatorX = hw - 1;
    g.background = {hw, sy, clientWidth, sy + rowHeight};
    g.backgroundColour = (row % 2 == 1) ? kOddRowColour : kEvenRowColour;
    if (columnWidth <= 0)
        return g;
    // The first cell whose left edge is not left of the header's right edge: cells scrolled
    // partly under the header are left out.
    size_t first = 0;
    if (sx < 0)
        first = static_cast<size_t>((-sx + columnWidth - 1) / columnWidth);
    if (first >= fieldCount)
        return g;
    int64_t cx = sx + hw + static_cast<int64_t>(first) * columnWidth;
    for (size_t i = first; i < fieldCount; ++i, cx += columnWidth)
    {
        // Cells past the right edge cannot show; the rest would be clipped anyway.
        if (cx >= clientWidth)
            break;
        int64_t right = cx + columnWidth;
        if (cx < hw || right <= hw)
            continue;
        RowCellGeometry cell;
        cell.field = i;
        cell.text = {cx + kCellMargin, sy, right - kCellMargin, sy + rowHeight};
        cell.leftQuote = {cx + 1, sy, cx + kCellMargin, sy + rowHeight};
        cell.rightQuote = {right - kCellMargin, sy, right, sy + rowHeight};
        cell.borderX = right;
        g.cells.push_back(cell);
    }
    (void)boxHeight;
    return g;
}

int64_t LCSVRowGridBox::Draw(const LGridDrawArgs& args)
{
    if (args.recordPosition)
    {
        x = args.x;
        y = args.y;
    }
    if ((kind == BOX_KIND_ROW1 || kind == BOX_KIND_ROW) && !placeholder)
        height = args.rowHeight + 2;

    int64_t sx = args.x - args.horizontalOffset;
    int64_t sy = args.y - args.verticalOffset;

    width = BoxWidth(args.columnWidth, fields.size());
    if (args.widestWidth && *args.widestWidth < width)
        *args.widestWidth = width;

    bool outside = sy + height < 0 || sy > args.clientHeight;
    if (!args.measureOnly && kind != BOX_KIND_ROOT && !outside)
    {
        if (0 <= sy && sy < height && args.manager)
            args.manager->OnTopBoxDrawn(this);
        if (args.dc)
            Paint(args, sx, sy);
    }

    if (!collapsed && !children.empty())
    {
        LGridDrawArgs childArgs = args;
        childArgs.x = x;
        int64_t childY = y + (kind == BOX_KIND_ROOT ? 0 : height);
        childArgs.recordPosition = true;
        childArgs.sharedValue = args.sharedInt ? *args.sharedInt : 0;
        LGridBox* last = children.back();
        for (LGridBox* child : children)
        {
            childArgs.y = childY;
            childArgs.lastChild = child == last;
            childY += child->Draw(childArgs);
        }
    }
    if (kind == BOX_KIND_ROOT && !children.empty())
        height = children.back()->y + children.back()->height;
    return height;
}

std::u16string LCSVRowGridBox::HeaderText() const
{
    return FormatNumber(static_cast<int64_t>(rowNumber));
}

void LCSVRowGridBox::Paint(const LGridDrawArgs& args, int64_t sx, int64_t sy)
{
    wxDC& dc = *args.dc;
    RowBoxGeometry g =
        ComputeGeometry(sx, sy, args.columnWidth, args.clientWidth, args.rowHeight, height, fields.size(), rowNumber);

    Fill(dc, g.header, kHeaderColour);
    if (args.font && args.font->IsOk())
        dc.SetFont(*args.font);
    dc.SetTextForeground(*wxBLACK);
    dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
    {
        wxString number = GridToWxString(HeaderText());
        wxRect r = ToWxRect(g.number);
        wxDCClipper clip(dc, ToWxRect(g.header));
        int w = dc.GetTextExtent(number).x;
        dc.DrawText(number, r.GetRight() + 1 - w, r.y);
    }

    dc.SetPen(wxPen(wxColour(kSeparatorColour), 2));
    dc.DrawLine(static_cast<int>(g.separatorX), ToDevice(sy), static_cast<int>(g.separatorX), ToDevice(sy + height));

    Fill(dc, g.background, g.backgroundColour);

    wxPen borderPen(wxColour(kCellBorderColour), 1, wxPENSTYLE_DOT);
    for (const RowCellGeometry& cell : g.cells)
    {
        const CSVFieldView field = fields[cell.field];
        wxRect textRect = ToWxRect(cell.text);
        if (!field.text.empty() && textRect.width > 0)
        {
            wxString text = FirstLine(field.text);
            // A cell's text is data: "&" is no mnemonic marker (DrawText draws it as it is).
            if (dc.GetTextExtent(text).x > textRect.width)
                text = wxControl::Ellipsize(text, dc, wxELLIPSIZE_END, textRect.width, wxELLIPSIZE_FLAGS_NONE);
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
        dc.DrawLine(bx, ToDevice(sy), bx, ToDevice(sy + height));
    }
    dc.SetPen(wxNullPen);
}
