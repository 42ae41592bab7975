// The XDG base folders the viewer uses: configuration, data (the desktop entry) and the runtime
// folder (the open switch).
#pragma once

#include <wx/string.h>

// The folder that the environment variable `variable` names, when it is set to an absolute path;
// empty otherwise. A relative value is ignored, as the XDG Base Directory rules require: it would
// depend on the folder the viewer happens to be started in.
wxString XdgBaseFolder(const char* variable);
