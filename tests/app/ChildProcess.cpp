#include "ChildProcess.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <signal.h>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

#include "AppGuiSupport.h"

extern char** environ;

namespace {

// One connection to the display for the helpers below.
Display* TestDisplay()
{
    static Display* display = XOpenDisplay(nullptr);
    return display;
}

unsigned long CardinalProperty(Display* d, Window w, const char* name, bool& found)
{
    found = false;
    Atom atom = XInternAtom(d, name, True);
    if (atom == None)
        return 0;
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    unsigned long value = 0;
    if (XGetWindowProperty(d, w, atom, 0, 1, False, XA_CARDINAL, &type, &format, &count, &after, &data) ==
            Success &&
        data && count == 1 && format == 32)
    {
        value = *reinterpret_cast<unsigned long*>(data);
        found = true;
    }
    if (data)
        XFree(data);
    return value;
}

} // namespace

std::string OwnLines(const std::string& errors)
{
    std::istringstream in(errors);
    std::string line, own;
    while (std::getline(in, line))
    {
        if (line.empty() || line[0] == '(')
            continue;
        // "Gtk-Message: 12:00:00.000: ...", "GLib-GIO-WARNING **: ..."
        const std::string first = line.substr(0, line.find(' '));
        const bool toolkit =
            first.find('-') != std::string::npos && first.back() == ':' &&
            (first.find("Message") != std::string::npos || line.find(" **: ") != std::string::npos);
        if (!toolkit && line.find(" **: ") == std::string::npos)
            own += line + "\n";
    }
    return own;
}

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args,
                           const std::map<std::string, std::string>& env, const std::string& cwd,
                           const std::vector<std::string>& unset)
{
    char pattern[] = "/tmp/csvq-child-err-XXXXXX";
    int errFd = mkstemp(pattern);
    if (errFd < 0)
        return;
    m_errorFile = pattern;

    std::vector<std::string> environment;
    for (char** e = environ; *e; ++e)
    {
        std::string entry = *e;
        std::string name = entry.substr(0, entry.find('='));
        bool replaced = env.count(name) > 0;
        for (const std::string& u : unset)
            replaced = replaced || u == name;
        if (!replaced)
            environment.push_back(entry);
    }
    for (const auto& [name, value] : env)
        environment.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (std::string& e : environment)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    std::vector<std::string> argStore;
    argStore.push_back(program);
    argStore.insert(argStore.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argStore)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, errFd, 2);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (!cwd.empty())
        posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data()) == 0)
        m_pid = pid;
    posix_spawn_file_actions_destroy(&actions);
    close(errFd);
}

ChildProcess::~ChildProcess()
{
    if (m_pid > 0 && !Poll())
    {
        kill(m_pid, SIGKILL);
        int status = 0;
        waitpid(m_pid, &status, 0);
    }
    if (!m_errorFile.empty())
        unlink(m_errorFile.c_str());
}

bool ChildProcess::Poll()
{
    if (m_ended || m_pid <= 0)
        return m_ended;
    int status = 0;
    if (waitpid(m_pid, &status, WNOHANG) == m_pid)
    {
        m_ended = true;
        m_exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    return m_ended;
}

bool ChildProcess::WaitForExit(int ms)
{
    return PumpUntil([this]() { return Poll(); }, ms);
}

std::string ChildProcess::Errors() const
{
    std::ifstream in(m_errorFile, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<unsigned long> ChildProcess::Windows() const
{
    std::vector<unsigned long> windows;
    Display* d = TestDisplay();
    if (!d || m_pid <= 0)
        return windows;
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &count))
        return windows;
    for (unsigned i = 0; i < count; ++i)
    {
        bool found = false;
        unsigned long pid = CardinalProperty(d, children[i], "_NET_WM_PID", found);
        XWindowAttributes attributes;
        if (found && pid == static_cast<unsigned long>(m_pid) &&
            XGetWindowAttributes(d, children[i], &attributes) && attributes.map_state == IsViewable &&
            !attributes.override_redirect)
            windows.push_back(children[i]);
    }
    if (children)
        XFree(children);
    return windows;
}

bool ChildProcess::WaitForWindows(size_t count, int ms) const
{
    return PumpUntil([this, count]() { return Windows().size() >= count; }, ms);
}

std::string ChildProcess::WindowTitle(unsigned long window)
{
    Display* d = TestDisplay();
    std::string title;
    Atom name = XInternAtom(d, "_NET_WM_NAME", False);
    Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(d, window, name, 0, 1024, False, utf8, &type, &format, &count, &after, &data) ==
            Success &&
        data)
        title.assign(reinterpret_cast<char*>(data), count);
    if (data)
        XFree(data);
    return title;
}

void ChildProcess::CloseWindow(unsigned long window)
{
    Display* d = TestDisplay();
    XEvent event;
    std::memset(&event, 0, sizeof event);
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(d, window, False, NoEventMask, &event);
    XFlush(d);
}

void ChildProcess::Signal(int signal) const
{
    if (m_pid > 0)
        kill(m_pid, signal);
}
