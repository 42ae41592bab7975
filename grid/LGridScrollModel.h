// The grid's scroll state and arithmetic, apart from any window: the top row, the two bar
// positions, pages and scales. The vertical bar is a fixed range of 100000 units that stands
// for all rows; the top row moves with it by rule but is stored apart (the owner and the paint
// may correct it). The window copies the bar values to its real bars after every change.
#pragma once

#include <cstdint>

class LGridScrollModel
{
public:
    static constexpr int VERTICAL_RANGE = 100000;

    // Scroll units per row as the arithmetic uses them: NaN or a value not above 0 counts as 1.
    float EffectiveUnitsPerRow() const;
    // Rows a page step moves: (int)(vertical page / units per row), but never more than the rows
    // that fit in the client (with more rows than units the page is at least one unit, which
    // stands for many rows).
    int RowsPerPage() const;
    // (int)(units per row): how far a line step moves the bar.
    int UnitStep() const;

    // Layout width = widest box width + 2; then the horizontal bar for the client width.
    void SetLayoutWidth(int widestWidth, int clientWidth);
    // Vertical bar for the client height: page = (clientHeight / rowHeight) rows in units,
    // at least 1; no bar when the client is as tall as the range. rowHeight is the height the
    // rows take on screen (the window passes its top box's height).
    void SetVerticalBar(int clientHeight, int rowHeight);

    // A vertical step with the classic codes; total = the root's total rows. trackPosition is
    // the thumb position for the thumb codes (the bar's own position when negative). pageRows:
    // how many rows a page step moves, as the window counted them on its boxes (0: RowsPerPage);
    // the bar then moves by those rows' units.
    void ScrollVertical(int code, int position, int trackPosition, uint64_t totalRows, uint64_t pageRows = 0);
    // A horizontal step; returns the pixel move by which the window contents shift (0: none).
    int ScrollHorizontal(int code, int position, int trackPosition);
    // Puts the vertical bar at a position (clamped), leaving the top row alone.
    void SetVerticalPosition(int position);

    // Bar position times scale / units per row, truncated; saturates instead of overflowing.
    uint64_t HorizontalOffset() const;
    uint64_t VerticalValue() const;

    // The largest position each bar may take: range - page, at least 0.
    int VerticalMaxPosition() const;
    int HorizontalMaxPosition() const;

    // Line steps for one wheel event: (|rotation| / 120) x lines, below 6 one step, else a
    // third of it; 0 for a rotation of 0 (a tiny smooth-scroll move).
    static int WheelLineSteps(int rotation, int linesPerAction);

    uint64_t topRow = 0; // 1-based row at the top of the client area; 0 none
    int layoutWidth = 0; // widest box + 2 pixels
    int verticalRange = VERTICAL_RANGE;
    int horizontalPage = 0;       // pixels; 0 when the horizontal bar is off
    int horizontalBarRange = 0;   // layoutWidth while the bar is on, else 0
    int verticalPage = 0;         // units; 0 when the vertical bar is off
    int verticalBarRange = 0;     // VERTICAL_RANGE while the bar is on, else 0
    int visibleRows = 0;          // whole rows that fit in the client while the bar is on, else 0
    float horizontalScale = 1.0f; // pixels per horizontal unit
    float unitsPerRow = 1.0f;     // set by the owner: 100000 / total rows
    int horizontalPosition = 0;
    int verticalPosition = 0;
};

// Float to integer without undefined behaviour: NaN gives 0, the rest saturates.
int GridSaturateToInt(double value);
uint64_t GridSaturateToUint64(double value);
