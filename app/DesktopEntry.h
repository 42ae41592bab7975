// The freedesktop entry of the document type "CSVQuibboApp.Document", written by the register
// switch and removed by the unregister switch. No MIME type is associated, as no file extension
// is.
#pragma once

#include <wx/string.h>

// The name of the application's icon in the desktop's icon theme.
inline constexpr const char* kAppIconName = "csvquibbo";

// The entry's text for the given executable.
wxString DesktopEntryText(const wxString& executable);
// Its Exec line: the executable quoted and escaped as freedesktop.org desktop entries require
// (also '%', spaces, quotes, backslashes and '$'), then the open switch with the files.
wxString DesktopEntryExecLine(const wxString& executable);
// $XDG_DATA_HOME/applications/CSVQuibboApp.Document.desktop (~/.local/share when it is unset or
// relative).
wxString DesktopEntryPath();
bool WriteDesktopEntry(const wxString& executable, wxString& error);
bool RemoveDesktopEntry(wxString& error);
