// The viewer as a process of its own on the test's display: how it ends (print switches, closing
// its window, the end of the session), the switches it ignores, the open switch's socket facing
// clients that misbehave, and file names that are not ASCII under LANG=C.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>

#include <wx/config.h>
#include <wx/fileconf.h>
#include <wx/wfstream.h>

#include "AppGuiSupport.h"
#include "ChildProcess.h"
#include "DesktopEntryParse.h"
#include "OpenSwitch.h"
#include "PrinterLookup.h"

namespace {

using Clock = std::chrono::steady_clock;

// Folders of its own for one viewer process: configuration, runtime folder (so that it is the
// first viewer and listens itself) and data.
struct PrivateHome
{
    explicit PrivateHome(const std::string& name)
        : base(g_testHome + "/" + name)
    {
        for (const char* sub : {"", "/config", "/run", "/data"})
            mkdir((base + sub).c_str(), 0700);
    }
    std::map<std::string, std::string> Env(std::map<std::string, std::string> more = {}) const
    {
        more.emplace("XDG_CONFIG_HOME", base + "/config");
        more.emplace("XDG_RUNTIME_DIR", base + "/run");
        more.emplace("XDG_DATA_HOME", base + "/data");
        return more;
    }
    std::string SocketPath() const { return base + "/run/csvquibbo/open-switch"; }
    std::string ConfigText() const
    {
        std::ifstream in(base + "/config/Norvanecom/CSV Quibbo.conf", std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    std::string base;
};

bool HasPrinter()
{
    return FindPrinter("", 5000).result == PrinterLookupResult::Found;
}

// The child's first window title that contains `text`, waiting for it up to ms.
bool WaitForTitle(const ChildProcess& child, const std::string& text, int ms)
{
    return PumpUntil(
        [&]() {
            for (unsigned long w : child.Windows())
                if (ChildProcess::WindowTitle(w).find(text) != std::string::npos)
                    return true;
            return false;
        },
        ms);
}

// A client of the open switch's socket, driven byte by byte by the test.
struct RawClient
{
    explicit RawClient(const std::string& path)
    {
        fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        connected = fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~RawClient()
    {
        if (fd >= 0)
            close(fd);
    }
    bool Send(const std::string& bytes) { return send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == ssize_t(bytes.size()); }
    // Waits up to ms for the viewer to answer or hang up; the answer byte, 0 for a hang-up
    // without one, -1 when nothing happened in time.
    int AwaitEnd(int ms)
    {
        auto end = Clock::now() + std::chrono::milliseconds(ms);
        while (Clock::now() < end)
        {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 20) == 1)
            {
                char c = 0;
                ssize_t n = recv(fd, &c, 1, 0);
                return n == 1 ? static_cast<unsigned char>(c) : 0;
            }
            Pump(5);
        }
        return -1;
    }
    int fd = -1;
    bool connected = false;
};

long ResidentKilobytes(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

TEST(AppProcessTest, PrintAndRegisterSwitchesEndWithTheirStatus)
{
    if (HasPrinter())
        GTEST_SKIP() << "a printer is configured here; this would print";
    PrivateHome home("ends-switch");
    std::string file = WriteCsv("ends-switch.csv", 3);
    struct Case
    {
        std::vector<std::string> args;
        bool showsBox;
        int status;
        std::string error;
    };
    const Case cases[] = {
        {{"/p", file}, true, 1, "No printer is available: \"" + file + "\" was not printed."},
        {{"/pt", file, "csvq-no-such-printer", "driver", "port"}, true, 1,
         "The printer \"csvq-no-such-printer\" was not found"},
        {{"--register"}, false, 0, ""},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.args.front());
        ChildProcess child(CSVQ_VIEWER_EXE, c.args, home.Env());
        ASSERT_TRUE(child.Started());
        if (c.showsBox)
        {
            // The message box waits for the user: answer it as a click on its close button.
            ASSERT_TRUE(child.WaitForWindows(1, 30000)) << child.Errors();
            for (unsigned long w : child.Windows())
                ChildProcess::CloseWindow(w);
        }
        ASSERT_TRUE(child.WaitForExit(20000)) << child.Errors();
        EXPECT_EQ(child.ExitCode(), c.status) << child.Errors();
        EXPECT_NE(child.Errors().find(c.error), std::string::npos) << child.Errors();
    }
}

TEST(AppProcessTest, ClosingTheWindowOrEndingTheSessionWithDocumentsOpenEndsInOrder)
{
    std::string first = WriteCsv("ends-first.csv", 12000);
    std::string second = WriteCsv("ends-second.csv", 20);
    struct Case
    {
        const char* name;
        int signal; // 0: the window's close button, as File > Exit
    };
    const Case cases[] = {{"close", 0}, {"sigterm", SIGTERM}, {"sighup", SIGHUP}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        PrivateHome home(std::string("ends-") + c.name);
        ChildProcess child(CSVQ_VIEWER_EXE, {"--open", first, second}, home.Env());
        ASSERT_TRUE(WaitForTitle(child, "ends-second.csv - CSV Quibbo", 30000)) << child.Errors();
        if (c.signal)
            child.Signal(c.signal);
        else
            for (unsigned long w : child.Windows())
                ChildProcess::CloseWindow(w);
        ASSERT_TRUE(child.WaitForExit(20000)) << child.Errors();
        EXPECT_EQ(child.ExitCode(), 0) << child.Errors();
        // The recent files were saved on the way out, in their group.
        std::string config = home.ConfigText();
        EXPECT_NE(config.find("[Recent\\ File\\ List]\nFile1="), std::string::npos) << config;
        EXPECT_NE(config.find("ends-first.csv"), std::string::npos) << config;
        EXPECT_NE(config.find("ends-second.csv"), std::string::npos) << config;
        struct stat st;
        EXPECT_NE(lstat(home.SocketPath().c_str(), &st), 0) << "the socket is removed";
    }
}

TEST(AppProcessTest, IgnoredSwitchesShowNoBox)
{
    PrivateHome home("ignored");
    ChildProcess child(CSVQ_VIEWER_EXE, {"-Embedding", "/Automation", "/RestartByRestartManager:abc"}, home.Env());
    ASSERT_TRUE(child.WaitForWindows(1, 30000)) << child.Errors();
    // A box would come with the first idle time after the window shows.
    Pump(1500);
    std::vector<unsigned long> windows = child.Windows();
    ASSERT_EQ(windows.size(), 1u);
    EXPECT_EQ(ChildProcess::WindowTitle(windows[0]), "CSV Quibbo");
    EXPECT_NE(child.Errors().find("Switch ignored: -Embedding"), std::string::npos) << child.Errors();
    ChildProcess::CloseWindow(windows[0]);
    ASSERT_TRUE(child.WaitForExit(20000));
    EXPECT_EQ(child.ExitCode(), 0);
}

// Clients that send nothing, declare a huge message or stop half-way never hold the viewer: it
// drops them, keeps opening what a well-behaved second start sends, and ends at once.
TEST(AppProcessTest, TheOpenSwitchSocketDropsClientsThatMisbehave)
{
    PrivateHome home("socket");
    ChildProcess viewer(CSVQ_VIEWER_EXE, {}, home.Env());
    ASSERT_TRUE(viewer.WaitForWindows(1, 30000)) << viewer.Errors();
    struct stat st;
    ASSERT_TRUE(PumpUntil([&]() { return lstat(home.SocketPath().c_str(), &st) == 0; }, 10000));
    EXPECT_TRUE(S_ISSOCK(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    RawClient silent(home.SocketPath());
    ASSERT_TRUE(silent.connected);

    // A 4 GB body declared in ten bytes: refused at once, nothing read, nothing allocated.
    RawClient huge(home.SocketPath());
    ASSERT_TRUE(huge.connected);
    const long before = ResidentKilobytes(viewer.Pid());
    ASSERT_TRUE(huge.Send(std::string("CSVQ\xFF\xFF\xFF\xFF\x00\x01", 10)));
    EXPECT_EQ(huge.AwaitEnd(5000), 'N');
    Pump(200);
    EXPECT_LT(ResidentKilobytes(viewer.Pid()), before + 100 * 1024);

    // Half a message, then nothing: dropped after two seconds.
    RawClient slow(home.SocketPath());
    ASSERT_TRUE(slow.connected);
    ASSERT_TRUE(slow.Send(std::string("CSVQ\x00\x00", 6)));
    auto start = Clock::now();
    EXPECT_EQ(slow.AwaitEnd(10000), 0);
    auto waited = Clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(1500));
    EXPECT_LT(waited, std::chrono::milliseconds(8000)) << "two seconds, with room for a loaded machine";

    // Meanwhile the silent client is still connected, and a second start is served.
    std::string file = WriteCsv("socket-forwarded.csv", 4);
    ChildProcess second(CSVQ_VIEWER_EXE, {"--open", file}, home.Env());
    ASSERT_TRUE(second.WaitForExit(20000)) << second.Errors();
    EXPECT_EQ(second.ExitCode(), 0);
    EXPECT_TRUE(second.Windows().empty());
    EXPECT_TRUE(WaitForTitle(viewer, "socket-forwarded.csv - CSV Quibbo", 10000));

    // The silent client was dropped too; exit does not wait for a new one.
    EXPECT_EQ(silent.AwaitEnd(5000), 0);
    RawClient lastSilent(home.SocketPath());
    ASSERT_TRUE(lastSilent.connected);
    for (unsigned long w : viewer.Windows())
        ChildProcess::CloseWindow(w);
    start = Clock::now();
    // Before, it waited for the client to hang up (up to the toolkit's ten minutes).
    ASSERT_TRUE(viewer.WaitForExit(10000)) << viewer.Errors();
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));
    EXPECT_EQ(viewer.ExitCode(), 0);
}

// `cmake --install` into a folder of its own: the installed viewer finds its library and starts,
// and the desktop entry (which launches it from there) and the icon are in place.
TEST(AppInstallTest, TheInstalledViewerStartsAndIsListedWithItsIcon)
{
    const std::string prefix = g_testHome + "/install 100% $x";
    ChildProcess install(CSVQ_CMAKE_COMMAND, {"--install", CSVQ_BUILD_DIR, "--prefix", prefix, "--component", "viewer"});
    ASSERT_TRUE(install.WaitForExit(120000));
    ASSERT_EQ(install.ExitCode(), 0) << install.Errors();

    const std::string executable = prefix + "/bin/csvquibbo";
    const std::string share = prefix + "/share";
    std::ifstream entryFile(share + "/applications/CSVQuibboApp.Document.desktop");
    ASSERT_TRUE(entryFile.good());
    std::ostringstream entry;
    entry << entryFile.rdbuf();
    EXPECT_EQ(LaunchArguments(wxString::FromUTF8(entry.str()), {"/d/a.csv"}),
              (std::vector<std::string>{executable, "--open", "/d/a.csv"}))
        << entry.str();
    EXPECT_NE(entry.str().find("\nIcon=csvquibbo\n"), std::string::npos);
    struct stat st;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
    {
        const std::string icon = share + "/icons/hicolor/" + std::to_string(size) + "x" + std::to_string(size) +
                                 "/apps/csvquibbo.png";
        EXPECT_EQ(stat(icon.c_str(), &st), 0) << icon;
    }
    EXPECT_EQ(stat((share + "/icons/hicolor/scalable/apps/csvquibbo.svg").c_str(), &st), 0);

    // Started from there with nothing pointing at the build tree, it shows its window.
    PrivateHome home("installed");
    ChildProcess viewer(executable, {}, home.Env(), prefix, {"LD_LIBRARY_PATH"});
    ASSERT_TRUE(viewer.Started());
    EXPECT_TRUE(WaitForTitle(viewer, "CSV Quibbo", 30000)) << viewer.Errors();
    viewer.Signal(SIGTERM);
    ASSERT_TRUE(viewer.WaitForExit(20000));
    EXPECT_EQ(viewer.ExitCode(), 0) << viewer.Errors();
}

} // namespace
