// A function of the toolkit the GUI library already loaded, looked up by its name: the viewer
// calls a few GTK, GDK and GLib functions that wx does not wrap without linking them itself.
#pragma once

#include <dlfcn.h>

// The function, or nullptr when the loaded toolkit has none of that name.
template <class F>
F ToolkitSymbol(const char* name)
{
    return reinterpret_cast<F>(dlsym(RTLD_DEFAULT, name));
}
