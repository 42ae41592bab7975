// One CSV row in the grid: a short copy of the record's fields and the layout of the row (a fixed
// header with the grouped row number, an alternating background, one cell per field with an end
// ellipsis), painted by the painter the window side installs (LCSVRowGridBoxPaint.h). The same class is the
// grid's root (kind 0, which only stacks its children) and the placeholder box (kind 2 with `placeholder`)
// that stands for a run of rows without boxes of their own. GUI thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "CSVReader.h"
#include "LGridBox.h"
#include "LGridBoxDataAccessorInterface.h"

// Where the parts of a painted row go, in client pixels; colours are 0x00BBGGRR values.
struct RowRect
{
    int64_t left = 0, top = 0, right = 0, bottom = 0;
    int64_t Width() const { return right - left; }
    bool operator==(const RowRect&) const = default;
};

struct RowCellGeometry
{
    size_t field = 0;
    RowRect text;      // the text, with an end ellipsis
    RowRect leftQuote; // where a quoted field's marks go
    RowRect rightQuote;
    int64_t borderX = 0; // the dotted right border
};

struct RowBoxGeometry
{
    int headerWidth = 0;
    RowRect header;         // filled with kHeaderColour
    RowRect number;         // the row number, right-aligned
    int64_t separatorX = 0; // the 2-pixel line
    RowRect background;     // filled with backgroundColour
    unsigned long backgroundColour = 0;
    std::vector<RowCellGeometry> cells; // only the cells that are painted
};

// The fields a row box shows: its record's, seen in the record's own buffer (the box shares it and
// keeps no copy), each text cut to its first 100 UTF-16 units (99 when a surrogate pair would be
// cut).
class RowBoxFields
{
public:
    static constexpr size_t kMaxFieldUnits = 100;

    size_t size() const { return record.size(); }
    bool empty() const { return record.empty(); }
    CSVFieldView operator[](size_t i) const
    {
        CSVFieldView field = record[i];
        if (field.text.size() > kMaxFieldUnits)
        {
            size_t units = kMaxFieldUnits;
            // Never half of a surrogate pair.
            if (field.text[units - 1] >= 0xD800 && field.text[units - 1] <= 0xDBFF)
                --units;
            field.text = field.text.substr(0, units);
        }
        return field;
    }
    void clear() { record = CSVRecord(); }
    void Assign(const CSVRecord& from) { record = from; }

private:
    CSVRecord record;
};

class LCSVRowGridBox : public LGridBox, public LGridBoxDataAccessorInterface
{
public:
    static constexpr size_t kMaxFieldUnits = RowBoxFields::kMaxFieldUnits;
    static constexpr unsigned long kHeaderColour = 0xF0F0F0;
    static constexpr unsigned long kSeparatorColour = 0x0A0A0A;
    static constexpr unsigned long kOddRowColour = 0xC8E6FF;
    static constexpr unsigned long kEvenRowColour = 0xDCF0FF;
    static constexpr unsigned long kCellBorderColour = 0x505050;
    static constexpr int kCellMargin = 8;

    explicit LCSVRowGridBox(LGridViewBase* ownerGrid);
    ~LCSVRowGridBox() override;

    // Shows the record's fields (the first 100 UTF-16 units of each, 99 when a surrogate pair
    // would be cut, with its quoted flag) and keeps the row number. The record's buffer is shared.
    void SetFields(const CSVRecord& record, uint64_t row);

    int64_t Draw(const LGridDrawArgs& args) override;

    // LGridBoxDataAccessorInterface: kind 9, so a row box is never attached as a text accessor.
    int GetAccessorKind() override { return 9; }
    void Release() override { delete this; }
    void AttachBox(LGridBox* box) override { owner = box; }
    void DetachBox(LGridBox*) override { owner = nullptr; }

    // The text of the row header: the row number with "." between groups of three digits.
    std::u16string HeaderText() const;
    // The box width for a column width and a number of fields.
    static int BoxWidth(int columnWidth, size_t fieldCount);
    // Where a row's parts are painted (sx, sy: its scrolled screen position). Only the cells that
    // lie in the client area are listed, found without a walk over the fields before them.
    static RowBoxGeometry ComputeGeometry(int64_t sx, int64_t sy, int columnWidth, int clientWidth,
                                          int rowHeight, int64_t boxHeight, size_t fieldCount, uint64_t row);

    RowBoxFields fields;
    bool placeholder = false;
    // Set by SetFields: the box holds its record's fields. A merge of the same segment again
    // leaves such a box alone (a row's record does not change until the grid is filled anew).
    bool filled = false;
    // The box given by AttachBox; null in the viewer. It hides LGridBox::owner (the grid) inside
    // this class only: the grid reaches its own member through LGridBox.
    LGridBox* owner = nullptr;

    // Paints a box's parts on args.dc (sx, sy: its scrolled screen position). The viewer's window
    // side installs it; without one, a pass with a DC only lays the boxes out.
    using Painter = void (*)(const LCSVRowGridBox& box, const LGridDrawArgs& args, int64_t sx, int64_t sy);
    static void SetPainter(Painter painter);

private:
    static Painter s_painter;
};
