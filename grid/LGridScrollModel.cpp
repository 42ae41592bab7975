#include "LGridScrollModel.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "LGridTypes.h"

namespace {

// The part of a step of delta from position p that keeps the position within 0..bound.
int64_t MoveWithin(int64_t p, int64_t delta, int64_t bound)
{
    if (p + delta > bound)
        return bound - p;
    if (p + delta < 0)
        return -p;
    return delta;
}

} // namespace

int GridSaturateToInt(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (value <= static_cast<double>(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return static_cast<int>(value);
}

uint64_t GridSaturateToUint64(double value)
{
    if (std::isnan(value) || value <= 0.0)
        return 0;
    if (value >= 18446744073709551615.0)
        return std::numeric_limits<uint64_t>::max();
    return static_cast<uint64_t>(value);
}

float LGridScrollModel::EffectiveUnitsPerRow() const
{
    // Infinity (100000 / 0 rows) stays: every conversion from it saturates.
    return (std::isnan(unitsPerRow) || unitsPerRow <= 0.0f) ? 1.0f : unitsPerRow;
}

int LGridScrollModel::RowsPerPage() const
{
    const int rows =
        GridSaturateToInt(static_cast<double>(verticalPage) / static_cast<double>(EffectiveUnitsPerRow()));
    return std::min(rows, visibleRows);
}

int LGridScrollModel::UnitStep() const
{
    return GridSaturateToInt(EffectiveUnitsPerRow());
}

int LGridScrollModel::VerticalMaxPosition() const
{
    if (verticalBarRange <= 0)
        return 0;
    return std::max(0, verticalBarRange - std::min(verticalPage, verticalBarRange));
}

int LGridScrollModel::HorizontalMaxPosition() const
{
    if (horizontalBarRange <= 0)
        return 0;
    return std::max(0, horizontalBarRange - std::min(horizontalPage, horizontalBarRange));
}

void LGridScrollModel::SetLayoutWidth(int widestWidth, int clientWidth)
{
    layoutWidth =
        widestWidth > std::numeric_limits<int>::max() - 2 ? std::numeric_limits<int>::max() : widestWidth + 2;
    float scale = (std::isfinite(horizontalScale) && horizontalScale > 0.0f) ? horizontalScale : 1.0f;
    int page = GridSaturateToInt(static_cast<double>(clientWidth) / scale);
    if (page < layoutWidth)
    {
        horizontalPage = std::max(1, page);
        horizontalBarRange = layoutWidth;
    }
    else
    {
        horizontalPage = 0;
        horizontalBarRange = 0;
    }
    horizontalPosition = std::clamp(horizontalPosition, 0, HorizontalMaxPosition());
}

void LGridScrollModel::SetVerticalBar(int clientHeight, int rowHeight)
{
    if (clientHeight < verticalRange)
    {
        int rows = clientHeight / std::max(1, rowHeight);
        float page = static_cast<float>(rows) * EffectiveUnitsPerRow();
        verticalPage = GridSaturateToInt(std::max(1.0f, page));
        verticalBarRange = verticalRange;
        visibleRows = std::max(1, rows); // a client shorter than a row still pages by one
    }
    else
    {
        verticalPage = 0;
        verticalBarRange = 0;
        visibleRows = 0;
    }
    verticalPosition = std::clamp(verticalPosition, 0, VerticalMaxPosition());
}

void LGridScrollModel::SetVerticalPosition(int position)
{
    verticalPosition = std::clamp(position, 0, VerticalMaxPosition());
}

void LGridScrollModel::ScrollVertical(int code, int position, int trackPosition, uint64_t totalRows,
                                      uint64_t pageRows)
{
    const int p = verticalPosition;
    // Without a bar a page moves nothing, counted rows or not.
    const bool counted = pageRows > 0 && verticalPage > 0;
    const uint64_t rowsPerPage = counted ? pageRows : static_cast<uint64_t>(std::max(0, RowsPerPage()));
    const int64_t pageUnits =
        counted ? std::max(1, GridSaturateToInt(static_cast<double>(pageRows) * EffectiveUnitsPerRow()))
                : verticalPage;
    int64_t delta = 0;
    switch (code)
    {
    case GRID_SB_LINEUP:
        if (topRow > 1)
        {
            --topRow;
            delta = -UnitStep();
        }
        break;
    case GRID_SB_LINEDOWN:
        if (position != 0)
        {
            SetVerticalPosition(position);
            return;
        }
        if (topRow < totalRows)
        {
            ++topRow;
            delta = UnitStep();
        }
        break;
    case GRID_SB_PAGEUP:
        topRow = topRow > rowsPerPage + 1 ? topRow - rowsPerPage : 1;
        delta = -pageUnits;
        break;
    case GRID_SB_PAGEDOWN:
        topRow = std::min(totalRows, topRow + rowsPerPage);
        delta = pageUnits;
        break;
    case GRID_SB_THUMBPOSITION:
    case GRID_SB_THUMBTRACK:
    {
        int track = trackPosition < 0 ? p : trackPosition;
        SetVerticalPosition(track);
        uint64_t row = GridSaturateToUint64(static_cast<double>(track) / EffectiveUnitsPerRow());
        row = std::max<uint64_t>(row, 1);
        if (row > totalRows - 1) // unsigned: with no rows only the lower bound acts
            row = totalRows - 1;
        topRow = row;
        return;
    }
    default:
        return;
    }
    if (EffectiveUnitsPerRow() < 1.0f)
    {
        // More rows than units: a unit stands for several rows, so steps of whole units would
        // leave the bar behind the rows (a line is 0 units) or run it ahead (a page is at least
        // one unit). The bar goes where the thumb shows the new top row.
        SetVerticalPosition(
            GridSaturateToInt(static_cast<double>(topRow) * static_cast<double>(EffectiveUnitsPerRow())));
        return;
    }
    const int64_t move = MoveWithin(p, delta, VerticalMaxPosition());
    if (move != 0)
        verticalPosition = static_cast<int>(p + move);
}

int LGridScrollModel::ScrollHorizontal(int code, int position, int trackPosition)
{
    const int p = horizontalPosition;
    int64_t delta = 0;
    switch (code)
    {
    case GRID_SB_LINEUP:
        if (position != 0)
        {
            horizontalPosition = std::clamp(position, 0, HorizontalMaxPosition());
            return 0;
        }
        delta = -10;
        break;
    case GRID_SB_LINEDOWN:
        delta = 10;
        break;
    case GRID_SB_PAGEUP:
        delta = -static_cast<int64_t>(horizontalPage);
        break;
    case GRID_SB_PAGEDOWN:
        delta = horizontalPage;
        break;
    case GRID_SB_THUMBPOSITION:
    case GRID_SB_THUMBTRACK:
        horizontalPosition = std::clamp(trackPosition < 0 ? p : trackPosition, 0, HorizontalMaxPosition());
        return 0;
    default:
        return 0;
    }
    const int64_t move = MoveWithin(p, delta, HorizontalMaxPosition());
    if (move == 0)
        return 0;
    horizontalPosition = static_cast<int>(p + move);
    float scale = (std::isfinite(horizontalScale) && horizontalScale > 0.0f) ? horizontalScale : 1.0f;
    return GridSaturateToInt(static_cast<double>(move) * scale);
}

uint64_t LGridScrollModel::HorizontalOffset() const
{
    return GridSaturateToUint64(static_cast<double>(horizontalPosition) *
                                static_cast<double>(horizontalScale));
}

uint64_t LGridScrollModel::VerticalValue() const
{
    return GridSaturateToUint64(static_cast<double>(verticalPosition) * static_cast<double>(unitsPerRow));
}

int LGridScrollModel::WheelLineSteps(int rotation, int linesPerAction)
{
    if (rotation == 0)
        return 0;
    int64_t n = (std::llabs(static_cast<int64_t>(rotation)) / 120) * static_cast<int64_t>(linesPerAction);
    if (n < 6)
        return 1;
    return static_cast<int>(std::min<int64_t>(n / 3, std::numeric_limits<int>::max()));
}
