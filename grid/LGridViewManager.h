// The two interfaces an owner of a grid implements: the manager hears about paints, scrolls,
// selection changes, mouse and edit events; the node factory makes new data objects.
#pragma once

#include <cstdint>
#include <string>

#include "LGridTypes.h"

class LGridBoxDataAccessorInterface;

class LGridViewManager
{
public:
    virtual ~LGridViewManager() = default;

    // point: screen coordinates as the context-menu event gives them ((-1, -1) from the keyboard).
    virtual void OnContextMenu(const wxPoint& point, LGridBox* box, int hitPart) = 0;
    virtual void OnUndoStateChanged(bool returnedToClean, bool modified) = 0;
    // First thing of every mouse move; point in client coordinates.
    virtual void OnMouseMove(unsigned keyFlags, const wxPoint& point) = 0;
    // After every vertical scroll step and after scrolling a box into view.
    virtual void OnScroll(unsigned code, int64_t horizontalOffset, int verticalValue,
                          LGridScrollExtent extent) = 0;
    // First thing of every paint.
    virtual void OnBeforePaint() = 0;
    // Called by a box type's Draw for the box that covers the top edge of the client area.
    virtual void OnTopBoxDrawn(LGridBox* box) = 0;
    // End of a drag move, before the boxes move; dropParent receives them.
    virtual void OnDrop(LGridBox* dropParent) = 0;
    // First thing of every left button release; true: handled, the grid selects nothing.
    virtual bool OnLButtonUp(unsigned keyFlags, const wxPoint& point) = 0;
    virtual void OnSetFocus() = 0;
    virtual void OnSelectionChanged() = 0;
    // proceed is true on entry; clearing it stops the edit.
    virtual void OnBeginEdit(LGridBox* box, int editPart, bool& proceed) = 0;
    virtual void OnEndEdit(LGridBox* box, int editPart) = 0;
    virtual bool CanBeginEdit(LGridBox* box, int editPart) = 0;
    // The editor's text colour (0x00BBGGRR) for an attribute code; false: not found.
    virtual bool GetEditAttribute(unsigned attributeCode, int* value) = 0;
    virtual bool ExtraBoolHook() = 0;
    virtual std::u16string ExtraTextHook() = 0;
    virtual int ExtraIntHook() = 0;
    virtual bool AllowSuggestions() = 0;
    virtual LGridView* GetGridView() = 0;
    virtual int ExtraIntHook2() = 0;
    virtual bool ExtraBoolHook2() = 0;
};

class LGridViewNodeFactory
{
public:
    virtual ~LGridViewNodeFactory() = default;

    // A new data object of the given kind, owned by the caller (the grid asks for kind 2 when
    // Enter inserts a box after the edited one); null when there is none.
    virtual LGridBoxDataAccessorInterface* CreateNode(int kind) = 0;
};
