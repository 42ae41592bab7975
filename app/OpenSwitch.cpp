#include "OpenSwitch.h"

#include <wx/app.h>
#include <wx/filename.h>
#include <wx/log.h>
#include <wx/utils.h>

#include <sys/stat.h>
#include <unistd.h>

const char* const kOpenSwitchTopic = "open";

namespace {

class COpenSwitchConnection : public wxConnection
{
public:
    explicit COpenSwitchConnection(COpenSwitchServer* server)
        : m_server(server)
    {
    }

    bool OnExec(const wxString& topic, const wxString& data) override
    {
        if (topic != kOpenSwitchTopic || data.empty())
            return false;
        // Opening may show boxes and run a nested loop: leave the socket handler first.
        COpenSwitchServer::Opener opener = m_server->GetOpener();
        wxString path = data;
        if (wxTheApp)
            wxTheApp->CallAfter([opener, path]() { opener(path); });
        return true;
    }

private:
    COpenSwitchServer* m_server;
};

} // namespace

wxString OpenSwitchFolder()
{
    wxString runtime;
    wxString folder;
    if (wxGetEnv("XDG_RUNTIME_DIR", &runtime) && !runtime.empty())
        folder = runtime + "/csvquibbo";
    else
        folder = wxString::Format("/tmp/csvquibbo-%lu", static_cast<unsigned long>(getuid()));
    struct stat st;
    if (stat(folder.fn_str(), &st) != 0)
    {
        if (mkdir(folder.fn_str(), 0700) != 0)
            return {};
    }
    else if (!S_ISDIR(st.st_mode) || st.st_uid != getuid())
    {
        // Someone else's folder, or not a folder: no socket there.
        return {};
    }
    chmod(folder.fn_str(), 0700);
    return folder;
}

wxString OpenSwitchSocketPath()
{
    wxString folder = OpenSwitchFolder();
    return folder.empty() ? wxString() : folder + "/open-switch";
}

bool ForwardFilesToRunningViewer(const std::vector<wxString>& paths)
{
    wxString socket = OpenSwitchSocketPath();
    struct stat st;
    if (socket.empty() || stat(socket.fn_str(), &st) != 0 || !S_ISSOCK(st.st_mode))
        return false;
    wxLogNull quiet;
    wxClient client;
    std::unique_ptr<wxConnectionBase> connection(client.MakeConnection("localhost", socket, kOpenSwitchTopic));
    if (!connection)
        return false;
    bool ok = true;
    for (const wxString& path : paths)
    {
        wxFileName name(path);
        name.MakeAbsolute();
        ok = connection->Execute(name.GetFullPath()) && ok;
    }
    connection->Disconnect();
    return ok;
}

COpenSwitchServer::COpenSwitchServer(Opener opener)
    : m_opener(std::move(opener))
{
}

bool COpenSwitchServer::Start()
{
    wxString socket = OpenSwitchSocketPath();
    if (socket.empty())
        return false;
    return Create(socket);
}

wxConnectionBase* COpenSwitchServer::OnAcceptConnection(const wxString& topic)
{
    if (topic != kOpenSwitchTopic)
        return nullptr;
    return new COpenSwitchConnection(this);
}

COpenSwitchInstance::COpenSwitchInstance()
{
    wxString folder = OpenSwitchFolder();
    if (folder.empty())
        return;
    m_checker = std::make_unique<wxSingleInstanceChecker>();
    if (!m_checker->Create("viewer.lock", folder))
        m_checker.reset();
}

bool COpenSwitchInstance::IsAnotherRunning() const
{
    return m_checker && m_checker->IsAnotherRunning();
}
