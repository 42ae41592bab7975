// What the X server really shows of a window: its place and size, and the colour of a point of
// the screen. The window tests compare these with what wx and GDK remember.
#pragma once

#include <dlfcn.h>

#include <wx/colour.h>
#include <wx/gdicmn.h>
#include <wx/window.h>

// The window's rectangle on the screen as the X server has it (the X calls are looked up in
// the process, which wxGTK links with them); false when the window has none.
inline bool OnScreenRect(wxWindow* window, wxRect& rect)
{
    using GetWindow = void* (*)(void*);
    using GetDefault = void* (*)();
    using GetXid = unsigned long (*)(void*);
    using GetXDisplay = void* (*)(void*);
    using Sync = int (*)(void*, int);
    using GetGeometry =
        int (*)(void*, unsigned long, unsigned long*, int*, int*, unsigned*, unsigned*, unsigned*, unsigned*);
    using Translate = int (*)(void*, unsigned long, unsigned long, int, int, int*, int*, unsigned long*);
    using Root = unsigned long (*)(void*);
    const auto getWindow = reinterpret_cast<GetWindow>(dlsym(RTLD_DEFAULT, "gtk_widget_get_window"));
    const auto getDisplay = reinterpret_cast<GetDefault>(dlsym(RTLD_DEFAULT, "gdk_display_get_default"));
    const auto getXid = reinterpret_cast<GetXid>(dlsym(RTLD_DEFAULT, "gdk_x11_window_get_xid"));
    const auto getXDisplay =
        reinterpret_cast<GetXDisplay>(dlsym(RTLD_DEFAULT, "gdk_x11_display_get_xdisplay"));
    const auto sync = reinterpret_cast<Sync>(dlsym(RTLD_DEFAULT, "XSync"));
    const auto geometry = reinterpret_cast<GetGeometry>(dlsym(RTLD_DEFAULT, "XGetGeometry"));
    const auto translate = reinterpret_cast<Translate>(dlsym(RTLD_DEFAULT, "XTranslateCoordinates"));
    const auto root = reinterpret_cast<Root>(dlsym(RTLD_DEFAULT, "XDefaultRootWindow"));
    if (!getWindow || !getDisplay || !getXid || !getXDisplay || !sync || !geometry || !translate || !root)
        return false;
    void* gdkWindow = getWindow(window->GetHandle());
    if (!gdkWindow)
        return false;
    void* display = getXDisplay(getDisplay());
    const unsigned long xid = getXid(gdkWindow);
    sync(display, 0);
    unsigned long rootWindow = 0, child = 0;
    int x = 0, y = 0;
    unsigned width = 0, height = 0, border = 0, depth = 0;
    if (!geometry(display, xid, &rootWindow, &x, &y, &width, &height, &border, &depth))
        return false;
    translate(display, xid, root(display), 0, 0, &x, &y, &child);
    rect = wxRect(x, y, static_cast<int>(width), static_cast<int>(height));
    return true;
}

// The colour the screen shows at a point (screen coordinates), read from the X server.
inline wxColour ScreenPixel(const wxPoint& point)
{
    using GetRoot = void* (*)();
    using FromWindow = void* (*)(void*, int, int, int, int);
    using GetPixels = unsigned char* (*)(const void*);
    using Unref = void (*)(void*);
    const auto getRoot = reinterpret_cast<GetRoot>(dlsym(RTLD_DEFAULT, "gdk_get_default_root_window"));
    const auto fromWindow = reinterpret_cast<FromWindow>(dlsym(RTLD_DEFAULT, "gdk_pixbuf_get_from_window"));
    const auto getPixels = reinterpret_cast<GetPixels>(dlsym(RTLD_DEFAULT, "gdk_pixbuf_get_pixels"));
    const auto unref = reinterpret_cast<Unref>(dlsym(RTLD_DEFAULT, "g_object_unref"));
    if (!getRoot || !fromWindow || !getPixels || !unref)
        return wxNullColour;
    void* pixbuf = fromWindow(getRoot(), point.x, point.y, 1, 1);
    if (!pixbuf)
        return wxNullColour;
    const unsigned char* pixel = getPixels(pixbuf);
    const wxColour colour(pixel[0], pixel[1], pixel[2]);
    unref(pixbuf);
    return colour;
}
