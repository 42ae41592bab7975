#include "DesktopEntry.h"

#include <wx/ffile.h>
#include <wx/filefn.h>
#include <wx/filename.h>
#include <wx/utils.h>

namespace {

// One argument of an Exec line: in double quotes, with '"', '`', '$' and the backslash escaped inside, and
// '%' doubled so that it is not read as a field code.
wxString QuoteExecArgument(const wxString& argument)
{
    wxString quoted = "\"";
    for (wxUniChar c : argument)
    {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted << '\\';
        quoted << c;
    }
    quoted << '"';
    quoted.Replace("%", "%%");
    return quoted;
}

// A value of the entry: backslashes and control characters escaped as a string value.
wxString EscapeValue(const wxString& value)
{
    wxString escaped;
    for (wxUniChar c : value)
    {
        if (c == '\\')
            escaped << "\\\\";
        else if (c == '\n')
            escaped << "\\n";
        else if (c == '\t')
            escaped << "\\t";
        else if (c == '\r')
            escaped << "\\r";
        else
            escaped << c;
    }
    return escaped;
}

} // namespace

wxString DesktopEntryExecLine(const wxString& executable)
{
    return "Exec=" + EscapeValue(QuoteExecArgument(executable) + " --open %F");
}

wxString DesktopEntryText(const wxString& executable)
{
    wxString text;
    text << "[Desktop Entry]\n"
         << "Type=Application\n"
         << "Name=CSV Quibbo\n"
         << "Comment=Viewer for large CSV files\n"
         << DesktopEntryExecLine(executable) << "\n"
         << "Icon=" << kAppIconName << "\n"
         << "Terminal=false\n"
         << "Categories=Office;Viewer;\n"
         << "X-CSVQuibbo-DocumentType=CSVQuibboApp.Document\n";
    return text;
}

wxString DesktopEntryPath()
{
    wxString data;
    if (!wxGetEnv("XDG_DATA_HOME", &data) || data.empty())
        data = wxGetHomeDir() + "/.local/share";
    return data + "/applications/CSVQuibboApp.Document.desktop";
}

bool WriteDesktopEntry(const wxString& executable, wxString& error)
{
    wxFileName path(DesktopEntryPath());
    if (!wxFileName::Mkdir(path.GetPath(), 0755, wxPATH_MKDIR_FULL))
    {
        error = "Cannot create the folder " + path.GetPath();
        return false;
    }
    wxFFile file(path.GetFullPath(), "w");
    if (!file.IsOpened() || !file.Write(DesktopEntryText(executable), wxConvUTF8) || !file.Close())
    {
        error = "Cannot write " + path.GetFullPath();
        return false;
    }
    return true;
}

bool RemoveDesktopEntry(wxString& error)
{
    wxString path = DesktopEntryPath();
    if (wxFileExists(path) && !wxRemoveFile(path))
    {
        error = "Cannot remove " + path;
        return false;
    }
    return true;
}
