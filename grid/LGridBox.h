// One node of the grid's box tree: kind, place in the tree, layout position and height, the
// 64-bit row number that keys the selection, and an optional text accessor. A box type that
// shows data derives from it and overrides Draw (and HitTest if it has parts of its own).
//
// Positions and heights are 64-bit: a placeholder box may stand for more rows than 2^31 pixels.
#pragma once

#include <cstdint>
#include <string>

#include "LGridBoxDataAccessorInterface.h"
#include "LGridTypes.h"

// Everything one Draw call gets. A box that draws children passes a copy on, changing only x,
// y, lastChild, recordPosition and sharedValue.
struct LGridDrawArgs
{
    wxDC* dc = nullptr; // target: the paint buffer, or a DC of the window for layout
    int64_t x = 0;      // the box's position in layout coordinates
    int64_t y = 0;
    int columnWidth = 0; // the grid's current column width
    int clientWidth = 0;
    int rowHeight = 0;            // the full row height
    int effectiveRowHeight = 0;   // half of it in compact mode
    int* sharedInt = nullptr;     // an int shared by the whole pass, starting at 0
    const wxFont* font = nullptr; // the grid font
    const wxFont* italicFont = nullptr;
    const wxFont* smallFont = nullptr;
    bool measureOnly = false;     // a layout pass: must not paint
    int64_t horizontalOffset = 0; // pixels scrolled to the right
    int64_t verticalOffset = 0;   // layout y of the box at the top of the client area
    int clientHeight = 0;
    int* widestWidth = nullptr;  // in/out: a box raises it to its own width when wider
    LGridBox* editBox = nullptr; // the box being edited, or null
    LGridViewManager* manager = nullptr;
    bool lastChild = false;      // the box is the last child of its parent
    bool recordPosition = false; // the box stores x and y as its position
    int64_t sharedValue = 0;     // *sharedInt when the parent drew the box
};

class LGridBox : public LGridBoxDataAccessorEvents
{
public:
    explicit LGridBox(LGridViewBase* owner = nullptr);
    LGridBox(const LGridBox&) = delete;
    LGridBox& operator=(const LGridBox&) = delete;

    // Sets the editor height to 0.
    void OnDataChanged() override;
    // Deletes the children in order, then detaches (and, when owned, releases) the accessor.
    virtual ~LGridBox();
    // Attaches a only when it is a text accessor (kind 0); otherwise the old one stays.
    virtual void SetDataAccessor(LGridBoxDataAccessorInterface* a);
    virtual LGridBoxDataAccessorInterface* GetDataAccessor();
    // Lays the box out (measureOnly) or paints it; returns its height. The base paints nothing,
    // visits no children and records x, y only on a measuring pass with recordPosition.
    virtual int64_t Draw(const LGridDrawArgs& args);
    // With an accessor, its ForwardedQuery(a, b, c); without one, b.
    virtual int ForwardToAccessor(int a, int b, int c);
    // x and y are layout coordinates. Sets *part (0, or 1 for a row hit) and *index (-1); leaves
    // *subPart alone. A kind-2 box is hit anywhere right of its x within [y, y + height).
    virtual LGridBox* HitTest(int64_t x, int64_t y, int rowHeight, int columnWidth, int effectiveRowHeight,
                              int* part, int* subPart, int* index);
    virtual void SetAuxText(int a, int b, int c, int d, std::u16string text);
    virtual std::u16string GetAuxText();
    virtual std::u16string GetAuxText2();

    // With true, clears the collapsed flag of every ancestor; with false, the box's own.
    void ExpandParents(bool ancestors);

    // The box's position in its parent's child list, or false when it has no parent or is not there.
    bool FindInParent(LGridBoxList::iterator& position);
    // True when box is this box or one of its ancestors.
    bool HasAncestorOrSelf(const LGridBox* box) const;

    int classTag = 0;               // 0 for a plain box; box types set their own; nothing reads it
    int kind = BOX_KIND_PLAIN;      // BoxKind
    LGridViewBase* owner = nullptr; // the grid the box belongs to (may be null)
    LGridBoxDataAccessorInterface* accessor = nullptr;
    bool ownsAccessor = false; // destroying the box releases the accessor
    uint64_t rowNumber = 0;    // the selection key; row boxes count from 1
    bool collapsed = false;    // children are neither painted nor hit-tested
    int64_t x = 0;             // recorded by the last layout pass (unscrolled)
    int64_t y = 0;
    int editorHeight = 0;   // height of the in-place editor over this box
    int64_t height = 0;     // the box itself; for the root, the whole laid-out tree
    int width = 0;          // measured by the last Draw
    uint64_t totalRows = 0; // root only: the owner's estimate of all rows
    LGridBox* parent = nullptr;
    LGridBoxList children; // owned, painted top to bottom
};
