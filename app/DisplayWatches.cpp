#include "DisplayWatches.h"

#include <cstddef>

#include <wx/window.h>

#include "ToolkitSymbol.h"

namespace {

// The toolkit's functions, looked up in the toolkit already loaded by the GUI library.
struct ListNode // the toolkit's list: data, next, previous
{
    void* data;
    ListNode* next;
    ListNode* prev;
};
using DisplayFunc = void* (*)(void* window);
using ChildrenFunc = ListNode* (*)(void* window);
using TypeFunc = std::size_t (*)(const char* name);
using LookupFunc = unsigned (*)(const char* name, std::size_t type);
using FindFunc = unsigned long (*)(void* instance, int mask, unsigned signal, unsigned detail, void* closure,
                                   void* func, void* data);
using DisconnectFunc = void (*)(void* instance, unsigned long handler);

// The handler's signal and data (GSignalMatchType).
constexpr int kMatchSignalAndData = 1 | 16;

struct Toolkit
{
    DisplayFunc display = nullptr;
    ChildrenFunc children = nullptr;
    FindFunc find = nullptr;
    DisconnectFunc disconnect = nullptr;
    unsigned seatRemoved = 0;

    bool Ok() const { return display && children && find && disconnect && seatRemoved != 0; }
};

const Toolkit& GetToolkit()
{
    static const Toolkit toolkit = [] {
        Toolkit t;
        t.display = ToolkitSymbol<DisplayFunc>("gdk_window_get_display");
        t.children = ToolkitSymbol<ChildrenFunc>("gdk_window_peek_children");
        t.find = ToolkitSymbol<FindFunc>("g_signal_handler_find");
        t.disconnect = ToolkitSymbol<DisconnectFunc>("g_signal_handler_disconnect");
        auto typeFromName = ToolkitSymbol<TypeFunc>("g_type_from_name");
        auto lookup = ToolkitSymbol<LookupFunc>("g_signal_lookup");
        const std::size_t displayType = typeFromName ? typeFromName("GdkDisplay") : 0;
        if (displayType != 0 && lookup)
            t.seatRemoved = lookup("seat-removed", displayType);
        return t;
    }();
    return toolkit;
}

// A window's watch is found near the front of the display's list when the windows made before it
// have dropped theirs; its children were made after it.
void Drop(const Toolkit& toolkit, void* display, void* window)
{
    if (unsigned long handler =
            toolkit.find(display, kMatchSignalAndData, toolkit.seatRemoved, 0, nullptr, nullptr, window))
        toolkit.disconnect(display, handler);
    for (ListNode* child = toolkit.children(window); child; child = child->next)
        Drop(toolkit, display, child->data);
}

} // namespace

void DropDisplayWatches(wxWindow* window)
{
#ifdef __WXGTK__
    const Toolkit& toolkit = GetToolkit();
    if (!window || !toolkit.Ok())
        return;
    void* native = window->GTKGetDrawingWindow();
    void* display = native ? toolkit.display(native) : nullptr;
    if (display)
        Drop(toolkit, display, native);
#else
    (void)window;
#endif
}
