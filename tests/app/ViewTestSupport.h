// A headless grid and a fake document for the view's box logic: the grid runs the window-free
// half of the grid control with layout and paint passes that need no display; the document
// pages a synthetic file of N records in segments of 5,000 as the document core does.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "CsvViewCore.h"
#include "LCSVRowGridBox.h"
#include "LGridViewBase.h"

class HeadlessGrid : public LGridViewBase
{
public:
    explicit HeadlessGrid(CsvViewCore* core)
        : LGridViewBase(core)
    {
        m_nodeFactory = core;
    }

    LGridBox* AllocBox(int, bool) override { return nullptr; }
    bool ExtraQuery() override { return false; }
    void RecalcLayout() override { RunLayoutPass(nullptr); }
    void Redraw() override { ++redraws; }
    void EndEdit(bool) override {}

    // What the window's paint does, without pixels: the owner's hook, then a paint pass.
    void Paint()
    {
        if (m_manager)
            m_manager->OnBeforePaint();
        if (!m_root)
            return;
        int shared = 0;
        int widest = clientWidth;
        LGridDrawArgs args = MakeDrawArgs(nullptr, false, clientWidth, clientHeight, &shared, &widest,
                                          static_cast<int64_t>(GetHorizontalOffset()),
                                          static_cast<int64_t>(GetTopBoxOffset()));
        m_root->Draw(args);
    }

    // Moves the top row as a scroll would and lets the owner react, then paints.
    void ScrollTo(uint64_t row)
    {
        SetTopRow(row);
        if (m_manager)
            m_manager->OnScroll(GRID_SB_THUMBTRACK, 0, 0, GetScrollExtent());
        RecalcLayout();
        Paint();
    }

    int clientWidth = 1000;
    int clientHeight = 400;
    int redraws = 0;

protected:
    void QueryClientSize(int& width, int& height) const override
    {
        width = clientWidth;
        height = clientHeight;
    }
};

// Records of the form {"r<n>", "x"} (or one field of `rowChars` characters), segmented as the
// document core segments them: reading forward stops 500 records past the asked row.
class FakeDocument : public ICsvViewDocument
{
public:
    static constexpr int64_t kSegment = 5000;

    explicit FakeDocument(int64_t records, size_t rowChars = 0)
        : records(records)
        , rowChars(rowChars)
    {
        lastRead = std::min(records, kSegment);
    }

    CSVRecord Record(int64_t n) const
    {
        if (rowChars > 0)
            return {CSVField{std::u16string(rowChars, u'a'), false}};
        std::u16string id = u"r";
        for (char c : std::to_string(n))
            id.push_back(static_cast<char16_t>(c));
        return {CSVField{id, false}, CSVField{u"x", n % 2 == 0}};
    }

    std::vector<CSVRecord> Segment(int64_t index) const
    {
        std::vector<CSVRecord> rows;
        for (int64_t n = index * kSegment + 1; n <= std::min(records, (index + 1) * kSegment); ++n)
            rows.push_back(Record(n));
        return rows;
    }

    // The segment holding row, reading forward as needed; -1 for none.
    int64_t GetSegment(int64_t row, int64_t& firstRow, int64_t& totalEstimate)
    {
        totalEstimate = 0;
        int64_t result = -1;
        if (static_cast<uint64_t>(row) > static_cast<uint64_t>(lastRead))
        {
            bool any = false;
            while (lastRead < records && lastRead <= row + 500)
            {
                lastRead = std::min(lastRead + kSegment, records);
                any = true;
            }
            if (!any)
                return -1;
            totalEstimate = lastRead + 10;
            if (row > lastRead)
                result = (lastRead - 1) / kSegment;
        }
        if (result < 0)
            result = row <= 0 ? 0 : (row - 1) / kSegment;
        firstRow = result * kSegment + 1;
        return result;
    }

    void LoadRowsIntoView(IRowsSink* view, int64_t row, bool) override
    {
        ++loads;
        int64_t first = 0, estimate = 0;
        int64_t s = GetSegment(row, first, estimate);
        if (s < 0 || !view)
            return;
        std::vector<CSVRecord> rows = Segment(s);
        view->MergeRows(rows, first, estimate);
        int64_t end = first + static_cast<int64_t>(rows.size()) - 1;
        if (row > end - 500)
        {
            int64_t nextFirst = 0, nextEstimate = 0;
            int64_t next = GetSegment(end + 1, nextFirst, nextEstimate);
            if (next >= 0 && next != s)
                view->MergeRows(Segment(next), nextFirst, nextEstimate);
        }
    }

    bool GetSegmentRows(int64_t row, std::vector<CSVRecord>& rows, int64_t& firstRow,
                        int64_t& totalEstimate) override
    {
        int64_t s = GetSegment(row, firstRow, totalEstimate);
        if (s < 0)
            return false;
        rows = Segment(s);
        return true;
    }

    void GetRowText(int64_t row, std::u16string& text) override
    {
        if (row < 1 || row > records)
            return;
        CSVRecord r = Record(row);
        for (size_t i = 0; i < r.size(); ++i)
        {
            if (i)
                text.push_back(u';');
            text += r[i].text;
        }
    }

    int64_t records;
    size_t rowChars;
    int64_t lastRead;
    int loads = 0;
};

// The numbers of the root's children, in order (placeholders as negative numbers).
inline std::vector<int64_t> ChildNumbers(LGridBox* root)
{
    std::vector<int64_t> numbers;
    for (LGridBox* box : root->children)
    {
        LCSVRowGridBox* row = AsRowBox(box);
        int64_t n = static_cast<int64_t>(box->rowNumber);
        numbers.push_back(row && row->placeholder ? -n : n);
    }
    return numbers;
}
