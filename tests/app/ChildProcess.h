// A viewer started as a second process on the test's display: its exit status, its standard
// error, and its top-level windows (found by their _NET_WM_PID), which the test can close as a
// window manager would. Every wait has a deadline and pumps the test's own events meanwhile.
#pragma once

#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

// The lines of a child's standard error that the viewer wrote itself: without the toolkit's
// messages ("(csvquibbo:PID): Gtk-WARNING **: ...", "Gtk-Message: ...") and empty lines. Each
// line ends with a newline.
std::string OwnLines(const std::string& errors);

class ChildProcess
{
public:
    // Starts `program` with `args`; `env` replaces or adds variables, `unset` removes some.
    // `cwd` empty: the test's folder.
    ChildProcess(const std::string& program, const std::vector<std::string>& args,
                 const std::map<std::string, std::string>& env = {}, const std::string& cwd = {},
                 const std::vector<std::string>& unset = {});
    ~ChildProcess();

    bool Started() const { return m_pid > 0; }
    pid_t Pid() const { return m_pid; }

    // Waits until the process ends; true when it did within ms. ExitCode: the status it
    // exited with, or 128 + the signal that ended it.
    bool WaitForExit(int ms);
    bool Ended() { return Poll(); }
    int ExitCode() const { return m_exitCode; }
    // What it wrote to its standard error so far.
    std::string Errors() const;

    // Its mapped top-level windows.
    std::vector<unsigned long> Windows() const;
    // Waits until it shows at least `count` windows.
    bool WaitForWindows(size_t count, int ms) const;
    static std::string WindowTitle(unsigned long window);
    // Asks a window to close (WM_DELETE_WINDOW), as a click on its close button does.
    static void CloseWindow(unsigned long window);

    void Signal(int signal) const;

private:
    bool Poll();

    pid_t m_pid = -1;
    bool m_ended = false;
    int m_exitCode = -1;
    std::string m_errorFile;
};
