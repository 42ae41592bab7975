#include "DesktopEntry.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include <wx/filename.h>
#include <wx/utils.h>

#include "XdgFolders.h"

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

// mkdir -p: makes the folder and the ones above it that are missing. errno says why it failed.
bool MakeFolders(const std::string& folder)
{
    struct stat st;
    if (stat(folder.c_str(), &st) == 0)
    {
        if (S_ISDIR(st.st_mode))
            return true;
        errno = ENOTDIR;
        return false;
    }
    const size_t slash = folder.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !MakeFolders(folder.substr(0, slash)))
        return false;
    return mkdir(folder.c_str(), 0755) == 0 || errno == EEXIST;
}

} // namespace

wxString DesktopEntryExecLine(const wxString& executable)
{
    // GLib looks the program up before it turns %% into %: a path with '%' would not be found,
    // and the whole entry would be rejected. env is found, and gets the path with its '%'.
    const wxString program = executable.Contains("%") ? "env " : "";
    return "Exec=" + EscapeValue(program + QuoteExecArgument(executable) + " --open %F");
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
    wxString data = XdgBaseFolder("XDG_DATA_HOME");
    if (data.empty())
        data = wxGetHomeDir() + "/.local/share";
    return data + "/applications/CSVQuibboApp.Document.desktop";
}

bool WriteDesktopEntry(const wxString& executable, wxString& error)
{
    // System calls, not wx's file classes: those would also log the failure, to a box.
    wxFileName path(DesktopEntryPath());
    const std::string folder = path.GetPath().utf8_string();
    const std::string file = path.GetFullPath().utf8_string();
    if (!MakeFolders(folder))
    {
        error = "Cannot create the folder " + wxString::FromUTF8(folder) + ": " + std::strerror(errno);
        return false;
    }
    const std::string text = DesktopEntryText(executable).utf8_string();
    int code = 0;
    int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        code = errno;
    for (size_t written = 0; fd >= 0 && code == 0 && written < text.size();)
    {
        ssize_t n = write(fd, text.data() + written, text.size() - written);
        if (n > 0)
            written += static_cast<size_t>(n);
        else if (n == 0 || errno != EINTR)
            code = n == 0 ? EIO : errno;
    }
    if (fd >= 0 && close(fd) != 0 && code == 0)
        code = errno;
    if (code != 0)
    {
        error = "Cannot write " + wxString::FromUTF8(file) + ": " + std::strerror(code);
        return false;
    }
    return true;
}

bool RemoveDesktopEntry(wxString& error)
{
    const std::string path = DesktopEntryPath().utf8_string();
    if (unlink(path.c_str()) != 0 && errno != ENOENT)
    {
        error = "Cannot remove " + wxString::FromUTF8(path) + ": " + std::strerror(errno);
        return false;
    }
    return true;
}
