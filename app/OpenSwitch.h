// The open switch between processes: a viewer that runs listens on a Unix socket in a private
// folder of the runtime directory; a second start with the open switch hands its paths to it and
// ends.
//
// The socket speaks a small protocol of its own (its messages: OpenSwitchMessage.h). The viewer
// answers one byte and closes the connection: 'K' when it took the paths and can open at least
// one of them, 'N' when it refused the message or none of its files can be opened (those it took
// it still tries to open, and says why they failed). A body over 1 MiB is refused without being
// read, and a client that has not sent its whole message within 2 s is dropped. The socket is
// served by a thread of its own, so neither the window nor the exit ever waits on a client.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <wx/event.h>
#include <wx/snglinst.h>
#include <wx/string.h>

#include "OpenSwitchMessage.h"

// How long a client may take to send its whole message.
inline constexpr int kOpenSwitchClientMs = 2000;

// Says on the standard error why the open switch is off, once per process.
void SayOpenSwitchIsOff(const std::string& reason);

// Makes or checks the private folder `folder` without following a symbolic link: a folder that
// does not exist is made with mode 0700; one that exists must be a real folder (not a link),
// owned by this user, with mode 0700. Only a folder made here has its mode set. False (and the
// reason in `error`) when the folder cannot be used.
bool PrepareOpenSwitchFolder(const std::string& folder, std::string& error);

// The private folder ($XDG_RUNTIME_DIR/csvquibbo, else /tmp/csvquibbo-<uid>, also when the
// variable is relative), prepared as above;
// empty when it cannot be used, and then the viewer runs without the open switch.
wxString OpenSwitchFolder();
wxString OpenSwitchSocketPath();

enum class ForwardResult
{
    Taken,      // the viewer took the paths and can open at least one
    NoneOpened, // the viewer answered, but none of the files can be opened
    NoAnswer,   // no viewer took the message
};

// Sends the paths (bytes) to the viewer that listens on `socketPath`. Waits at most timeoutMs for
// each message, connecting included.
ForwardResult ForwardFilesToViewerAt(const std::string& socketPath, const std::vector<std::string>& paths,
                                     int timeoutMs);
// The same to this user's running viewer.
ForwardResult ForwardFilesToRunningViewer(const std::vector<std::string>& paths, int timeoutMs = 5000);

// The paths of one message, for the GUI thread.
struct OpenSwitchDelivery
{
    std::vector<wxString> paths;
    int notUtf8 = 0; // paths left out as they are not UTF-8
};

// The server side: each message that arrives is handed to the opener on the GUI thread.
class COpenSwitchServer : public wxEvtHandler
{
public:
    using Opener = std::function<void(const OpenSwitchDelivery& delivery)>;

    explicit COpenSwitchServer(Opener opener);
    ~COpenSwitchServer() override;

    // Listens on the socket of OpenSwitchSocketPath(), or on `socketPath` when given; false (and
    // the reason with its system error in `error`) when it cannot.
    bool Start(const std::string& socketPath = {}, std::string* error = nullptr);
    // Stops listening at once, whatever the clients do, and removes the socket.
    void Stop();

private:
    void Serve();

    Opener m_opener;
    std::string m_socketPath;
    int m_listenFd = -1;
    int m_wakeFds[2] = {-1, -1};
    std::thread m_thread;
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
