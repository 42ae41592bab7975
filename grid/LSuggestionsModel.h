// The entries behind an auto-complete popup, free of any window: adding, filtering, ordering,
// the keyboard selection, the row under the mouse, the match runs of a row and the size of the
// popup. LSuggestionsBox paints and measures; everything it decides comes from here.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "LSuggestionsBoxCallback.h"

class LSuggestionsModel
{
public:
    static constexpr size_t MAX_ENTRIES = 513;
    static constexpr int DEFAULT_MAX_ROWS = 5;

    LSuggestionsModel() = default;
    LSuggestionsModel(const LSuggestionsModel&) = delete;
    LSuggestionsModel& operator=(const LSuggestionsModel&) = delete;
    virtual ~LSuggestionsModel() = default;

    // False for an empty text, a full list, or (with unique) a text already there, compared
    // exactly. Otherwise appends the entry and empties the visible rows: the owner refilters.
    bool AddSuggestion(const std::u16string& text, bool unique, int image);
    // The path trimmed of blanks and trailing '/', then added with image -1 without icons and
    // 0 with icons.
    bool AddPathSuggestion(const std::u16string& path, bool unique);

    virtual void SetFilterText(const std::u16string& text) { m_filter = text; }
    const std::u16string& GetFilterText() const { return m_filter; }
    // Rebuilds the visible rows: the entries containing the filter first, then the others,
    // each group in the order added, up to max rows.
    virtual void Refilter();
    // Where the filter starts in text, -1 when it does not occur.
    virtual int GetMatchPosition(const std::u16string& text) const;

    void SetMaxRows(int rows) { m_maxRows = rows; }
    int GetMaxRows() const { return m_maxRows; }
    void SetIconCount(size_t count) { m_iconCount = count; }
    size_t GetIconCount() const { return m_iconCount; }

    size_t GetEntryCount() const { return m_entries.size(); }
    const SuggestionEntry& GetEntry(size_t index) const { return m_entries[index]; }
    bool HasVisibleItems() const { return !m_visible.empty(); }
    size_t GetVisibleCount() const { return m_visible.size(); }
    // The entry on visible row `row` (valid rows only).
    const SuggestionEntry& GetVisible(size_t row) const { return m_entries[m_visible[row]]; }
    std::vector<std::u16string> GetVisibleTexts() const;

    // ---- keyboard selection

    // Moves the selected row down (after the last: the first) or up (before the first: the
    // last); true when another row became selected. Nothing without a selected row.
    bool StepSelection(bool down);
    // As StepSelection(true), falling back to the first row when nothing moved.
    bool SelectNext();
    bool SelectPrevious() { return StepSelection(false); }
    // Clears the selected flag of every visible entry.
    void ClearSelection();
    // The visible row that holds the selection, -1 when none.
    int GetSelectedRow() const;

    // ---- mouse

    // The row index of a client y: (y - 2) / row height, and 0 for y <= 2 or no row height.
    static int RowFromY(int y, int rowHeight);
    // The mouse is over row (possibly past the last row); true when the hot row changed.
    bool SetHotRow(int row);
    // The mouse left: no row is hot.
    void ClearHot();
    int GetHotRow() const { return m_hotRow; }
    // A copy of the entry on a valid visible row; false for any other row.
    bool GetEntryAtRow(int row, SuggestionEntry& entry) const;

    // ---- painting and sizing

    // The three runs of a row as painted: the text before the match, the match (as long as the
    // filter) and the rest. matched is false when the filter does not occur; all text is then
    // in prefix. Runs are cut from the entry's own text.
    struct MatchRuns
    {
        bool matched = false;
        std::u16string prefix;
        std::u16string match;
        std::u16string rest;
    };
    MatchRuns GetMatchRuns(const SuggestionEntry& entry) const;

    // Width and height of the popup for its visible rows; itemWidth measures one entry.
    // Width: the largest of minWidth and every item width, plus 8, then lowered to maxWidth
    // when that is positive and smaller. Height: rows x row height + 6.
    void ComputeSize(const std::function<int(const SuggestionEntry&)>& itemWidth, int minWidth, int maxWidth,
                     int rowHeight, int& width, int& height) const;

protected:
    // Appends entries to the visible rows in entry order, clearing their hot and selected
    // flags, until limit rows show; matching: take only matches, else only the rest.
    void AppendVisible(bool matching, size_t limit);
    // The same for every entry not yet on a row, matching or not.
    void AppendUnshown(size_t limit);
    // Puts the entry on the next visible row, neither hot nor selected.
    void ShowEntry(size_t index);
    virtual bool Matches(const SuggestionEntry& entry) const { return GetMatchPosition(entry.text) >= 0; }

    std::vector<SuggestionEntry> m_entries;
    std::vector<size_t> m_visible; // indices into m_entries
    std::vector<bool> m_shown;     // per entry: already on a visible row during Refilter
    std::u16string m_filter;
    int m_maxRows = DEFAULT_MAX_ROWS;
    int m_hotRow = -1;
    size_t m_iconCount = 0;
};

// The folder-path variant: matches on the lower-case, trimmed copy of each path, lets an empty
// filter match everything, and fills the rows behind the matches up to the fill limit.
class LSuggestionsModelFolderPaths : public LSuggestionsModel
{
public:
    static constexpr int DEFAULT_FILL_LIMIT = 11;

    // Stores the filter trimmed and lower-cased.
    void SetFilterText(const std::u16string& text) override;
    void Refilter() override;
    int GetMatchPosition(const std::u16string& text) const override;

    int GetFillLimit() const { return m_fillLimit; }

private:
    int m_fillLimit = DEFAULT_FILL_LIMIT;
};
