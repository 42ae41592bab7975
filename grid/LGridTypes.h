// Small shared vocabulary of the grid control: box kinds, hit parts, scroll codes, key flags and
// the list type that carries runs of boxes. No wx header: the window-free half of the grid
// (box tree, selection, navigation, tree edits, scroll and font arithmetic) builds on it alone.
#pragma once

#include <cstdint>
#include <list>

class wxDC;
class wxFont;
class wxPoint;

class LGridBox;
class LGridView;
class LGridViewBase;
class LGridViewManager;
class LGridViewNodeFactory;

// An ordered run of boxes. A box's child list owns its boxes; every other list only points.
using LGridBoxList = std::list<LGridBox*>;

enum BoxKind : int
{
    BOX_KIND_ROOT = 0,
    BOX_KIND_ROW1 = 1,
    BOX_KIND_ROW = 2,
    BOX_KIND_PLAIN = 3,
};

// What a hit test found inside a box; also the edit parts of the in-place editor.
enum HitPart : int
{
    HIT_PART_NONE = 0,
    HIT_PART_ROW = 1,      // the row of a row box; the value text when editing
    HIT_PART_EXPANDER = 2, // a click toggles the box's collapsed flag
    HIT_PART_BODY = 3,     // the body text: the only part the editor opens on
    HIT_PART_NO_TEXT = 4,
};

// Sub-parts that mark the drag handles from which a drag move starts.
enum : int
{
    HIT_SUBPART_NONE = 0,
    HIT_SUBPART_DRAG_HANDLE = 256,
    HIT_SUBPART_DRAG_HANDLE_2 = 257,
};

// Scroll request codes, numbered as the classic scroll-bar notifications.
enum LGridScrollCode : int
{
    GRID_SB_LINEUP = 0, // also "line left"
    GRID_SB_LINEDOWN = 1,
    GRID_SB_PAGEUP = 2,
    GRID_SB_PAGEDOWN = 3,
    GRID_SB_THUMBPOSITION = 4,
    GRID_SB_THUMBTRACK = 5,
    GRID_SB_TOP = 6,
    GRID_SB_BOTTOM = 7,
    GRID_SB_ENDSCROLL = 8,
};

// Mouse and modifier state handed with mouse calls; built from the wx event.
enum : unsigned
{
    GRID_MK_LBUTTON = 0x0001,
    GRID_MK_RBUTTON = 0x0002,
    GRID_MK_SHIFT = 0x0004,
    GRID_MK_CONTROL = 0x0008,
    GRID_MK_MBUTTON = 0x0010,
};

// Keys the grid acts on; the window maps wx key codes to these.
enum LGridKey : int
{
    GRID_KEY_OTHER = 0,
    GRID_KEY_TAB,
    GRID_KEY_RETURN,
    GRID_KEY_ESCAPE,
    GRID_KEY_PAGEUP,
    GRID_KEY_PAGEDOWN,
    GRID_KEY_HOME,
    GRID_KEY_END,
    GRID_KEY_UP,
    GRID_KEY_DOWN,
    GRID_KEY_LEFT,
    GRID_KEY_RIGHT,
    GRID_KEY_DELETE,
};

// Caret modes of the selection mark.
enum : int
{
    CARET_GAP_ABOVE = 0,
    CARET_GAP_BELOW = 1,
    CARET_FRAME = 2,
};

// Drop positions of a drag move.
enum : int
{
    DROP_ABOVE = 0,
    DROP_BELOW = 1,
    DROP_INTO = 2,
};

// The two numbers the owner hears with every scroll report.
struct LGridScrollExtent
{
    int layoutWidth = 0;
    int verticalRange = 0;
};
