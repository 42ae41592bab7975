// The box logic of a CSV view, apart from any window: it fills the grid's box tree with one
// LCSVRowGridBox per row, merges further segments, keeps the number of boxes bounded while the
// user scrolls (trimming below, folding above into a placeholder, re-creating from it), selects
// rows for find and go to line, and builds the Row details and clipboard texts. It answers the
// grid as its manager and node factory, and the document as its rows sink.
// GUI thread only; every call comes from the grid's or the document's handlers.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "DocumentSinks.h"
#include "LGridViewBase.h"
#include "LGridViewManager.h"

class LCSVRowGridBox;

// What the view needs of its document.
class ICsvViewDocument
{
public:
    virtual ~ICsvViewDocument() = default;
    virtual void LoadRowsIntoView(IRowsSink* view, int64_t row, bool allowUnload) = 0;
    virtual void GetRowText(int64_t row, std::u16string& text) = 0;
    // The rows of the segment holding row (read as needed, releasing others as scrolling does),
    // its first row and the total the view is to assume (0: unchanged); false for none.
    virtual bool GetSegmentRows(int64_t row, std::vector<CSVRecord>& rows, int64_t& firstRow,
                                int64_t& totalEstimate) = 0;
};

class CsvViewCore : public LGridViewManager, public LGridViewNodeFactory, public IRowsSink
{
public:
    // Rows kept as boxes below and above the top row.
    static constexpr uint64_t kKeepRows = 5000;
    // Records per segment of the document.
    static constexpr uint64_t kSegmentRows = 5000;
    // Trimming below starts above this many boxes.
    static constexpr size_t kMinBoxesBeforeTrim = 1000;
    // Row details limits.
    static constexpr size_t kMaxDetailRows = 1000;
    static constexpr size_t kMaxDetailChars = 100000;
    static constexpr const char16_t* kSizeLimitText = u"< Selection exceeds size limit >";

    CsvViewCore() = default;

    // window: the same grid as the window it is (the viewer's LGridView), null for a grid without
    // a window; GetGridView answers it.
    void SetGrid(LGridViewBase* grid, LGridView* window = nullptr)
    {
        m_grid = grid;
        m_gridWindow = window;
    }
    LGridViewBase* GetGrid() const { return m_grid; }
    void SetDocument(ICsvViewDocument* document) { m_document = document; }
    ICsvViewDocument* GetDocument() const { return m_document; }
    // Where the selected rows' text goes (the Row details pane).
    void SetRowDetailsHandler(std::function<void(const std::u16string&)> handler)
    {
        m_rowDetails = std::move(handler);
    }

    // ---- IRowsSink
    void FillGrid(const std::vector<CSVRecord>& rows, int64_t totalEstimate) override;
    void MergeRows(const std::vector<CSVRecord>& rows, int64_t firstRow, int64_t totalEstimate) override;
    bool SelectRow(int64_t row, const std::vector<CSVRecord>& rows, int64_t firstRow,
                   int64_t totalEstimate) override;
    bool GetLastSelectedRow(int64_t& row) override;

    // A new row box of kind 2 with the record's fields, appended to the root.
    LCSVRowGridBox* AppendRowBox(LGridBox* root, const CSVRecord& record, uint64_t row);
    // Replaces the tree by one segment (behind a placeholder unless it is the first) and selects row.
    void RebuildAtRow(int64_t row, const std::vector<CSVRecord>& rows, int64_t firstRow);
    // After a scroll to a top row that no box carries (a thumb drag far past the boxes): the tree
    // becomes that row's segment behind a placeholder, keeping the selection; false when the
    // document has no such row.
    bool RebuildAroundTopRow(uint64_t top);

    // The text of every selected row, one line each, without limits (Copy).
    std::u16string BuildCopyText();
    bool HasSelection() const { return m_grid && !m_grid->IsSelectionEmpty(); }

    // ---- LGridViewManager
    void OnContextMenu(const wxPoint&, LGridBox*, int) override {}
    void OnUndoStateChanged(bool, bool) override {}
    void OnMouseMove(unsigned, const wxPoint&) override {}
    void OnScroll(unsigned code, int64_t horizontalOffset, int verticalValue,
                  LGridScrollExtent extent) override;
    void OnBeforePaint() override;
    void OnTopBoxDrawn(LGridBox* box) override;
    void OnDrop(LGridBox*) override {}
    bool OnLButtonUp(unsigned, const wxPoint&) override { return false; }
    void OnSetFocus() override {}
    void OnSelectionChanged() override;
    void OnBeginEdit(LGridBox*, int, bool&) override {}
    void OnEndEdit(LGridBox*, int) override {}
    bool CanBeginEdit(LGridBox*, int) override { return false; }
    bool GetEditAttribute(unsigned, int*) override { return false; }
    bool ExtraBoolHook() override { return false; }
    std::u16string ExtraTextHook() override { return {}; }
    int ExtraIntHook() override { return 0; }
    bool AllowSuggestions() override { return false; }
    LGridView* GetGridView() override;
    int ExtraIntHook2() override { return 0; }
    bool ExtraBoolHook2() override { return false; }

    // ---- LGridViewNodeFactory
    LGridBoxDataAccessorInterface* CreateNode(int kind) override;

private:
    LGridBox* GetRoot() const;
    LGridBox* FindRowBox(uint64_t row) const;
    LCSVRowGridBox* MakePlaceholder(LGridBox* root, uint64_t rows);
    void SetTotalRows(LGridBox* root, int64_t totalEstimate);
    void ShowRowDetails(const std::u16string& text);
    void ResetTree();

    LGridViewBase* m_grid = nullptr;
    LGridView* m_gridWindow = nullptr;
    ICsvViewDocument* m_document = nullptr;
    std::function<void(const std::u16string&)> m_rowDetails;
};

// The row box behind a grid box, or null for a box of another type.
LCSVRowGridBox* AsRowBox(LGridBox* box);
