#include "LCSVRowGridBox.h"

#include <algorithm>

#include "CsvDocumentCore.h"
#include "LGridViewManager.h"

LCSVRowGridBox::Painter LCSVRowGridBox::s_painter = nullptr;

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
                                               int rowHeight, int64_t boxHeight, size_t fieldCount,
                                               uint64_t row)
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
        if (args.dc && s_painter)
            s_painter(*this, args, sx, sy);
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

void LCSVRowGridBox::SetPainter(Painter painter)
{
    s_painter = painter;
}
