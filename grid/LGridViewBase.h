// The window-free half of the grid control: the box tree, the selection and its navigation,
// the tree edits with their undo steps, the scroll state and the fonts as data. LGridView is a
// thin window over it; tests drive it headless through a subclass that implements the few
// window operations (layout pass, redraw, client size, focus).
//
// All members run on the GUI thread.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>

#include "LGridBox.h"
#include "LGridFontSpec.h"
#include "LGridScrollModel.h"
#include "LGridTypes.h"
#include "LGridViewUndoStep.h"

// Selected ranges of row numbers, first row -> last row. Ranges may overlap.
using LGridSelection = std::map<uint64_t, uint64_t>;

// Where the selection frame or a drop mark goes, in client pixels.
struct LGridBoxFrame
{
    bool visible = false;
    bool singleLine = false; // one box in mode 0 or 1: a line with ticks, else a rectangle
    int64_t top = 0;         // first box's y - top-box y + 1
    int64_t bottom = 0;      // last box's y + height - top-box y
    int64_t lineY = 0;       // the line of a single-line mark
    int tickDirection = 1;   // +1 ticks go down (mode 0), -1 up (mode 1)
};

class LGridViewBase
{
public:
    static constexpr int DEFAULT_ROW_HEIGHT = 18;
    static constexpr int DEFAULT_COLUMN_WIDTH = 400;
    static constexpr int MIN_COLUMN_WIDTH = 6;

    explicit LGridViewBase(LGridViewManager* manager);
    LGridViewBase(const LGridViewBase&) = delete;
    LGridViewBase& operator=(const LGridViewBase&) = delete;
    virtual ~LGridViewBase();

    // ---- tree and fonts

    // Empties the selection, cancels an open edit, forgets the edit and current box, releases the
    // old tree, clears the undo and then the redo list, stores the root and lays it out. Owned.
    virtual void SetRootBox(LGridBox* root);
    LGridBox* GetRootBox() const { return m_root; }
    // Deletes the tree (on a worker thread when release-on-a-thread is set); the root becomes null.
    void ReleaseRootBox();
    virtual LGridBox* AllocBox(int unused, bool bypassPool) = 0;
    virtual bool ExtraQuery() = 0;
    // Stores the grid font and derives the italic, small and bold fonts; null forgets the font.
    virtual void SetFont(const LGridFontSpec* font, bool measure, bool redraw);
    const LGridFontSpec* GetFontSpec() const { return m_hasFont ? &m_fontSpec : nullptr; }
    const LGridFontSpec& GetItalicFontSpec() const { return m_italicSpec; }
    const LGridFontSpec& GetSmallFontSpec() const { return m_smallSpec; }
    const LGridFontSpec& GetBoldFontSpec() const { return m_boldSpec; }
    virtual void RecalcLayout() = 0;
    virtual void Redraw() = 0;
    virtual bool IsEditing() { return m_editing; }
    virtual void EndEdit(bool redraw) = 0;
    virtual std::u16string GetCopySeparator() { return u"\t"; }

    int GetRowHeight() const { return m_rowHeight; }
    int GetEffectiveRowHeight() const { return m_effectiveRowHeight; }
    virtual int GetColumnWidth() { return m_columnWidth; }
    LGridViewManager* GetManager() const { return m_manager; }
    LGridViewNodeFactory* GetNodeFactory() const { return m_nodeFactory; }

    // ---- selection

    // Selects box alone (caret frame), tells the manager, optionally scrolls it to the top,
    // redraws. Null: empties the selection and returns false without telling anyone.
    bool SelectBox(LGridBox* box, bool ensureVisible);
    // As SelectBox without scrolling or redrawing; null leaves the selection as it was.
    bool SetSelection(LGridBox* box);
    // Empties the selection; false when it was empty. Tells nobody.
    virtual bool ClearSelection();
    bool IsBoxSelected(const LGridBox* box) const;
    // Shift+click: grows the first range ending below the row, else the first starting above it.
    bool ExtendSelection(LGridBox* box);
    // The root's children from the box of the first range's first row to the box of its last
    // row; empty when either end has no box among the root's children.
    virtual void GetSelectedBoxes(LGridBoxList& boxes);
    void CollectSelectedBoxes(std::set<LGridBox*>& boxes, LGridBox*& first, LGridBox*& last);
    LGridSelection& GetSelection() { return m_selection; }
    bool IsSelectionEmpty() const { return m_selection.empty(); }
    int GetCaretMode() const { return m_caretMode; }
    void SetCaretMode(int mode) { m_caretMode = mode; }
    // The owner forgets these before it releases a tree itself.
    void ForgetEditAndCurrentBox();
    LGridBox* GetEditBox() const { return m_editBox; }

    // ---- navigation (display order = pre-order; collapsed boxes hide their children)

    using PositionCache = std::map<LGridBox*, LGridBoxList::iterator>;
    // The next box: the first child unless skipChildren or collapsed, else the next sibling of
    // the box or of the nearest ancestor that has one. position points into the parent's list.
    bool FindNextBox(LGridBox* box, LGridBoxList::iterator& position, bool skipChildren,
                     PositionCache& cache);
    // The previous box; the root is never an answer (see the comment in the source).
    bool FindPreviousBox(LGridBox* box, LGridBoxList::iterator& position, bool descend, bool stop);
    void SelectNextBox(LGridBox* box, bool ensureVisible);
    void MoveSelection(bool down);

    // ---- tree edits

    virtual void DeleteSelection(bool selectNeighbour);
    // Brings box to the top row (expanding its ancestors) and tells the owner.
    virtual void EnsureVisible(LGridBox* box, int unused, bool relayout);
    virtual bool InsertBoxes(LGridBox* parent, int position, LGridBoxList& boxes, bool selectRange,
                             bool ensureVisible);
    // count -1: to the end of the child list. The removed run goes into removed (unowned nodes).
    virtual void RemoveBoxes(LGridBox* parent, int position, int count, LGridBoxList& removed);
    bool InsertBoxesBefore(LGridBox* parent, LGridBoxList::iterator before, LGridBoxList& boxes,
                           bool ensureVisible);
    // Gives every box the parent and copies the list into its children before the node before.
    static bool InsertBoxList(LGridBox* parent, LGridBoxList::iterator before, LGridBoxList& boxes);
    // Moves first..last (inclusive; to the end when last is from.end()) into to, which is emptied
    // first; the moved boxes lose their parent.
    static void SpliceBoxRange(LGridBoxList& from, LGridBoxList::iterator first, LGridBoxList::iterator last,
                               LGridBoxList& to);

    // ---- undo lists

    void ClearUndoList();
    void ClearRedoList();
    // Records a step (into the open collection if one is open), clears the redo list, tells the owner.
    void AddUndoStep(LGridViewUndoStep* step);
    static void PushUndoStep(LGridViewUndoStack& stack, LGridViewUndoStep* step);
    LGridViewUndoStack& GetUndoStack() { return m_undo; }
    LGridViewUndoStack& GetRedoStack() { return m_redo; }

    // ---- scrolling

    // The owner writes these two: the top row (as a box reports itself drawn at the top, 0 when
    // it fills the grid anew) and the units per row (100000 / total rows).
    uint64_t GetTopRow() const { return m_scroll.topRow; }
    void SetTopRow(uint64_t row) { m_scroll.topRow = row; }
    float GetVerticalUnitsPerRow() const { return m_scroll.unitsPerRow; }
    void SetVerticalUnitsPerRow(float units) { m_scroll.unitsPerRow = units; }
    const LGridScrollModel& GetScrollModel() const { return m_scroll; }
    // The root's total rows when the root has kind 0, else 0.
    uint64_t GetTotalRows() const;
    // The y of the root child that carries the top row; 0 when none does.
    uint64_t GetTopBoxOffset() const;
    // The root child shown at the top: the one that carries the top row (the first child while
    // the top row is 0); null when none does.
    const LGridBox* TopBox() const;
    uint64_t GetHorizontalOffset() const { return m_scroll.HorizontalOffset(); }
    uint64_t GetVerticalValue() const { return m_scroll.VerticalValue(); }
    LGridScrollExtent GetScrollExtent() const { return {m_scroll.layoutWidth, m_scroll.verticalRange}; }
    // One vertical step of the scroll arithmetic, then the bars are synchronised. A page step
    // moves by the rows its boxes show (PageStepRows).
    void ScrollVertical(int code, int position, int trackPosition = -1);
    // The rows a page step moves from the top row, counted on the root's children as they are
    // laid out, whatever their heights: down, to the row after the last box shown whole (at least
    // one row); up, to the highest box above the top row from which the boxes down to the top
    // row fit in the client, or by the rows down would move when no box above fits. 0 when no
    // box carries the top row (the step then counts rows of the row height).
    uint64_t PageStepRows(bool down, int clientHeight) const;
    // A bar step as the user makes it: ScrollVertical, the owner's OnScroll, relayout, redraw.
    void VerticalScrollStep(int code, int position, int trackPosition = -1);
    // One wheel event: a page in page mode, else a number of line steps each reported.
    void MouseWheelStep(int rotation, int linesPerAction, bool pageMode);
    // A horizontal step; returns the pixel move by which the contents shift.
    int HorizontalScrollStep(int code, int position, int trackPosition = -1);

    // ---- input (client coordinates; flags are GRID_MK_*)

    LGridBox* HitTestClient(int clientX, int clientY, int* part, int* subPart);
    void HandleLButtonDown(unsigned flags, int clientX, int clientY);
    // handled: the owner's answer to its OnLButtonUp hook, asked first by the window.
    void HandleLButtonUp(unsigned flags, int clientX, int clientY, bool handled);
    void HandleRButtonUp(unsigned flags, int clientX, int clientY);
    void HandleMouseMove(unsigned flags, int clientX, int clientY);
    void HandleExpandTimer();
    // The key table of the grid; ctrl: Control held.
    void HandleKeyDown(LGridKey key, bool ctrl);
    void OnPageKey();
    virtual void OnTabKey();
    virtual void OnEnterKey();
    // Tab and Enter on an open edit: ends it and gives its box and part. False when that box can
    // take no next step (it left the tree, or there is no node factory, or it holds no data).
    bool EndEditForNextStep(LGridBox*& box, int& part);
    // Consults the owner and clears the selection; only part 3 opens the editor (OpenEditor).
    virtual bool BeginEdit(LGridBox* box, int part);
    // Writes text through the box's text accessor (part 1 the value text, part 3 the body text)
    // and records one content step; other parts write nothing but still record a step.
    void RecordContentUndo(LGridBox* box, const std::u16string& text, int part);
    // Enter on the body text of box: a copy of box, with a new accessor from the node factory,
    // goes in right after it (one insertion step) and is edited.
    void InsertBoxAfterEdit(LGridBox* box);

    bool IsDragging() const { return m_dragging; }
    LGridBox* GetDropBox() const { return m_dropBox; }
    int GetDropPosition() const { return m_dropPosition; }

    // ---- layout and paint helpers for the window

    // Lowers the column width to clientWidth - rowHeight (never below 6, never raised).
    void AdjustColumnWidth(int clientWidth);
    // Arguments of a pass over the root; fonts come from SetDrawFonts.
    LGridDrawArgs MakeDrawArgs(wxDC* dc, bool measureOnly, int clientWidth, int clientHeight, int* sharedInt,
                               int* widestWidth, int64_t horizontalOffset, int64_t verticalOffset);
    // A measuring pass over the root and both bars; false without a root.
    bool RunLayoutPass(wxDC* dc);
    // The selection frame on the current page, or nothing; first and last are its boxes.
    LGridBoxFrame GetSelectionFrame(LGridBox*& first, LGridBox*& last);
    LGridBoxFrame GetBoxFrame(LGridBox* first, LGridBox* last, int mode);

protected:
    // The client area of the window.
    virtual void QueryClientSize(int& width, int& height) const = 0;
    // Copy the scroll model's bars to the window's bars.
    virtual void SyncScrollBars() {}
    // Give the grid the keyboard focus.
    virtual void FocusGrid() {}
    virtual void StartExpandTimer() {}
    virtual void StopExpandTimer() {}
    // Shift the painted contents by dx pixels after a horizontal step.
    virtual void ScrollContents(int /*dx*/) {}
    // After every horizontal step, whether or not it moved the contents by a step (the thumb
    // sets the position outright): whatever lies over the contents is put back in place.
    virtual void AfterHorizontalScroll() {}
    // Opens the in-place editor on part 3 of box with the given text colour; false when it cannot.
    virtual bool OpenEditor(LGridBox* /*box*/, int /*colour*/) { return false; }
    // Closes an open editor without storing its text.
    virtual void CancelEdit() {}
    // Fonts handed to Draw; the window owns them.
    void SetDrawFonts(const wxFont* font, const wxFont* italic, const wxFont* small)
    {
        m_drawFont = font;
        m_drawItalicFont = italic;
        m_drawSmallFont = small;
    }
    // The drag move at the release over the drop target.
    void DragMove();
    // After a removal: when no root child carries the top row any more, the first child numbered
    // above it takes its place (else the last child), so the view does not jump.
    void RepairTopRow();
    void SelectSingle(LGridBox* box);

    LGridViewManager* m_manager = nullptr;
    LGridViewNodeFactory* m_nodeFactory = nullptr;
    int m_effectiveRowHeight = DEFAULT_ROW_HEIGHT;
    int m_rowHeight = DEFAULT_ROW_HEIGHT;
    LGridBox* m_root = nullptr;
    LGridBox* m_currentBox = nullptr; // last clicked; written only, never dereferenced
    LGridSelection m_selection;
    int m_caretMode = CARET_FRAME;
    LGridBox* m_editBox = nullptr;
    bool m_dragging = false;
    bool m_hasFont = false;
    LGridFontSpec m_fontSpec;
    LGridFontSpec m_italicSpec;
    LGridFontSpec m_smallSpec;
    LGridFontSpec m_boldSpec;
    const wxFont* m_drawFont = nullptr;
    const wxFont* m_drawItalicFont = nullptr;
    const wxFont* m_drawSmallFont = nullptr;
    uint64_t m_cleanDepth = 0;
    LGridViewUndoStack m_undo;
    LGridViewUndoStack m_redo;
    bool m_releaseOnThread = false;

    // Window state that the window-free logic reads and writes.
    LGridScrollModel m_scroll;
    int m_columnWidth = DEFAULT_COLUMN_WIDTH;
    bool m_compact = false;
    bool m_editing = false;
    int m_editPart = 0;
    LGridBox* m_dropBox = nullptr;
    int m_dropPosition = DROP_INTO;
    bool m_copyFlag = false;
};
