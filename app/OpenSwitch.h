// The open switch between processes: a viewer that runs listens on a Unix socket in a private
// folder of the runtime directory; a second start with the open switch hands its paths to it and
// ends. GUI thread only.
#pragma once

#include <wx/ipc.h>
#include <wx/snglinst.h>
#include <wx/string.h>

#include <functional>
#include <memory>
#include <vector>

// The private folder ($XDG_RUNTIME_DIR/csvquibbo, else /tmp/csvquibbo-<uid>), created with mode
// 0700 when missing; empty when it cannot be made.
wxString OpenSwitchFolder();
wxString OpenSwitchSocketPath();

// Sends each path to the running viewer; false when none answered (nothing was sent then).
bool ForwardFilesToRunningViewer(const std::vector<wxString>& paths);

// The server side: each path that arrives is handed to the opener on the GUI thread.
class COpenSwitchServer : public wxServer
{
public:
    using Opener = std::function<void(const wxString& path)>;

    explicit COpenSwitchServer(Opener opener);
    // Listens on the socket; false when it cannot.
    bool Start();

    wxConnectionBase* OnAcceptConnection(const wxString& topic) override;

    const Opener& GetOpener() const { return m_opener; }

private:
    Opener m_opener;
};

// Whether another viewer of this user runs; holds the lock while alive.
class COpenSwitchInstance
{
public:
    COpenSwitchInstance();
    bool IsAnotherRunning() const;

private:
    std::unique_ptr<wxSingleInstanceChecker> m_checker;
};

// The topic of the connection; each Execute carries one absolute path.
extern const char* const kOpenSwitchTopic;
