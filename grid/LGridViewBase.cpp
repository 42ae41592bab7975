#include "LGridViewBase.h"

#include <algorithm>
#include <iterator>
#include <thread>

#include "LGridViewManager.h"

LGridViewBase::LGridViewBase(LGridViewManager* manager)
    : m_manager(manager)
{
    m_undo.grid = this;
    m_redo.grid = this;
}

LGridViewBase::~LGridViewBase()
{
    // The window's destructor clears the lists and releases the tree while it is still whole;
    // this is the safety net for a grid that never had one.
    ClearUndoList();
    ClearRedoList();
    delete m_root;
    m_root = nullptr;
}

// ---------------------------------------------------------------- tree and fonts

void LGridViewBase::SetRootBox(LGridBox* root)
{
    if (IsEditing())
        CancelEdit();
    m_editing = false;
    m_editPart = 0;
    m_selection.clear();
    m_editBox = nullptr;
    m_currentBox = nullptr;
    m_dropBox = nullptr;
    m_dragging = false;
    if (root == m_root)
        m_root = nullptr; // the same tree again: keep it rather than delete it under the caller
    ReleaseRootBox();
    ClearUndoList();
    ClearRedoList();
    m_root = root;
    RecalcLayout();
}

void LGridViewBase::ReleaseRootBox()
{
    if (!m_root)
        return;
    LGridBox* old = m_root;
    m_root = nullptr;
    m_dropBox = nullptr;
    if (m_releaseOnThread)
    {
        // The detached tree belongs to the thread alone; nothing else refers to it any more.
        std::thread([old] { delete old; }).detach();
    }
    else
    {
        delete old;
    }
}

void LGridViewBase::SetFont(const LGridFontSpec* font, bool, bool)
{
    if (!font)
    {
        m_hasFont = false;
        return;
    }
    m_hasFont = true;
    m_fontSpec = *font;
    m_italicSpec = font->Italic();
    m_boldSpec = font->Bold();
    m_smallSpec = font->Small();
}

void LGridViewBase::ForgetEditAndCurrentBox()
{
    if (IsEditing())
        CancelEdit();
    m_editBox = nullptr;
    m_currentBox = nullptr;
    m_dropBox = nullptr;
}

// ---------------------------------------------------------------- selection

void LGridViewBase::SelectSingle(LGridBox* box)
{
    m_selection.clear();
    m_caretMode = CARET_FRAME;
    m_selection[box->rowNumber] = box->rowNumber;
    if (m_manager)
        m_manager->OnSelectionChanged();
}

bool LGridViewBase::SelectBox(LGridBox* box, bool ensureVisible)
{
    m_selection.clear();
    if (!box)
        return false;
    SelectSingle(box);
    if (ensureVisible)
        EnsureVisible(box, 0, true);
    Redraw();
    return true;
}

bool LGridViewBase::SetSelection(LGridBox* box)
{
    if (!box)
        return false;
    SelectSingle(box);
    return true;
}

bool LGridViewBase::ClearSelection()
{
    if (m_selection.empty())
        return false;
    m_selection.clear();
    return true;
}

bool LGridViewBase::IsBoxSelected(const LGridBox* box) const
{
    if (!box || m_selection.empty())
        return false;
    for (const auto& [first, last] : m_selection)
    {
        if (first <= box->rowNumber && box->rowNumber <= last)
            return true;
    }
    return false;
}

bool LGridViewBase::ExtendSelection(LGridBox* box)
{
    if (!box)
        return false;
    const uint64_t row = box->rowNumber;
    if (m_selection.empty())
    {
        m_selection[row] = row;
        if (m_manager)
            m_manager->OnSelectionChanged();
        return true;
    }
    if (IsBoxSelected(box))
        return true;
    bool changed = false;
    for (auto it = m_selection.begin(); it != m_selection.end(); ++it)
    {
        if (it->second < row)
        {
            it->second = row; // same key: replacing the entry keeps its first row
            changed = true;
            break;
        }
    }
    if (!changed)
    {
        for (auto it = m_selection.begin(); it != m_selection.end(); ++it)
        {
            if (row < it->first)
            {
                const uint64_t last = it->second;
                m_selection.erase(it);
                m_selection[row] = last;
                changed = true;
                break;
            }
        }
    }
    if (changed && m_manager)
        m_manager->OnSelectionChanged();
    return changed;
}

void LGridViewBase::GetSelectedBoxes(LGridBoxList& boxes)
{
    if (m_selection.empty() || !m_root)
        return;
    const uint64_t first = m_selection.begin()->first;
    const uint64_t last = m_selection.begin()->second;
    LGridBoxList run;
    bool inRun = false;
    bool complete = false;
    for (LGridBox* child : m_root->children)
    {
        if (!child)
        {
            if (inRun)
                break; // an empty slot inside the run: the list ends up empty
            continue;
        }
        if (!inRun && child->rowNumber == first)
            inRun = true;
        if (inRun)
        {
            run.push_back(child);
            if (child->rowNumber == last)
            {
                complete = true;
                break;
            }
        }
    }
    if (complete)
        boxes.splice(boxes.end(), run);
}

void LGridViewBase::CollectSelectedBoxes(std::set<LGridBox*>& boxes, LGridBox*& first, LGridBox*& last)
{
    boxes.clear();
    first = nullptr;
    last = nullptr;
    LGridBoxList run;
    GetSelectedBoxes(run);
    if (run.empty())
        return;
    boxes.insert(run.begin(), run.end());
    first = run.front();
    last = run.back();
}

// ---------------------------------------------------------------- navigation

bool LGridViewBase::FindNextBox(LGridBox* box, LGridBoxList::iterator& position, bool skipChildren,
                                PositionCache& cache)
{
    LGridBox* current = box;
    bool skip = skipChildren;
    while (current)
    {
        if (!skip && !current->children.empty() && !current->collapsed)
        {
            position = current->children.begin();
            cache[*position] = position;
            return true;
        }
        LGridBox* parent = current->parent;
        if (!parent)
            return false;
        LGridBoxList::iterator it;
        auto cached = cache.find(current);
        if (cached != cache.end())
        {
            it = cached->second;
            cache.erase(cached);
        }
        else
        {
            it = std::find(parent->children.begin(), parent->children.end(), current);
            if (it == parent->children.end())
                return false;
        }
        ++it;
        if (it != parent->children.end())
        {
            position = it;
            cache[*it] = it;
            return true;
        }
        current = parent;
        skip = true;
    }
    return false;
}

bool LGridViewBase::FindPreviousBox(LGridBox* box, LGridBoxList::iterator& position, bool descend, bool stop)
{
    // The root (a box without a parent) is never an answer, so Up never selects it.
    if (!box || !box->parent)
        return false;
    if (stop)
        return box->FindInParent(position);
    LGridBox* current = box;
    if (!descend)
    {
        LGridBoxList::iterator it;
        if (!box->FindInParent(it))
            return false;
        if (it == box->parent->children.begin())
        {
            LGridBox* parent = box->parent;
            if (!parent->parent)
                return false;
            return parent->FindInParent(position);
        }
        current = *std::prev(it);
        if (!current)
            return false;
    }
    while (!current->children.empty() && !current->collapsed && current->children.back())
        current = current->children.back();
    return current->FindInParent(position);
}

void LGridViewBase::SelectNextBox(LGridBox* box, bool ensureVisible)
{
    if (!box)
        return;
    PositionCache cache;
    LGridBoxList::iterator position;
    if (!FindNextBox(box, position, false, cache))
        return;
    LGridBox* found = *position;
    if (found)
        SelectSingle(found);
    if (ensureVisible && found)
        EnsureVisible(found, 0, true);
    Redraw();
}

void LGridViewBase::MoveSelection(bool down)
{
    if (m_selection.empty())
    {
        SelectNextBox(m_root, true);
        return;
    }
    std::set<LGridBox*> boxes;
    LGridBox* first = nullptr;
    LGridBox* last = nullptr;
    CollectSelectedBoxes(boxes, first, last);
    if (!first || !last || !last->parent)
        return;
    const bool single = boxes.size() == 1;
    if (down)
    {
        if (!single)
        {
            m_caretMode = CARET_FRAME;
            SelectNextBox(last, true);
            return;
        }
        switch (m_caretMode)
        {
        case CARET_GAP_ABOVE:
            m_caretMode = CARET_FRAME;
            Redraw();
            return;
        case CARET_GAP_BELOW:
            m_caretMode = CARET_GAP_ABOVE;
            SelectNextBox(last, true);
            return;
        default:
            m_caretMode = CARET_GAP_BELOW;
            EnsureVisible(last, 1, true);
            Redraw();
            return;
        }
    }
    if (single)
    {
        switch (m_caretMode)
        {
        case CARET_GAP_ABOVE:
            m_caretMode = CARET_GAP_BELOW;
            break; // on to the previous box
        case CARET_GAP_BELOW:
            m_caretMode = CARET_FRAME;
            EnsureVisible(first, 0, true);
            Redraw();
            return;
        default:
            m_caretMode = CARET_GAP_ABOVE;
            EnsureVisible(first, 0, true);
            Redraw();
            return;
        }
    }
    else
    {
        m_caretMode = CARET_FRAME;
    }
    LGridBoxList::iterator here;
    if (!first->FindInParent(here))
        return;
    LGridBoxList::iterator position;
    bool found = here == first->parent->children.begin()
                     ? FindPreviousBox(first->parent, position, false, true)
                     : FindPreviousBox(*std::prev(here), position, true, false);
    if (!found || !*position)
        return;
    LGridBox* previous = *position;
    SelectSingle(previous);
    EnsureVisible(previous, 0, true);
    Redraw();
}

// ---------------------------------------------------------------- tree edits

void LGridViewBase::DeleteSelection(bool selectNeighbour)
{
    if (m_selection.empty())
        return;
    std::set<LGridBox*> boxes;
    LGridBox* first = nullptr;
    LGridBox* last = nullptr;
    CollectSelectedBoxes(boxes, first, last);
    if (!first || !last || !last->parent)
        return;
    EndEdit(false);

    LGridBox* neighbour = nullptr;
    LGridBoxList::iterator lastPosition;
    if (last->FindInParent(lastPosition))
    {
        auto next = std::next(lastPosition);
        if (next != last->parent->children.end())
        {
            neighbour = *next;
        }
        else
        {
            PositionCache cache;
            LGridBoxList::iterator position;
            if (FindNextBox(last->parent, position, true, cache))
                neighbour = *position;
        }
    }

    LGridBox* parent = first->parent;
    if (!parent || last->parent != parent)
        return;
    int position = 0;
    LGridBoxList::iterator firstIt = parent->children.end();
    LGridBoxList::iterator lastIt = parent->children.end();
    int index = 0;
    for (auto it = parent->children.begin(); it != parent->children.end(); ++it, ++index)
    {
        if (*it == first && firstIt == parent->children.end())
        {
            firstIt = it;
            position = index;
        }
        if (*it == last)
        {
            lastIt = it;
            break;
        }
    }
    if (firstIt == parent->children.end() || lastIt == parent->children.end())
        return;

    auto* step = new LGridViewUndoStepInsertDelete(this, false);
    m_dropBox = nullptr;
    LGridBoxList removed;
    SpliceBoxRange(parent->children, firstIt, lastIt, removed);
    step->boxes = removed;
    step->parent = parent;
    step->position = position;
    AddUndoStep(step);

    ClearSelection();
    if (neighbour && selectNeighbour)
        SetSelection(neighbour);
    RepairTopRow();
    RecalcLayout();
    Redraw();
}

void LGridViewBase::RepairTopRow()
{
    const uint64_t top = m_scroll.topRow;
    if (!m_root || top == 0 || m_root->children.empty())
        return;
    LGridBox* above = nullptr;
    for (LGridBox* child : m_root->children)
    {
        if (!child)
            continue;
        if (child->rowNumber == top)
            return;
        if (!above && child->rowNumber > top)
            above = child;
    }
    if (!above)
    {
        for (auto it = m_root->children.rbegin(); it != m_root->children.rend(); ++it)
        {
            if (*it)
            {
                above = *it;
                break;
            }
        }
    }
    if (above)
        m_scroll.topRow = above->rowNumber;
}

void LGridViewBase::EnsureVisible(LGridBox* box, int, bool relayout)
{
    if (!box)
        return;
    box->ExpandParents(true);
    if (relayout)
        RecalcLayout();
    m_scroll.topRow = box->rowNumber;
    // The bar goes straight to the row's position. (A line-down step with position 0 would move
    // the row instead, leaving the box hidden just above the edge.)
    const int position = GridSaturateToInt(static_cast<double>(box->rowNumber) *
                                           static_cast<double>(m_scroll.EffectiveUnitsPerRow()));
    m_scroll.SetVerticalPosition(position);
    SyncScrollBars();
    if (m_manager)
        m_manager->OnScroll(GRID_SB_LINEDOWN, static_cast<int64_t>(GetHorizontalOffset()),
                            static_cast<int>(static_cast<uint32_t>(GetVerticalValue())), GetScrollExtent());
    RecalcLayout();
    Redraw();
}

bool LGridViewBase::InsertBoxes(LGridBox* parent, int position, LGridBoxList& boxes, bool selectRange,
                                bool ensureVisible)
{
    if (!parent || position < 0 || static_cast<size_t>(position) > parent->children.size())
        return false;
    for (LGridBox* box : boxes)
    {
        if (box)
            box->parent = parent;
    }
    if (!parent->children.empty())
    {
        auto before = std::next(parent->children.begin(), position);
        parent->children.insert(before, boxes.begin(), boxes.end());
    }
    else if (position == 0)
    {
        parent->children = boxes;
    }
    m_selection.clear();
    if (selectRange && !boxes.empty() && boxes.front() && boxes.back())
    {
        m_selection[boxes.front()->rowNumber] = boxes.back()->rowNumber;
        m_caretMode = CARET_FRAME;
    }
    RecalcLayout();
    if (ensureVisible && !boxes.empty() && boxes.front())
        EnsureVisible(boxes.front(), 0, true);
    Redraw();
    return true;
}

void LGridViewBase::RemoveBoxes(LGridBox* parent, int position, int count, LGridBoxList& removed)
{
    if (!parent || (count < 1 && count != -1) || position < 0 ||
        static_cast<size_t>(position) > parent->children.size())
        return;
    m_selection.clear();
    auto first = std::next(parent->children.begin(), position);
    auto last = parent->children.end();
    if (count > 0 && first != parent->children.end())
    {
        last = first;
        for (int i = 1; i < count && std::next(last) != parent->children.end(); ++i)
            ++last;
    }
    if (m_dropBox && std::find(first, parent->children.end(), m_dropBox) != parent->children.end())
        m_dropBox = nullptr;
    SpliceBoxRange(parent->children, first, last, removed);
    RepairTopRow();
    RecalcLayout();
    Redraw();
}

bool LGridViewBase::InsertBoxesBefore(LGridBox* parent, LGridBoxList::iterator before, LGridBoxList& boxes,
                                      bool ensureVisible)
{
    if (!InsertBoxList(parent, before, boxes))
        return false;
    m_selection.clear();
    if (!boxes.empty() && boxes.front() && boxes.back())
    {
        m_selection[boxes.front()->rowNumber] = boxes.back()->rowNumber;
        m_caretMode = CARET_FRAME;
    }
    RecalcLayout();
    if (ensureVisible && !boxes.empty() && boxes.front())
        EnsureVisible(boxes.front(), 0, true);
    Redraw();
    return true;
}

bool LGridViewBase::InsertBoxList(LGridBox* parent, LGridBoxList::iterator before, LGridBoxList& boxes)
{
    if (!parent)
        return false;
    for (LGridBox* box : boxes)
    {
        if (box)
            box->parent = parent;
    }
    parent->children.insert(before, boxes.begin(), boxes.end());
    return true;
}

void LGridViewBase::SpliceBoxRange(LGridBoxList& from, LGridBoxList::iterator first,
                                   LGridBoxList::iterator last, LGridBoxList& to)
{
    if (first == from.end())
        return;
    to.clear();
    auto end = last == from.end() ? from.end() : std::next(last);
    to.splice(to.end(), from, first, end);
    for (LGridBox* box : to)
    {
        if (box)
            box->parent = nullptr;
    }
}

// ---------------------------------------------------------------- undo lists

namespace {

// Discards and deletes every step of the stack, the open collection too: a collection holds
// steps (and the boxes they own) like any other step.
void ClearUndoStack(LGridViewUndoStack& stack, bool fromUndoStack)
{
    for (LGridViewUndoStep* step : stack.steps)
    {
        step->Discard(fromUndoStack);
        delete step;
    }
    stack.steps.clear();
    if (stack.openCollection)
    {
        stack.openCollection->Discard(fromUndoStack);
        delete stack.openCollection;
        stack.openCollection = nullptr;
    }
}

} // namespace

void LGridViewBase::ClearUndoList()
{
    ClearUndoStack(m_undo, true);
}

void LGridViewBase::ClearRedoList()
{
    ClearUndoStack(m_redo, false);
}

void LGridViewBase::PushUndoStep(LGridViewUndoStack& stack, LGridViewUndoStep* step)
{
    if (stack.openCollection)
        stack.openCollection->steps.push_back(step);
    else
        stack.steps.push_back(step);
}

void LGridViewBase::AddUndoStep(LGridViewUndoStep* step)
{
    if (!step)
        return;
    const uint64_t before = m_undo.Depth();
    PushUndoStep(m_undo, step);
    ClearRedoList();
    if (m_manager)
    {
        const uint64_t after = m_undo.Depth();
        m_manager->OnUndoStateChanged(m_cleanDepth == after && m_cleanDepth != before,
                                      after != 0 && after != m_cleanDepth);
    }
}

// ---------------------------------------------------------------- scrolling

uint64_t LGridViewBase::GetTotalRows() const
{
    return (m_root && m_root->kind == BOX_KIND_ROOT) ? m_root->totalRows : 0;
}

const LGridBox* LGridViewBase::TopBox() const
{
    if (!m_root || m_root->children.empty())
        return nullptr;
    if (m_scroll.topRow == 0)
        return m_root->children.front(); // painting starts at the first child
    for (const LGridBox* child : m_root->children)
    {
        if (child && child->rowNumber == m_scroll.topRow)
            return child;
    }
    return nullptr;
}

uint64_t LGridViewBase::GetTopBoxOffset() const
{
    if (!m_root || m_scroll.topRow == 0)
        return 0;
    for (const LGridBox* child : m_root->children)
    {
        if (child && child->rowNumber == m_scroll.topRow)
            return child->y > 0 ? static_cast<uint64_t>(child->y) : 0;
    }
    return 0;
}

void LGridViewBase::ScrollVertical(int code, int position, int trackPosition)
{
    uint64_t pageRows = 0;
    if (code == GRID_SB_PAGEUP || code == GRID_SB_PAGEDOWN)
    {
        int clientWidth = 0;
        int clientHeight = 0;
        QueryClientSize(clientWidth, clientHeight);
        pageRows = PageStepRows(code == GRID_SB_PAGEDOWN, clientHeight);
    }
    m_scroll.ScrollVertical(code, position, trackPosition, GetTotalRows(), pageRows);
    SyncScrollBars();
}

uint64_t LGridViewBase::PageStepRows(bool down, int clientHeight) const
{
    const uint64_t top = m_scroll.topRow;
    if (!m_root || top == 0)
        return 0;
    const LGridBoxList& children = m_root->children;
    auto topIt = std::find_if(children.begin(), children.end(),
                              [top](const LGridBox* child) { return child && child->rowNumber == top; });
    if (topIt == children.end())
        return 0;
    const auto fits = [clientHeight](int64_t& used, const LGridBox* box) {
        used += std::max<int64_t>(box->height, 0);
        return used <= clientHeight;
    };

    // Down: the boxes shown whole from the top edge on.
    uint64_t downRows = 1;
    int64_t used = 0;
    for (auto it = topIt; it != children.end() && *it && fits(used, *it); ++it)
    {
        if ((*it)->rowNumber >= top)
            downRows = std::max(downRows, (*it)->rowNumber - top + 1);
    }
    if (down)
        return downRows;

    // Up: the boxes above the top row that the client holds whole above it.
    uint64_t upRows = 0;
    used = 0;
    for (auto it = std::make_reverse_iterator(topIt); it != children.rend() && *it && fits(used, *it); ++it)
    {
        if ((*it)->rowNumber < top)
            upRows = std::max(upRows, top - (*it)->rowNumber);
    }
    return upRows > 0 ? upRows : downRows;
}

void LGridViewBase::VerticalScrollStep(int code, int position, int trackPosition)
{
    ScrollVertical(code, position, trackPosition);
    if (m_manager)
        m_manager->OnScroll(static_cast<unsigned>(code), static_cast<int64_t>(GetHorizontalOffset()),
                            static_cast<int>(static_cast<uint32_t>(GetVerticalValue())), GetScrollExtent());
    RecalcLayout();
    Redraw();
}

void LGridViewBase::MouseWheelStep(int rotation, int linesPerAction, bool pageMode)
{
    if (rotation == 0)
        return; // a tiny smooth-scroll move: no direction
    if (pageMode)
    {
        VerticalScrollStep(rotation > 0 ? GRID_SB_PAGEUP : GRID_SB_PAGEDOWN, 0);
        return;
    }
    const int steps = LGridScrollModel::WheelLineSteps(rotation, linesPerAction);
    for (int i = 0; i < steps; ++i)
        VerticalScrollStep(rotation > 0 ? GRID_SB_LINEUP : GRID_SB_LINEDOWN, 0);
}

int LGridViewBase::HorizontalScrollStep(int code, int position, int trackPosition)
{
    const int move = m_scroll.ScrollHorizontal(code, position, trackPosition);
    SyncScrollBars();
    if (move != 0)
        ScrollContents(-move);
    AfterHorizontalScroll();
    Redraw();
    return move;
}

// ---------------------------------------------------------------- input

LGridBox* LGridViewBase::HitTestClient(int clientX, int clientY, int* part, int* subPart)
{
    *part = HIT_PART_NONE;
    *subPart = HIT_SUBPART_NONE;
    if (!m_root)
        return nullptr;
    int index = -1;
    const int64_t x = static_cast<int64_t>(clientX) + static_cast<int64_t>(GetHorizontalOffset());
    const int64_t y = static_cast<int64_t>(clientY) + static_cast<int64_t>(GetTopBoxOffset());
    return m_root->HitTest(x, y, m_rowHeight, m_columnWidth, m_effectiveRowHeight, part, subPart, &index);
}

void LGridViewBase::HandleLButtonDown(unsigned, int clientX, int clientY)
{
    if (!m_root)
        return;
    int part = 0;
    int subPart = 0;
    LGridBox* box = HitTestClient(clientX, clientY, &part, &subPart);
    if (box && IsBoxSelected(box) &&
        (subPart == HIT_SUBPART_DRAG_HANDLE || subPart == HIT_SUBPART_DRAG_HANDLE_2))
        m_dragging = true;
}

void LGridViewBase::HandleLButtonUp(unsigned flags, int clientX, int clientY, bool handled)
{
    if (m_root)
    {
        if (m_dragging && m_dropBox)
        {
            DragMove();
        }
        else if (!handled)
        {
            int part = 0;
            int subPart = 0;
            LGridBox* box = HitTestClient(clientX, clientY, &part, &subPart);
            if (box)
            {
                FocusGrid();
                m_currentBox = box;
                if (IsEditing() && (box != m_editBox || part != m_editPart))
                    EndEdit(false);
                if (part == HIT_PART_EXPANDER)
                {
                    box->collapsed = !box->collapsed;
                }
                else if (flags & GRID_MK_SHIFT)
                {
                    ExtendSelection(box);
                }
                else if (flags & GRID_MK_CONTROL)
                {
                    bool sole = false;
                    for (const auto& [first, last] : m_selection)
                    {
                        if (first == box->rowNumber && last == box->rowNumber)
                            sole = true;
                    }
                    if (sole)
                        ClearSelection();
                    else
                        SetSelection(box);
                }
                else
                {
                    SetSelection(box);
                }
                RecalcLayout();
                Redraw();
            }
        }
    }
    m_dragging = false;
}

void LGridViewBase::HandleRButtonUp(unsigned, int clientX, int clientY)
{
    if (!m_root)
        return;
    int part = 0;
    int subPart = 0;
    LGridBox* box = HitTestClient(clientX, clientY, &part, &subPart);
    if (!box || IsBoxSelected(box))
        return;
    m_currentBox = box;
    if (IsEditing() && (box != m_editBox || part != m_editPart))
        EndEdit(false);
    SelectSingle(box);
    Redraw();
}

void LGridViewBase::HandleMouseMove(unsigned flags, int clientX, int clientY)
{
    if (!m_root)
        return;
    StopExpandTimer();
    int part = 0;
    int subPart = 0;
    LGridBox* box = HitTestClient(clientX, clientY, &part, &subPart);
    if (!m_dragging)
    {
        if (box && subPart == HIT_SUBPART_DRAG_HANDLE)
            Redraw();
        return;
    }
    if (!(flags & GRID_MK_LBUTTON))
    {
        m_dropBox = nullptr;
        m_dragging = false;
        return;
    }
    if (GetTopBoxOffset() > 0 && clientY < 2 * m_rowHeight)
    {
        // Near the top edge of a scrolled list the target stays as it was.
    }
    else if (!box || IsBoxSelected(box))
    {
        m_dropBox = nullptr;
    }
    else
    {
        m_dropBox = box;
        const int64_t half = m_rowHeight / 2;
        const int64_t y = static_cast<int64_t>(clientY) + static_cast<int64_t>(GetTopBoxOffset());
        if (y < box->y + half - 2)
        {
            m_dropPosition = DROP_ABOVE;
        }
        else if (y > box->y + box->height - half + 2)
        {
            m_dropPosition = DROP_BELOW;
        }
        else
        {
            m_dropPosition = DROP_INTO;
            StartExpandTimer();
        }
    }
    Redraw();
}

void LGridViewBase::HandleExpandTimer()
{
    if (m_dropBox && m_dropPosition == DROP_INTO)
    {
        m_dropBox->collapsed = false;
        RecalcLayout();
        Redraw();
    }
}

void LGridViewBase::DragMove()
{
    LGridBox* target = m_dropBox;
    LGridBox* dropParent = target ? target->parent : nullptr;
    if (!dropParent)
        return;

    LGridBoxList run;
    GetSelectedBoxes(run);
    // A target inside a moved box's own subtree would put the run into itself: refuse it.
    for (LGridBox* moved : run)
    {
        if (target->HasAncestorOrSelf(moved))
        {
            m_dropBox = nullptr;
            RecalcLayout();
            Redraw();
            return;
        }
    }

    if (!m_undo.openCollection)
        m_undo.openCollection = new LGridViewUndoStepCollection(this);
    if (m_manager)
        m_manager->OnDrop(dropParent);

    if (!run.empty() && run.front()->parent)
    {
        LGridBox* source = run.front()->parent;
        auto* move = new LGridViewUndoStepMove(this);
        int sourceIndex = -1;
        LGridBoxList::iterator firstIt;
        LGridBoxList::iterator lastIt;
        bool haveFirst = run.front()->FindInParent(firstIt);
        bool haveLast = run.back()->parent == source && run.back()->FindInParent(lastIt);
        if (haveFirst)
            sourceIndex = static_cast<int>(std::distance(source->children.begin(), firstIt));
        LGridBoxList cut;
        if (haveFirst && haveLast)
            SpliceBoxRange(source->children, firstIt, lastIt, cut);
        ClearSelection();
        move->sourceRemoval.parent = source;
        move->sourceRemoval.boxes = cut;
        move->sourceRemoval.position = sourceIndex;
        move->targetInsertion.boxes = cut;
        move->targetInsertion.parent = dropParent;

        LGridBoxList::iterator insertAt = dropParent->children.begin();
        if (!dropParent->children.empty())
        {
            insertAt = std::find(dropParent->children.begin(), dropParent->children.end(), target);
            if (insertAt != dropParent->children.end() && m_dropPosition == DROP_BELOW)
                ++insertAt;
        }
        const int insertIndex = static_cast<int>(std::distance(dropParent->children.begin(), insertAt));
        for (LGridBox* box : cut)
            box->parent = dropParent;
        dropParent->children.insert(insertAt, cut.begin(), cut.end());
        if (!cut.empty())
        {
            m_selection[cut.front()->rowNumber] = cut.back()->rowNumber;
            m_caretMode = CARET_FRAME;
        }
        RecalcLayout();
        Redraw();
        move->targetInsertion.position = insertIndex;

        if (m_dropPosition == DROP_INTO)
        {
            LGridBoxList::iterator targetIt;
            if (target->FindInParent(targetIt))
            {
                const int targetIndex =
                    static_cast<int>(std::distance(dropParent->children.begin(), targetIt));
                LGridBoxList taken;
                SpliceBoxRange(dropParent->children, targetIt, targetIt, taken);
                move->extraRemoval.parent = dropParent;
                move->extraRemoval.boxes = taken;
                move->extraRemoval.position = targetIndex;
            }
        }
        AddUndoStep(move);
    }

    m_undo.steps.push_back(m_undo.openCollection);
    m_undo.openCollection = nullptr;
    m_dropBox = nullptr;
    RecalcLayout();
    Redraw();
}

void LGridViewBase::HandleKeyDown(LGridKey key, bool ctrl)
{
    switch (key)
    {
    case GRID_KEY_TAB:
        OnTabKey();
        break;
    case GRID_KEY_RETURN:
        OnEnterKey();
        break;
    case GRID_KEY_ESCAPE:
        EndEdit(true);
        break;
    case GRID_KEY_PAGEUP:
    case GRID_KEY_PAGEDOWN:
        OnPageKey();
        break;
    case GRID_KEY_HOME:
    case GRID_KEY_END:
    {
        if (!ctrl || !m_root || m_root->children.empty())
            break;
        LGridBox* box = key == GRID_KEY_HOME ? m_root->children.front() : m_root->children.back();
        if (!box)
            break;
        // Scroll before any redraw, as SelectBox does: a redraw paints at once, and the owner
        // may delete boxes (this one among them) before it paints.
        SelectSingle(box);
        EnsureVisible(box, key == GRID_KEY_HOME ? 0 : 1, true);
        Redraw();
        break;
    }
    case GRID_KEY_UP:
        if (!IsEditing())
            MoveSelection(false);
        break;
    case GRID_KEY_DOWN:
        if (!IsEditing())
            MoveSelection(true);
        break;
    case GRID_KEY_DELETE:
        DeleteSelection(true);
        break;
    default:
        break;
    }
}

void LGridViewBase::OnPageKey()
{
    if (IsEditing())
        EndEdit(true);
}

bool LGridViewBase::EndEditForNextStep(LGridBox*& box, int& part)
{
    box = m_editBox;
    part = m_editPart;
    EndEdit(false);
    return box->parent && m_nodeFactory && box->GetDataAccessor();
}

void LGridViewBase::OnTabKey()
{
    if (IsEditing() && m_editBox)
    {
        LGridBox* box = nullptr;
        int part = 0;
        if (!EndEditForNextStep(box, part))
            return;
        if (part != HIT_PART_BODY)
            BeginEdit(box, HIT_PART_BODY);
        else
            SelectNextBox(box, false);
        return;
    }
    if (!m_selection.empty())
    {
        std::set<LGridBox*> boxes;
        LGridBox* first = nullptr;
        LGridBox* last = nullptr;
        CollectSelectedBoxes(boxes, first, last);
        if (!last)
            return;
        if (!BeginEdit(last, HIT_PART_BODY))
            SelectNextBox(last, true);
        return;
    }
    SelectNextBox(m_root, true);
}

void LGridViewBase::OnEnterKey()
{
    if (IsEditing() && m_editBox)
    {
        LGridBox* box = nullptr;
        int part = 0;
        if (!EndEditForNextStep(box, part))
            return;
        if (part == HIT_PART_ROW)
            BeginEdit(box, HIT_PART_NO_TEXT);
        else if (part == HIT_PART_NO_TEXT)
            BeginEdit(box, HIT_PART_BODY);
        else if (part == HIT_PART_BODY)
            InsertBoxAfterEdit(box);
        return;
    }
    if (m_selection.empty())
        return;
    std::set<LGridBox*> boxes;
    LGridBox* first = nullptr;
    LGridBox* last = nullptr;
    CollectSelectedBoxes(boxes, first, last);
    if (first)
        BeginEdit(first, HIT_PART_ROW);
}

bool LGridViewBase::BeginEdit(LGridBox* box, int part)
{
    if (!box)
        return false;
    LGridBoxDataAccessorInterface* accessor = box->GetDataAccessor();
    if (accessor && accessor->GetAccessorKind() != 0)
        accessor = nullptr;
    int colour = 0;
    if (m_manager)
    {
        if (!m_manager->CanBeginEdit(box, part))
            return false;
        bool proceed = true;
        m_manager->OnBeginEdit(box, part, proceed);
        if (accessor)
        {
            int value = 0;
            if (m_manager->GetEditAttribute(accessor->GetAttributeCode(), &value))
                colour = value;
        }
        if (!proceed)
            return false;
    }
    if (ClearSelection())
    {
        RecalcLayout();
        Redraw();
    }
    if (part != HIT_PART_BODY)
        return false;
    return OpenEditor(box, colour);
}

// ---------------------------------------------------------------- layout and paint helpers

void LGridViewBase::AdjustColumnWidth(int clientWidth)
{
    if (m_columnWidth > clientWidth - m_rowHeight)
        m_columnWidth = std::max(MIN_COLUMN_WIDTH, clientWidth - m_rowHeight);
}

LGridDrawArgs LGridViewBase::MakeDrawArgs(wxDC* dc, bool measureOnly, int clientWidth, int clientHeight,
                                          int* sharedInt, int* widestWidth, int64_t horizontalOffset,
                                          int64_t verticalOffset)
{
    LGridDrawArgs args;
    args.dc = dc;
    args.x = 0;
    args.y = 0;
    args.columnWidth = m_columnWidth;
    args.clientWidth = clientWidth;
    args.rowHeight = m_rowHeight;
    args.effectiveRowHeight = m_effectiveRowHeight;
    args.sharedInt = sharedInt;
    args.font = m_drawFont;
    args.italicFont = m_drawItalicFont;
    args.smallFont = m_drawSmallFont;
    args.measureOnly = measureOnly;
    args.horizontalOffset = horizontalOffset;
    args.verticalOffset = verticalOffset;
    args.clientHeight = clientHeight;
    args.widestWidth = widestWidth;
    args.editBox = m_editBox;
    args.manager = m_manager;
    args.lastChild = false;
    args.recordPosition = true;
    args.sharedValue = 0;
    return args;
}

bool LGridViewBase::RunLayoutPass(wxDC* dc)
{
    int clientWidth = 0;
    int clientHeight = 0;
    QueryClientSize(clientWidth, clientHeight);
    if (!m_root)
        return false;
    int shared = 0;
    int widest = clientWidth;
    LGridDrawArgs args = MakeDrawArgs(dc, true, clientWidth, clientHeight, &shared, &widest, 0, 0);
    m_root->Draw(args);
    m_scroll.SetLayoutWidth(widest, clientWidth);
    // The bar's page counts rows as tall as the box at the top: the owner's boxes may be taller
    // than the row height (a box taller than the client counts rows of the row height).
    int rowPitch = m_rowHeight;
    if (const LGridBox* top = TopBox(); top && top->height > 0 && top->height <= clientHeight)
        rowPitch = static_cast<int>(top->height);
    m_scroll.SetVerticalBar(clientHeight, rowPitch);
    SyncScrollBars();
    return true;
}

LGridBoxFrame LGridViewBase::GetSelectionFrame(LGridBox*& first, LGridBox*& last)
{
    first = nullptr;
    last = nullptr;
    if (!m_root || m_selection.empty())
        return {};
    const uint64_t top = m_scroll.topRow;
    const uint64_t pageEnd = top + static_cast<uint64_t>(std::max(0, m_scroll.RowsPerPage()));
    const LGridSelection::value_type* range = nullptr;
    for (const auto& entry : m_selection)
    {
        const bool firstOn = entry.first >= top && entry.first <= pageEnd;
        const bool lastOn = entry.second >= top && entry.second <= pageEnd;
        const bool spans = entry.first < top && entry.second > pageEnd;
        if (firstOn || lastOn || spans)
        {
            range = &entry;
            break;
        }
    }
    if (!range)
        return {};
    for (LGridBox* child : m_root->children)
    {
        if (!child)
            continue;
        if (!first && child->rowNumber == range->first)
            first = child;
        if (!last && child->rowNumber == range->second)
            last = child;
    }
    if (!first || !last)
    {
        first = last = nullptr;
        return {};
    }
    return GetBoxFrame(first, last, m_caretMode);
}

LGridBoxFrame LGridViewBase::GetBoxFrame(LGridBox* first, LGridBox* last, int mode)
{
    LGridBoxFrame frame;
    if (!first || !last)
        return frame;
    for (LGridBox* p = first->parent; p; p = p->parent)
    {
        if (p->collapsed)
            return frame;
    }
    const int64_t topY = static_cast<int64_t>(GetTopBoxOffset());
    frame.visible = true;
    frame.top = first->y - topY + 1;
    frame.bottom = last->y + last->height - topY;
    if (first == last && (mode == CARET_GAP_ABOVE || mode == CARET_GAP_BELOW))
    {
        frame.singleLine = true;
        frame.lineY = mode == CARET_GAP_ABOVE ? frame.top : frame.bottom;
        frame.tickDirection = mode == CARET_GAP_ABOVE ? 1 : -1;
    }
    return frame;
}
