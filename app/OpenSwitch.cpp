#include "OpenSwitch.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

#include <wx/app.h>
#include <wx/utils.h>

#include "StderrLine.h"
#include "XdgFolders.h"

namespace {

constexpr char kTaken = 'K';
constexpr char kRefused = 'N';
// Clients served at the same time; a further one is turned away at once.
constexpr size_t kMaxClients = 16;

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point deadline)
{
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(left);
}

bool FillSocketAddress(const std::string& path, sockaddr_un& address)
{
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

void CloseFd(int& fd)
{
    if (fd >= 0)
        close(fd);
    fd = -1;
}

// Connects the non-blocking socket `fd`. On a Unix socket EAGAIN means that the listener's backlog
// is full and nothing is connected (there is no connection in progress to wait for): the connect
// is tried again until the deadline.
bool ConnectBefore(int fd, const sockaddr_un& address, Clock::time_point deadline)
{
    for (;;)
    {
        if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
            return true;
        if (errno != EAGAIN && errno != EINTR)
            return false;
        if (MillisecondsLeft(deadline) == 0)
            return false;
        if (errno == EAGAIN)
            std::this_thread::sleep_for(std::chrono::milliseconds(std::min(10, MillisecondsLeft(deadline))));
    }
}

// Sends one message and waits for the answer: the answer byte, or 0 when none came.
char SendMessage(const std::string& socketPath, const std::string& message, int timeoutMs)
{
    sockaddr_un address;
    if (!FillSocketAddress(socketPath, address))
        return 0;
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return 0;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    bool ok = ConnectBefore(fd, address, deadline);
    size_t sent = 0;
    while (ok && sent < message.size())
    {
        pollfd p{fd, POLLOUT, 0};
        if (poll(&p, 1, MillisecondsLeft(deadline)) != 1)
        {
            ok = false;
            break;
        }
        ssize_t n = send(fd, message.data() + sent, message.size() - sent, MSG_NOSIGNAL);
        if (n > 0)
            sent += static_cast<size_t>(n);
        else if (n < 0 && errno != EAGAIN && errno != EINTR)
            ok = false;
    }
    char answer = 0;
    while (ok)
    {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, MillisecondsLeft(deadline)) != 1)
        {
            ok = false;
            break;
        }
        ssize_t n = recv(fd, &answer, 1, 0);
        if (n == 1)
            break;
        if (n == 0 || (errno != EAGAIN && errno != EINTR))
            ok = false;
    }
    close(fd);
    return ok ? answer : 0;
}

// Whether the viewer can open the file at `path` (bytes): it can be opened for reading and is a
// regular file, as the document requires.
bool CanBeOpened(const std::string& path)
{
    // O_NONBLOCK: opening a FIFO without a writer must not wait.
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat st;
    bool regular = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    close(fd);
    return regular;
}

} // namespace

void SayOpenSwitchIsOff(const std::string& reason)
{
    static std::string said;
    if (said.empty())
    {
        said = reason;
        WriteStderrLine("The open switch is off: " + reason);
    }
}

bool PrepareOpenSwitchFolder(const std::string& folder, std::string& error)
{
    bool made = mkdir(folder.c_str(), 0700) == 0;
    if (!made && errno != EEXIST)
    {
        error = "cannot make " + folder + ": " + std::strerror(errno);
        return false;
    }
    // O_NOFOLLOW: a symbolic link planted in place of the folder is never followed.
    int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
    {
        error = folder + " is not a folder of its own: " + std::strerror(errno);
        return false;
    }
    struct stat st;
    bool ok = fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == getuid();
    if (!ok)
        error = folder + " is not a folder of this user";
    else if (made)
        ok = fchmod(fd, 0700) == 0;
    else if ((st.st_mode & 07777) != 0700)
    {
        error = folder + " is open to other users";
        ok = false;
    }
    close(fd);
    return ok;
}

wxString OpenSwitchFolder()
{
    wxString runtime = XdgBaseFolder("XDG_RUNTIME_DIR");
    std::string folder;
    if (!runtime.empty())
        folder = runtime.utf8_string() + "/csvquibbo";
    else
        folder = "/tmp/csvquibbo-" + std::to_string(static_cast<unsigned long>(getuid()));
    std::string error;
    if (!PrepareOpenSwitchFolder(folder, error))
    {
        SayOpenSwitchIsOff(error);
        return {};
    }
    return wxString::FromUTF8(folder);
}

wxString OpenSwitchSocketPath()
{
    wxString folder = OpenSwitchFolder();
    return folder.empty() ? wxString() : folder + "/open-switch";
}

ForwardResult ForwardFilesToViewerAt(const std::string& socketPath, const std::vector<std::string>& paths,
                                     int timeoutMs)
{
    std::vector<std::string> absolute;
    for (const std::string& path : paths)
        absolute.push_back(AbsolutePathBytes(path));
    std::vector<std::string> messages = EncodeOpenSwitchMessages(absolute);
    if (messages.empty())
        return ForwardResult::NoAnswer;
    bool anyTaken = false;
    for (const std::string& message : messages)
    {
        char answer = SendMessage(socketPath, message, timeoutMs);
        if (answer != kTaken && answer != kRefused)
            return ForwardResult::NoAnswer;
        anyTaken = anyTaken || answer == kTaken;
    }
    return anyTaken ? ForwardResult::Taken : ForwardResult::NoneOpened;
}

ForwardResult ForwardFilesToRunningViewer(const std::vector<std::string>& paths, int timeoutMs)
{
    wxString socketPath = OpenSwitchSocketPath();
    struct stat st;
    if (socketPath.empty() || lstat(socketPath.utf8_str(), &st) != 0 || !S_ISSOCK(st.st_mode))
        return ForwardResult::NoAnswer;
    return ForwardFilesToViewerAt(socketPath.utf8_string(), paths, timeoutMs);
}

COpenSwitchServer::COpenSwitchServer(Opener opener)
    : m_opener(std::move(opener))
{}

COpenSwitchServer::~COpenSwitchServer()
{
    Stop();
}

bool COpenSwitchServer::Start(const std::string& socketPath, std::string* error)
{
    if (m_thread.joinable())
        return true;
    m_socketPath = socketPath.empty() ? OpenSwitchSocketPath().utf8_string() : socketPath;
    auto fail = [&](const std::string& reason) {
        if (error)
            *error = reason;
        return false;
    };
    if (m_socketPath.empty())
        return fail("no private folder for its socket");
    sockaddr_un address;
    if (!FillSocketAddress(m_socketPath, address))
        return fail("the socket path " + m_socketPath + " is longer than " +
                    std::to_string(sizeof address.sun_path - 1) + " bytes");
    // A socket left by a viewer that did not end in order; only the holder of the instance lock
    // gets here, so nobody else listens on it.
    struct stat st;
    if (lstat(m_socketPath.c_str(), &st) == 0 && S_ISSOCK(st.st_mode))
        unlink(m_socketPath.c_str());
    const char* step = nullptr;
    m_listenFd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (m_listenFd < 0)
        step = "cannot make a socket";
    else if (bind(m_listenFd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        step = "cannot bind";
    else if (listen(m_listenFd, 16) != 0)
        step = "cannot listen on";
    else if (pipe2(m_wakeFds, O_CLOEXEC | O_NONBLOCK) != 0)
        step = "cannot make the wake-up pipe for";
    if (step)
    {
        const int code = errno;
        const bool bound = m_listenFd >= 0 && std::strcmp(step, "cannot bind") != 0;
        CloseFd(m_listenFd);
        CloseFd(m_wakeFds[0]);
        CloseFd(m_wakeFds[1]);
        if (bound)
            unlink(m_socketPath.c_str());
        return fail(std::string(step) + " " + m_socketPath + ": " + std::strerror(code));
    }
    chmod(m_socketPath.c_str(), 0600);
    m_thread = std::thread([this]() { Serve(); });
    return true;
}

void COpenSwitchServer::Stop()
{
    if (m_thread.joinable())
    {
        char wake = 1;
        ssize_t written = write(m_wakeFds[1], &wake, 1);
        (void)written; // a full pipe wakes the thread as well
        m_thread.join();
    }
    if (m_listenFd >= 0)
    {
        CloseFd(m_listenFd);
        unlink(m_socketPath.c_str());
    }
    CloseFd(m_wakeFds[0]);
    CloseFd(m_wakeFds[1]);
}

void COpenSwitchServer::Serve()
{
    struct Client
    {
        int fd;
        Clock::time_point deadline;
        COpenSwitchMessageReader reader;
    };
    std::vector<Client> clients;
    auto answer = [](Client& client, char byte) {
        ssize_t n = send(client.fd, &byte, 1, MSG_NOSIGNAL | MSG_DONTWAIT);
        (void)n; // a client that cannot take the answer loses it
    };
    for (;;)
    {
        std::vector<pollfd> fds;
        fds.push_back({m_wakeFds[0], POLLIN, 0});
        fds.push_back({m_listenFd, POLLIN, 0});
        int timeout = -1;
        for (const Client& client : clients)
        {
            fds.push_back({client.fd, POLLIN, 0});
            int left = MillisecondsLeft(client.deadline);
            timeout = timeout < 0 ? left : std::min(timeout, left);
        }
        if (poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR)
            break;
        if (fds[0].revents != 0)
            break;
        for (size_t i = 0; i < clients.size(); ++i)
        {
            Client& client = clients[i];
            short events = fds[i + 2].revents;
            bool done = false;
            if (events & (POLLIN | POLLHUP | POLLERR))
            {
                char buffer[16384];
                ssize_t n = recv(client.fd, buffer, sizeof buffer, MSG_DONTWAIT);
                if (n > 0)
                {
                    switch (client.reader.Feed(buffer, static_cast<size_t>(n)))
                    {
                    case COpenSwitchMessageReader::State::Complete:
                    {
                        OpenSwitchDelivery delivery;
                        bool anyOpenable = false;
                        for (const std::string& bytes : client.reader.Paths())
                        {
                            wxString path = wxString::FromUTF8(bytes);
                            if (path.empty())
                            {
                                WriteStderrLine(std::string("A path that is not UTF-8 was not opened."));
                                ++delivery.notUtf8;
                                continue;
                            }
                            anyOpenable = anyOpenable || CanBeOpened(bytes);
                            delivery.paths.push_back(path);
                        }
                        // Opening may show a box and run a nested loop: on the GUI thread, later.
                        // The answer does not wait for it; it says whether any file can be opened.
                        CallAfter([this, delivery]() { m_opener(delivery); });
                        answer(client, anyOpenable ? kTaken : kRefused);
                        done = true;
                        break;
                    }
                    case COpenSwitchMessageReader::State::Refused:
                        answer(client, kRefused);
                        done = true;
                        break;
                    case COpenSwitchMessageReader::State::Incomplete:
                        break;
                    }
                }
                else if (n == 0 || (errno != EAGAIN && errno != EINTR))
                {
                    done = true;
                }
            }
            if (!done && Clock::now() >= client.deadline)
                done = true; // too slow: dropped
            if (done)
            {
                close(client.fd);
                client.fd = -1;
            }
        }
        clients.erase(
            std::remove_if(clients.begin(), clients.end(), [](const Client& c) { return c.fd < 0; }),
            clients.end());
        if (fds[1].revents & POLLIN)
        {
            int fd = accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
            if (fd >= 0)
            {
                ucred peer{};
                socklen_t length = sizeof peer;
                bool sameUser =
                    getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) == 0 && peer.uid == getuid();
                if (!sameUser || clients.size() >= kMaxClients)
                    close(fd);
                else
                    clients.push_back(
                        {fd, Clock::now() + std::chrono::milliseconds(kOpenSwitchClientMs), {}});
            }
        }
    }
    for (Client& client : clients)
        close(client.fd);
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
