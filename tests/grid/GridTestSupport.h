// The harness that drives the grid without the viewer: a logging owner (manager and node
// factory), a text accessor, a stacking test box and a grid base with counting stubs.
#pragma once

#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "LGridBox.h"
#include "LGridViewBase.h"
#include "LGridViewManager.h"

// A text accessor (kind 0), or with kind 9 one that a box refuses.
class TestAccessor : public LGridBoxDataAccessorInterface
{
public:
    explicit TestAccessor(std::vector<std::string>* log = nullptr, int kind = 0)
        : log(log)
        , kind(kind)
    {}

    int GetAccessorKind() override { return kind; }
    void Release() override
    {
        ++releases;
        Note("Release");
    }
    void AttachBox(LGridBox*) override
    {
        ++attaches;
        Note("AttachBox");
    }
    void DetachBox(LGridBox*) override
    {
        ++detaches;
        Note("DetachBox");
    }
    void SetValueText(const std::u16string& text) override { value = text; }
    std::u16string GetValueText() override { return value; }
    void SetBodyText(const std::u16string& text) override { body = text; }
    void GetBodyText(std::u16string& text) override { text = body; }
    void SetAttributeCode(unsigned code) override { attribute = code; }
    unsigned GetAttributeCode() override { return attribute; }

    void Note(const std::string& what)
    {
        if (log)
            log->push_back(what);
    }

    std::vector<std::string>* log = nullptr;
    int kind = 0;
    int attaches = 0;
    int detaches = 0;
    int releases = 0;
    std::u16string value;
    std::u16string body;
    unsigned attribute = 0;
};

// A box that stacks its children as the viewer's row box does (row boxes are row height + 2
// tall), reports the box crossing the top edge, and can claim hit parts and drag handles.
class TestBox : public LGridBox
{
public:
    TestBox(LGridViewBase* owner, int kind, uint64_t row)
        : LGridBox(owner)
    {
        this->kind = kind;
        rowNumber = row;
        editorHeight = 40;
    }
    ~TestBox() override
    {
        if (onDestroy)
            onDestroy(*this);
        if (deleted)
            ++*deleted;
        if (log)
            log->push_back("~TestBox " + std::to_string(rowNumber));
    }

    int64_t Draw(const LGridDrawArgs& args) override
    {
        if (args.recordPosition)
        {
            x = args.x;
            y = args.y;
        }
        if ((kind == BOX_KIND_ROW || kind == BOX_KIND_ROW1) && fixedHeight < 0)
            height = args.rowHeight + 2;
        else if (fixedHeight >= 0)
            height = fixedHeight;
        const int64_t sy = y - args.verticalOffset;
        if (!args.measureOnly && kind != BOX_KIND_ROOT && !(sy + height < 0 || sy > args.clientHeight))
        {
            if (sy >= 0 && sy < height && args.manager)
                args.manager->OnTopBoxDrawn(this);
            if (paint)
                paint(*this, args, sy);
        }
        if (args.widestWidth && *args.widestWidth < width)
            *args.widestWidth = width;
        if (!collapsed)
        {
            int64_t cy = y + (kind == BOX_KIND_ROOT ? 0 : height);
            size_t i = 0;
            for (LGridBox* child : children)
            {
                LGridDrawArgs a = args;
                a.x = x;
                a.y = cy;
                a.recordPosition = true;
                a.lastChild = ++i == children.size();
                a.sharedValue = args.sharedInt ? *args.sharedInt : 0;
                cy += child->Draw(a);
            }
        }
        if (kind == BOX_KIND_ROOT)
            height = children.empty() ? 0 : children.back()->y + children.back()->height;
        return height;
    }

    LGridBox* HitTest(int64_t px, int64_t py, int rowHeight, int columnWidth, int effectiveRowHeight,
                      int* part, int* subPart, int* index) override
    {
        LGridBox* hit =
            LGridBox::HitTest(px, py, rowHeight, columnWidth, effectiveRowHeight, part, subPart, index);
        if (hit == this)
        {
            if (forcedPart)
                *part = forcedPart;
            if (forcedSubPart)
                *subPart = forcedSubPart;
        }
        return hit;
    }

    int* deleted = nullptr;

    std::function<void(TestBox&)> onDestroy; // runs on the thread that deletes the box
    std::vector<std::string>* log = nullptr;
    int forcedPart = 0;
    int forcedSubPart = 0;
    int64_t fixedHeight = -1;
    std::function<void(TestBox&, const LGridDrawArgs&, int64_t)> paint;
};

// Logs every call with its arguments; switchable answers.
class TestManager : public LGridViewManager, public LGridViewNodeFactory
{
public:
    void OnContextMenu(const wxPoint&, LGridBox* box, int hitPart) override
    {
        Log("OnContextMenu " + Row(box) + " " + std::to_string(hitPart));
    }
    void OnUndoStateChanged(bool clean, bool modified) override
    {
        Log(std::string("OnUndoStateChanged ") + (clean ? "1" : "0") + (modified ? "1" : "0"));
    }
    void OnMouseMove(unsigned flags, const wxPoint&) override { Log("OnMouseMove " + std::to_string(flags)); }
    void OnScroll(unsigned code, int64_t, int, LGridScrollExtent) override
    {
        Log("OnScroll " + std::to_string(code));
    }
    void OnBeforePaint() override { Log("OnBeforePaint"); }
    void OnTopBoxDrawn(LGridBox* box) override
    {
        ++topBoxReports;
        if (grid && box && box->kind == BOX_KIND_ROW)
            grid->SetTopRow(box->rowNumber);
    }
    void OnDrop(LGridBox* parent) override { Log("OnDrop " + Row(parent)); }
    bool OnLButtonUp(unsigned flags, const wxPoint&) override
    {
        Log("OnLButtonUp " + std::to_string(flags));
        return lButtonUpHandled;
    }
    void OnSetFocus() override { Log("OnSetFocus"); }
    void OnSelectionChanged() override
    {
        ++selectionChanges;
        Log("OnSelectionChanged");
    }
    void OnBeginEdit(LGridBox* box, int part, bool& proceed) override
    {
        Log("OnBeginEdit " + Row(box) + " " + std::to_string(part));
        if (clearProceed)
            proceed = false;
    }
    void OnEndEdit(LGridBox* box, int part) override
    {
        Log("OnEndEdit " + Row(box) + " " + std::to_string(part));
    }
    bool CanBeginEdit(LGridBox* box, int part) override
    {
        Log("CanBeginEdit " + Row(box) + " " + std::to_string(part));
        return canBeginEdit;
    }
    bool GetEditAttribute(unsigned code, int* value) override
    {
        Log("GetEditAttribute " + std::to_string(code));
        if (editAttribute && value)
            *value = editColour;
        return editAttribute;
    }
    bool ExtraBoolHook() override { return false; }
    std::u16string ExtraTextHook() override { return {}; }
    int ExtraIntHook() override { return 0; }
    bool AllowSuggestions() override
    {
        Log("AllowSuggestions");
        return allowSuggestions;
    }
    LGridView* GetGridView() override { return nullptr; }
    int ExtraIntHook2() override { return 0; }
    bool ExtraBoolHook2() override { return false; }

    LGridBoxDataAccessorInterface* CreateNode(int kind) override
    {
        Log("CreateNode " + std::to_string(kind));
        return new TestAccessor(nullptr, refuseNodes ? 9 : 0);
    }

    static std::string Row(LGridBox* box) { return box ? std::to_string(box->rowNumber) : "null"; }
    void Log(const std::string& entry) { log.push_back(entry); }
    int Count(const std::string& prefix) const
    {
        int n = 0;
        for (const std::string& entry : log)
            n += entry.rfind(prefix, 0) == 0 ? 1 : 0;
        return n;
    }

    LGridViewBase* grid = nullptr;
    std::vector<std::string> log;
    int selectionChanges = 0;
    int topBoxReports = 0;
    bool canBeginEdit = false;
    bool clearProceed = false;
    bool editAttribute = false;
    int editColour = 0;
    bool allowSuggestions = false;
    bool lButtonUpHandled = false;
    bool refuseNodes = false;
};

// The grid base with counting stubs for the window operations.
class FakeGrid : public LGridViewBase
{
public:
    explicit FakeGrid(TestManager* manager, int clientWidth = 600, int clientHeight = 200)
        : LGridViewBase(manager)
        , clientWidth(clientWidth)
        , clientHeight(clientHeight)
    {
        if (manager)
            manager->grid = this;
        m_nodeFactory = manager;
    }

    LGridBox* AllocBox(int, bool) override { return new LGridBox(this); }
    bool ExtraQuery() override { return false; }
    void RecalcLayout() override
    {
        ++layouts;
        RunLayoutPass(nullptr);
    }
    // A redraw paints at once; a test may stand in for the owner's work before the paint.
    void Redraw() override
    {
        ++redraws;
        if (onRedraw)
            onRedraw();
    }
    void EndEdit(bool) override
    {
        ++endEdits;
        m_editing = false;
        m_editBox = nullptr;
    }

    void SetEditing(LGridBox* box, int part)
    {
        m_editing = true;
        m_editBox = box;
        m_editPart = part;
    }
    void SetDragging(bool dragging) { m_dragging = dragging; }
    void SetDrop(LGridBox* target, int position)
    {
        m_dropBox = target;
        m_dropPosition = position;
    }
    void SetReleaseOnThread(bool on) { m_releaseOnThread = on; }
    LGridScrollModel& Scroll() { return m_scroll; }
    int ColumnWidth() const { return m_columnWidth; }

    int clientWidth;
    int clientHeight;
    int layouts = 0;
    int redraws = 0;
    int endEdits = 0;
    int focuses = 0;
    int timerStarts = 0;
    int timerStops = 0;
    int cancels = 0;
    std::vector<int> contentScrolls;
    std::function<void()> onRedraw;

protected:
    void QueryClientSize(int& width, int& height) const override
    {
        width = clientWidth;
        height = clientHeight;
    }
    void FocusGrid() override { ++focuses; }
    void StartExpandTimer() override { ++timerStarts; }
    void StopExpandTimer() override { ++timerStops; }
    void ScrollContents(int dx) override { contentScrolls.push_back(dx); }
    void CancelEdit() override
    {
        ++cancels;
        m_editing = false;
        m_editBox = nullptr;
    }
};

// A root (kind 0) with row boxes numbered first..last under it; totalRows = last.
inline TestBox* MakeRows(LGridViewBase* grid, uint64_t first, uint64_t last, int* deleted = nullptr)
{
    auto* root = new TestBox(grid, BOX_KIND_ROOT, 0);
    for (uint64_t row = first; row <= last; ++row)
    {
        auto* box = new TestBox(grid, BOX_KIND_ROW, row);
        box->deleted = deleted;
        box->parent = root;
        root->children.push_back(box);
    }
    root->totalRows = last;
    return root;
}

inline LGridBox* ChildAt(LGridBox* parent, size_t index)
{
    auto it = parent->children.begin();
    std::advance(it, index);
    return it == parent->children.end() ? nullptr : *it;
}

inline LGridBox* ChildWithRow(LGridBox* parent, uint64_t row)
{
    for (LGridBox* child : parent->children)
    {
        if (child->rowNumber == row)
            return child;
    }
    return nullptr;
}

inline std::vector<uint64_t> Rows(const LGridBoxList& list)
{
    std::vector<uint64_t> rows;
    for (LGridBox* box : list)
        rows.push_back(box->rowNumber);
    return rows;
}

inline std::vector<std::pair<uint64_t, uint64_t>> Ranges(LGridViewBase& grid)
{
    return {grid.GetSelection().begin(), grid.GetSelection().end()};
}

// Rows 1 to 10 under the root of a 600 x 400 grid, 10,000 scroll units a row; the owner's log
// starts empty.
struct TenRowsFixture : ::testing::Test
{
    TestManager manager;
    FakeGrid grid{&manager, 600, 400};
    TestBox* root = nullptr;
    int deleted = 0;

    void SetUp() override
    {
        root = MakeRows(&grid, 1, 10, &deleted);
        grid.SetVerticalUnitsPerRow(10000.0f);
        grid.SetRootBox(root);
        manager.log.clear();
    }
    TestBox* Box(uint64_t row) { return static_cast<TestBox*>(ChildWithRow(root, row)); }
};
