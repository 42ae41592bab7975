#include "DesktopEntry.h"

#include <wx/ffile.h>
#include <wx/filefn.h>
#include <wx/filename.h>
#include <wx/utils.h>

wxString DesktopEntryText(const wxString& executable)
{
    wxString exec = executable;
    // The Exec key quotes arguments with double quotes and escapes these characters inside.
    exec.Replace("\\", "\\\\");
    exec.Replace("\"", "\\\"");
    exec.Replace("`", "\\`");
    exec.Replace("$", "\\$");
    wxString text;
    text << "[Desktop Entry]\n"
         << "Type=Application\n"
         << "Name=CSV Quibbo\n"
         << "Comment=Viewer for large CSV files\n"
         << "Exec=\"" << exec << "\" --open %F\n"
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
