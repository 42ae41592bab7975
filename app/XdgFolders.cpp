#include "XdgFolders.h"

#include <wx/utils.h>

wxString XdgBaseFolder(const char* variable)
{
    wxString value;
    if (!wxGetEnv(variable, &value) || value.empty() || !value.StartsWith("/"))
        return {};
    return value;
}
