#include "LSuggestionsModel.h"

#include <algorithm>

#include "PathHelpers.h"

namespace {

size_t LimitOf(int rows)
{
    return rows > 0 ? static_cast<size_t>(rows) : 0;
}

} // namespace

bool LSuggestionsModel::AddSuggestion(const std::u16string& text, bool unique, int image)
{
    if (text.empty())
        return false;
    if (m_entries.size() >= MAX_ENTRIES)
        return false;
    if (unique)
    {
        for (const SuggestionEntry& entry : m_entries)
        {
            if (entry.text == text)
                return false;
        }
    }
    SuggestionEntry entry;
    entry.text = text;
    entry.image = image;
    m_entries.push_back(std::move(entry));
    m_visible.clear();
    m_hotRow = -1;
    return true;
}

bool LSuggestionsModel::AddPathSuggestion(const std::u16string& path, bool unique)
{
    std::u16string normalized = path;
    NormalizePath(normalized, false);
    return AddSuggestion(normalized, unique, m_iconCount == 0 ? -1 : 0);
}

int LSuggestionsModel::GetMatchPosition(const std::u16string& text) const
{
    const size_t at = text.find(m_filter);
    return at == std::u16string::npos ? -1 : static_cast<int>(at);
}

void LSuggestionsModel::AppendVisible(bool matching, size_t limit)
{
    for (size_t i = 0; i < m_entries.size() && m_visible.size() < limit; ++i)
    {
        if (!m_shown[i] && Matches(m_entries[i]) == matching)
            ShowEntry(i);
    }
}

void LSuggestionsModel::AppendUnshown(size_t limit)
{
    for (size_t i = 0; i < m_entries.size() && m_visible.size() < limit; ++i)
    {
        if (!m_shown[i])
            ShowEntry(i);
    }
}

void LSuggestionsModel::ShowEntry(size_t index)
{
    m_entries[index].hot = false;
    m_entries[index].selected = false;
    m_visible.push_back(index);
    m_shown[index] = true;
}

void LSuggestionsModel::Refilter()
{
    m_visible.clear();
    m_hotRow = -1;
    m_shown.assign(m_entries.size(), false);
    const size_t limit = LimitOf(m_maxRows);
    if (!m_filter.empty())
        AppendVisible(true, limit);
    // Every entry not yet on a row, matching or not (an empty filter skipped the first pass).
    AppendUnshown(limit);
}

std::vector<std::u16string> LSuggestionsModel::GetVisibleTexts() const
{
    std::vector<std::u16string> texts;
    for (size_t index : m_visible)
        texts.push_back(m_entries[index].text);
    return texts;
}

// ---------------------------------------------------------------- keyboard selection

bool LSuggestionsModel::StepSelection(bool down)
{
    const size_t n = m_visible.size();
    for (size_t i = 0; i < n; ++i)
    {
        SuggestionEntry& entry = m_entries[m_visible[i]];
        if (!entry.selected)
            continue;
        entry.selected = false;
        const size_t next = down ? (i + 1) % n : (i + n - 1) % n;
        m_entries[m_visible[next]].selected = true;
        return next != i;
    }
    return false;
}

bool LSuggestionsModel::SelectNext()
{
    if (StepSelection(true))
        return true;
    if (m_visible.empty())
        return false;
    m_entries[m_visible.front()].selected = true;
    return true;
}

void LSuggestionsModel::ClearSelection()
{
    for (size_t index : m_visible)
        m_entries[index].selected = false;
}

int LSuggestionsModel::GetSelectedRow() const
{
    for (size_t row = 0; row < m_visible.size(); ++row)
    {
        if (m_entries[m_visible[row]].selected)
            return static_cast<int>(row);
    }
    return -1;
}

// ---------------------------------------------------------------- mouse

int LSuggestionsModel::RowFromY(int y, int rowHeight)
{
    if (y <= 2 || rowHeight <= 0)
        return 0;
    return (y - 2) / rowHeight;
}

bool LSuggestionsModel::SetHotRow(int row)
{
    if (row == m_hotRow)
        return false;
    if (m_hotRow >= 0 && static_cast<size_t>(m_hotRow) < m_visible.size())
        m_entries[m_visible[m_hotRow]].hot = false;
    m_hotRow = row;
    if (row >= 0 && static_cast<size_t>(row) < m_visible.size())
        m_entries[m_visible[row]].hot = true;
    return true;
}

void LSuggestionsModel::ClearHot()
{
    for (size_t index : m_visible)
    {
        if (m_entries[index].hot)
            m_hotRow = -1;
        m_entries[index].hot = false;
    }
}

bool LSuggestionsModel::GetEntryAtRow(int row, SuggestionEntry& entry) const
{
    if (row < 0 || static_cast<size_t>(row) >= m_visible.size())
        return false;
    entry = m_entries[m_visible[row]];
    return true;
}

// ---------------------------------------------------------------- painting and sizing

LSuggestionsModel::MatchRuns LSuggestionsModel::GetMatchRuns(const SuggestionEntry& entry) const
{
    MatchRuns runs;
    const int p = GetMatchPosition(entry.text);
    if (p < 0)
    {
        runs.prefix = entry.text;
        return runs;
    }
    // The position may come from a normalised copy; the runs are cut from the entry's own text.
    const size_t start = std::min(static_cast<size_t>(p), entry.text.size());
    const size_t length = std::min(m_filter.size(), entry.text.size() - start);
    runs.matched = true;
    runs.prefix = entry.text.substr(0, start);
    runs.match = entry.text.substr(start, length);
    runs.rest = entry.text.substr(start + length);
    return runs;
}

void LSuggestionsModel::ComputeSize(const std::function<int(const SuggestionEntry&)>& itemWidth, int minWidth,
                                    int maxWidth, int rowHeight, int& width, int& height) const
{
    int widest = minWidth;
    for (size_t index : m_visible)
        widest = std::max(widest, itemWidth ? itemWidth(m_entries[index]) : 0);
    width = widest + 8;
    if (maxWidth > 0 && maxWidth < width)
        width = maxWidth;
    height = static_cast<int>(m_visible.size()) * rowHeight + 6;
}

// ---------------------------------------------------------------- folder paths

void LSuggestionsModelFolderPaths::SetFilterText(const std::u16string& text)
{
    std::u16string normalized = text;
    NormalizePath(normalized, true);
    LSuggestionsModel::SetFilterText(normalized);
}

int LSuggestionsModelFolderPaths::GetMatchPosition(const std::u16string& text) const
{
    std::u16string normalized = text;
    NormalizePath(normalized, true);
    return LSuggestionsModel::GetMatchPosition(normalized);
}

void LSuggestionsModelFolderPaths::Refilter()
{
    m_visible.clear();
    m_hotRow = -1;
    m_shown.assign(m_entries.size(), false);
    // No empty-filter test: an empty filter matches every path.
    AppendVisible(true, LimitOf(m_maxRows));
    AppendUnshown(LimitOf(m_fillLimit));
}
