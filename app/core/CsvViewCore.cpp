#include "CsvViewCore.h"

#include <algorithm>

#include "LCSVRowGridBox.h"

LCSVRowGridBox* AsRowBox(LGridBox* box)
{
    return box && box->classTag == 1 ? static_cast<LCSVRowGridBox*>(box) : nullptr;
}

namespace {

bool IsPlaceholder(LGridBox* box)
{
    LCSVRowGridBox* row = AsRowBox(box);
    return row && row->placeholder;
}

// A row box of kind 2 that is not a placeholder.
bool IsRowBox(LGridBox* box)
{
    return box->kind == BOX_KIND_ROW && !IsPlaceholder(box);
}

} // namespace

LGridBox* CsvViewCore::GetRoot() const
{
    if (!m_grid)
        return nullptr;
    LGridBox* root = m_grid->GetRootBox();
    return root && root->kind == BOX_KIND_ROOT ? root : nullptr;
}

void CsvViewCore::SetTotalRows(LGridBox* root, int64_t totalEstimate)
{
    root->totalRows = static_cast<uint64_t>(totalEstimate);
    m_grid->SetVerticalUnitsPerRow(static_cast<float>(100000.0 / static_cast<double>(totalEstimate)));
}

void CsvViewCore::ShowRowDetails(const std::u16string& text)
{
    if (m_rowDetails)
        m_rowDetails(text);
}

LGridView* CsvViewCore::GetGridView()
{
    return m_gridWindow;
}

LGridBoxDataAccessorInterface* CsvViewCore::CreateNode(int kind)
{
    if (kind != BOX_KIND_ROW)
        return nullptr;
    return new LCSVRowGridBox(m_grid);
}

LCSVRowGridBox* CsvViewCore::AppendRowBox(LGridBox* root, const CSVRecord& record, uint64_t row)
{
    auto* box = new LCSVRowGridBox(m_grid);
    box->kind = BOX_KIND_ROW;
    box->SetFields(record, row);
    // The height a paint would give it, so that folding a box not yet painted counts it right.
    box->height = m_grid->GetRowHeight() + 2;
    box->parent = root;
    root->children.push_back(box);
    return box;
}

void CsvViewCore::ResetTree()
{
    m_grid->ClearSelection();
    m_grid->ForgetEditAndCurrentBox();
    m_grid->ReleaseRootBox();
    m_grid->ClearUndoList();
    m_grid->ClearRedoList();
}

void CsvViewCore::FillGrid(const std::vector<CSVRecord>& rows, int64_t totalEstimate)
{
    if (!m_grid)
        return;
    ResetTree();
    m_grid->SetTopRow(0);

    auto* root = new LCSVRowGridBox(m_grid);
    root->kind = BOX_KIND_ROOT;
    uint64_t number = 1;
    for (const CSVRecord& record : rows)
        AppendRowBox(root, record, number++);
    SetTotalRows(root, totalEstimate);
    m_grid->SetRootBox(root);
    m_grid->RecalcLayout();
    m_grid->Redraw();
    // The selection went with the old rows: so do the rows shown in Row details.
    ShowRowDetails(std::u16string());
}

void CsvViewCore::MergeRows(const std::vector<CSVRecord>& rows, int64_t firstRow, int64_t totalEstimate)
{
    LGridBox* root = GetRoot();
    if (!root)
        return;
    if (totalEstimate != 0)
        SetTotalRows(root, totalEstimate);
    if (rows.empty() || root->children.empty())
        return;

    LGridBoxList& children = root->children;
    const uint64_t first = static_cast<uint64_t>(firstRow);
    auto b = std::find_if(children.begin(), children.end(),
                          [first](LGridBox* box) { return IsRowBox(box) && box->rowNumber >= first; });
    size_t next = 0;
    uint64_t n = first;

    if (b != children.end())
    {
        if (b == children.begin() && (*b)->rowNumber > first)
        {
            // Rows in front of the first box, e.g. removed earlier with the Delete key.
            for (; next < rows.size() && n < (*b)->rowNumber; ++next, ++n)
            {
                auto* box = new LCSVRowGridBox(m_grid);
                box->kind = BOX_KIND_ROW;
                box->SetFields(rows[next], n);
                box->height = m_grid->GetRowHeight() + 2;
                box->parent = root;
                children.insert(b, box);
            }
        }
        else
        {
            for (; next < rows.size() && n < (*b)->rowNumber; ++next, ++n)
            {}
        }
    }

    // Fill the boxes numbered as the records; a gap (a box numbered above N) stops the filling.
    auto it = b;
    for (; it != children.end() && next < rows.size(); ++it)
    {
        LGridBox* box = *it;
        if (!IsRowBox(box) || box->rowNumber != n)
            continue;
        LCSVRowGridBox* rowBox = AsRowBox(box);
        if (rowBox && !rowBox->filled)
            rowBox->SetFields(rows[next], n);
        ++next;
        ++n;
    }

    if (it == children.end() && next < rows.size() && children.back()->rowNumber == n - 1)
    {
        for (; next < rows.size(); ++next, ++n)
            AppendRowBox(root, rows[next], n);
    }
}

void CsvViewCore::OnScroll(unsigned, int64_t, int, LGridScrollExtent)
{
    if (!m_document || !m_grid)
        return;
    const uint64_t top = m_grid->GetTopRow();
    m_document->LoadRowsIntoView(this, static_cast<int64_t>(top), true);
    // Merging only extends the boxes at their ends; a top row beyond them would leave the grid
    // with nothing to show (and the next paint would fold everything away).
    if (top > 0 && GetRoot() && !FindRowBox(top))
        RebuildAroundTopRow(top);
}

LGridBox* CsvViewCore::FindRowBox(uint64_t row) const
{
    LGridBox* root = GetRoot();
    if (!root)
        return nullptr;
    for (LGridBox* box : root->children)
        if (box->rowNumber == row && IsRowBox(box))
            return box;
    return nullptr;
}

LCSVRowGridBox* CsvViewCore::MakePlaceholder(LGridBox* root, uint64_t rows)
{
    auto* holder = new LCSVRowGridBox(m_grid);
    holder->kind = BOX_KIND_ROW;
    holder->placeholder = true;
    holder->rowNumber = 1;
    holder->height = static_cast<int64_t>(rows) * (m_grid->GetRowHeight() + 2);
    holder->parent = root;
    root->children.push_back(holder);
    return holder;
}

bool CsvViewCore::RebuildAroundTopRow(uint64_t top)
{
    if (!m_document || !m_grid)
        return false;
    std::vector<CSVRecord> rows;
    int64_t firstRow = 0;
    int64_t estimate = 0;
    if (!m_document->GetSegmentRows(static_cast<int64_t>(top), rows, firstRow, estimate) || firstRow < 1)
        return false;
    const uint64_t first = static_cast<uint64_t>(firstRow);
    if (top < first || top >= first + rows.size())
        return false;

    LGridBox* old = GetRoot();
    uint64_t total = old ? old->totalRows : 0;
    LGridSelection selection = m_grid->GetSelection();
    ResetTree();
    auto* root = new LCSVRowGridBox(m_grid);
    root->kind = BOX_KIND_ROOT;
    root->totalRows = total;
    if (first > 1)
        MakePlaceholder(root, first - 1);
    uint64_t n = first;
    for (const CSVRecord& record : rows)
        AppendRowBox(root, record, n++);
    if (estimate != 0)
        SetTotalRows(root, estimate);
    m_grid->SetTopRow(top);
    m_grid->SetRootBox(root);
    // The selection is kept by row numbers; the boxes of its rows come back as they are needed.
    m_grid->GetSelection() = selection;
    // The following segment too, when the top is near this one's end.
    m_document->LoadRowsIntoView(this, static_cast<int64_t>(top), true);
    m_grid->RecalcLayout();
    return true;
}

void CsvViewCore::OnTopBoxDrawn(LGridBox* box)
{
    if (box && box->kind == BOX_KIND_ROW && m_grid)
        m_grid->SetTopRow(box->rowNumber);
}

void CsvViewCore::OnBeforePaint()
{
    LGridBox* root = GetRoot();
    if (!root)
        return;
    LGridBoxList& children = root->children;
    const uint64_t top = m_grid->GetTopRow();

    // 1. Trim below.
    while (children.size() > kMinBoxesBeforeTrim)
    {
        LGridBox* last = children.back();
        if ((last->kind != BOX_KIND_ROW1 && last->kind != BOX_KIND_ROW) || last->rowNumber <= top + kKeepRows)
            break;
        children.pop_back();
        delete last;
    }

    // 2. Fold above into one placeholder.
    if (top > kKeepRows)
    {
        const uint64_t limit = top - kKeepRows;
        LCSVRowGridBox* holder = nullptr;
        for (auto it = children.begin(); it != children.end();)
        {
            LGridBox* box = *it;
            if (box->kind != BOX_KIND_ROW1 && box->kind != BOX_KIND_ROW)
                break;
            if (IsPlaceholder(box))
            {
                holder = AsRowBox(box);
                ++it;
                continue;
            }
            if (box->rowNumber >= limit)
                break;
            if (!holder)
            {
                holder = new LCSVRowGridBox(m_grid);
                holder->kind = BOX_KIND_ROW;
                holder->placeholder = true;
                holder->rowNumber = box->rowNumber;
                holder->height = 0;
                holder->parent = root;
                children.insert(it, holder);
            }
            holder->height += box->height;
            it = children.erase(it);
            delete box;
        }
    }

    // 3. Re-create boxes above the first row box out of the placeholder.
    const uint64_t low = top > kKeepRows + 1 ? top - kKeepRows : 1;
    uint64_t highestRecreated = 0;
    uint64_t lowestRecreated = 0;
    if (children.size() > 1 && IsPlaceholder(children.front()))
    {
        auto holder = AsRowBox(children.front());
        auto r = std::next(children.begin());
        if ((*r)->rowNumber > low)
        {
            while (holder->height > 0 && (*r)->rowNumber > low)
            {
                auto* box = new LCSVRowGridBox(m_grid);
                box->kind = BOX_KIND_ROW;
                box->rowNumber = (*r)->rowNumber - 1;
                box->height = (*r)->height;
                box->parent = root;
                holder->height = std::max<int64_t>(holder->height - box->height, 0);
                r = children.insert(r, box);
                if (highestRecreated == 0)
                    highestRecreated = box->rowNumber;
                lowestRecreated = box->rowNumber;
            }
        }
    }

    // 4. Fill them from the document without releasing segments: every segment they reach (the
    // document's segments hold 5,000 records each, so one row in every 5,000 reaches them all).
    if (highestRecreated == 0 || !m_document)
        return;
    for (uint64_t row = highestRecreated;;)
    {
        m_document->LoadRowsIntoView(this, static_cast<int64_t>(row), false);
        if (row == lowestRecreated)
            break;
        row = row - lowestRecreated > kSegmentRows ? row - kSegmentRows : lowestRecreated;
    }
    // A box the document could not fill stands for a record that is no longer in the file (it
    // shrank on disk): it goes, rather than showing as a blank row.
    for (auto it = children.begin(); it != children.end();)
    {
        LCSVRowGridBox* box = AsRowBox(*it);
        if (box && !box->placeholder && !box->filled && box->kind == BOX_KIND_ROW &&
            box->rowNumber >= lowestRecreated && box->rowNumber <= highestRecreated)
        {
            it = children.erase(it);
            delete box;
            continue;
        }
        if ((*it)->rowNumber > highestRecreated && !IsPlaceholder(*it))
            break;
        ++it;
    }
}

bool CsvViewCore::SelectRow(int64_t row, const std::vector<CSVRecord>& rows, int64_t firstRow,
                            int64_t totalEstimate)
{
    LGridBox* root = GetRoot();
    if (!m_document || !root)
        return true;
    if (totalEstimate != 0)
        SetTotalRows(root, totalEstimate);
    if (root->children.empty() || root->children.back()->kind != BOX_KIND_ROW)
        return true;

    // Row numbers are compared without sign, as the boxes carry them.
    const uint64_t wanted = static_cast<uint64_t>(row);
    if (wanted < root->children.back()->rowNumber)
    {
        for (LGridBox* box : root->children)
        {
            if (box->rowNumber < wanted)
                continue;
            if (box->rowNumber == wanted && !IsPlaceholder(box))
            {
                m_grid->SelectBox(box, true);
                return true;
            }
            if (box->rowNumber > wanted)
                break;
        }
    }
    RebuildAtRow(row, rows, firstRow);
    return true;
}

void CsvViewCore::RebuildAtRow(int64_t row, const std::vector<CSVRecord>& rows, int64_t firstRow)
{
    if (!m_grid)
        return;
    LGridBox* old = GetRoot();
    uint64_t total = old ? old->totalRows : 0;
    ResetTree();

    auto* root = new LCSVRowGridBox(m_grid);
    root->kind = BOX_KIND_ROOT;
    root->totalRows = total;
    const uint64_t first = static_cast<uint64_t>(firstRow);
    if (firstRow > 100)
        MakePlaceholder(root, first - 1);
    bool hasTarget = false;
    uint64_t n = first;
    for (const CSVRecord& record : rows)
    {
        AppendRowBox(root, record, n);
        hasTarget = hasTarget || n == static_cast<uint64_t>(row);
        ++n;
    }
    // A window grid paints as soon as it gets the tree, and a paint trims and folds around the
    // top row: put the top where the rebuild is going to scroll, so that the paint keeps these
    // boxes. (Scrolling into view below sets the same top row.)
    const uint64_t wanted = static_cast<uint64_t>(row);
    if (hasTarget)
        m_grid->SetTopRow(wanted);
    else if (!root->children.empty())
        m_grid->SetTopRow(root->children.back()->rowNumber);
    m_grid->SetRootBox(root);

    LGridBox* target = nullptr;
    if (hasTarget)
    {
        for (LGridBox* box : root->children)
            if (box->rowNumber == wanted && !IsPlaceholder(box))
                target = box;
    }
    if (!target)
    {
        if (!root->children.empty())
            m_grid->EnsureVisible(root->children.back(), 0, true);
        m_grid->Redraw();
        ShowRowDetails(std::u16string()); // nothing is selected now
        return;
    }
    m_grid->ClearSelection();
    m_grid->SetCaretMode(CARET_FRAME);
    m_grid->GetSelection()[wanted] = wanted;
    OnSelectionChanged();
    m_grid->EnsureVisible(target, 0, true);
    m_grid->Redraw();
}

void CsvViewCore::OnSelectionChanged()
{
    if (!m_grid)
        return;
    LGridBoxList boxes;
    m_grid->GetSelectedBoxes(boxes);
    ShowRowDetails(std::u16string());
    if (boxes.size() >= kMaxDetailRows)
    {
        ShowRowDetails(kSizeLimitText);
        return;
    }
    if (!m_document || boxes.empty())
        return;
    std::u16string text;
    bool exceeded = false;
    for (LGridBox* box : boxes)
    {
        if (text.size() >= kMaxDetailChars)
        {
            exceeded = true;
            continue;
        }
        std::u16string rowText;
        m_document->GetRowText(static_cast<int64_t>(box->rowNumber), rowText);
        text += rowText;
        text.push_back(u'\n');
    }
    ShowRowDetails(exceeded ? std::u16string(kSizeLimitText) : text);
}

std::u16string CsvViewCore::BuildCopyText()
{
    std::u16string text;
    if (!m_document || !m_grid || m_grid->IsSelectionEmpty())
        return text;
    LGridBoxList boxes;
    m_grid->GetSelectedBoxes(boxes);
    std::u16string rowText;
    for (LGridBox* box : boxes)
    {
        rowText.clear();
        m_document->GetRowText(static_cast<int64_t>(box->rowNumber), rowText);
        text += rowText;
        text.push_back(u'\n');
    }
    return text;
}

bool CsvViewCore::GetLastSelectedRow(int64_t& row)
{
    if (!m_grid)
        return false;
    LGridBoxList boxes;
    m_grid->GetSelectedBoxes(boxes);
    if (boxes.empty())
        return false;
    row = static_cast<int64_t>(boxes.back()->rowNumber);
    return true;
}
