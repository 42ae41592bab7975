// The viewer as a process of its own on the test's display: how it ends (print switches, closing
// its window, the end of the session), the switches it ignores, the open switch's socket facing
// clients that misbehave, and file names that are not ASCII under LANG=C.
#include <chrono>
#include <cstring>
#include <fstream>
#include <gio/gdesktopappinfo.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

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
    bool Send(const std::string& bytes)
    {
        return send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == ssize_t(bytes.size());
    }
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
            PumpOnce();
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
        int status;
        std::string error; // the whole of the viewer's own lines
    };
    const Case cases[] = {
        {{"/p", file}, 1, "No printer is available: \"" + file + "\" was not printed.\n"},
        {{"/pt", file, "csvq-no-such-printer", "driver", "port"},
         1,
         "The printer \"csvq-no-such-printer\" was not found: \"" + file + "\" was not printed.\n"},
        {{"--register"}, 0, ""},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.args.front());
        ChildProcess child(CSVQ_VIEWER_EXE, c.args, home.Env());
        ASSERT_TRUE(child.Started());
        // The watchdog: a box would hold the process until someone answered it.
        bool ended = PumpUntil([&child]() { return child.Ended() || !child.Windows().empty(); }, 30000);
        EXPECT_TRUE(child.Windows().empty()) << "a window showed: " << child.Errors();
        for (unsigned long w : child.Windows())
            ChildProcess::CloseWindow(w);
        ASSERT_TRUE(ended && child.WaitForExit(20000)) << "still running: " << child.Errors();
        EXPECT_EQ(child.ExitCode(), c.status) << child.Errors();
        EXPECT_EQ(OwnLines(child.Errors()), c.error) << child.Errors();
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
    const Case cases[] = {{"close", 0}, {"sigterm", SIGTERM}, {"sighup", SIGHUP}, {"sigint", SIGINT}};
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

// GTK writes to the standard error first here (a module that it cannot load): the viewer's own
// lines still arrive after it.
TEST(AppProcessTest, IgnoredSwitchesShowNoBox)
{
    PrivateHome home("ignored");
    ChildProcess child(CSVQ_VIEWER_EXE, {"-Embedding", "/Automation", "/RestartByRestartManager:abc"},
                       home.Env({{"GTK_MODULES", "csvq-no-such-module"}}));
    ASSERT_TRUE(child.WaitForWindows(1, 30000)) << child.Errors();
    // A box would come with the first idle time after the window shows.
    Pump(1500); // fixed: shows that no box comes
    std::vector<unsigned long> windows = child.Windows();
    ASSERT_EQ(windows.size(), 1u);
    EXPECT_EQ(ChildProcess::WindowTitle(windows[0]), "CSV Quibbo");
    EXPECT_NE(child.Errors().find("csvq-no-such-module"), std::string::npos)
        << "GTK wrote first: " << child.Errors();
    EXPECT_NE(child.Errors().find("Switch ignored: -Embedding"), std::string::npos) << child.Errors();
    EXPECT_NE(child.Errors().find("Switch ignored: /Automation"), std::string::npos) << child.Errors();
    ChildProcess::CloseWindow(windows[0]);
    ASSERT_TRUE(child.WaitForExit(20000));
    EXPECT_EQ(child.ExitCode(), 0);
}

// Settings that cannot be written at exit (their folder replaced by a plain file) are said on
// the standard error once the window is gone, never in a box that nobody can answer, and the exit
// status says so. A relative XDG_CONFIG_HOME is ignored: the settings go under the home folder.
TEST(AppProcessTest, UnwritableSettingsAtExitEndWithStatus1AndNoBox)
{
    std::string file = WriteCsv("unwritable-settings.csv", 5);
    struct Case
    {
        const char* name;
        int signal; // 0: the window's close button
    };
    const Case cases[] = {{"close", 0}, {"sigterm", SIGTERM}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        PrivateHome home(std::string("unwritable-") + c.name);
        ChildProcess child(CSVQ_VIEWER_EXE, {"--open", file}, home.Env());
        ASSERT_TRUE(WaitForTitle(child, "unwritable-settings.csv - CSV Quibbo", 30000)) << child.Errors();
        const std::string vendor = home.base + "/config/Norvanecom";
        ASSERT_EQ(system(("rm -rf '" + vendor + "' && touch '" + vendor + "'").c_str()), 0);
        if (c.signal)
            child.Signal(c.signal);
        else
            for (unsigned long w : child.Windows())
                ChildProcess::CloseWindow(w);
        // The watchdog: a box would hold the process until someone answered it.
        ASSERT_TRUE(child.WaitForExit(20000)) << "still running; windows: " << child.Windows().size();
        EXPECT_EQ(child.ExitCode(), 1) << child.Errors();
        EXPECT_NE(OwnLines(child.Errors())
                      .find("The settings could not be saved to \"" + vendor + "/CSV Quibbo.conf\".\n"),
                  std::string::npos)
            << child.Errors();
    }

    PrivateHome home("relative-config");
    const std::string cwd = home.base + "/cwd";
    mkdir(cwd.c_str(), 0700);
    ChildProcess child(CSVQ_VIEWER_EXE, {"--open", file},
                       home.Env({{"XDG_CONFIG_HOME", "relconfig"}, {"HOME", home.base}}), cwd);
    ASSERT_TRUE(WaitForTitle(child, "unwritable-settings.csv - CSV Quibbo", 30000)) << child.Errors();
    child.Signal(SIGTERM);
    ASSERT_TRUE(child.WaitForExit(20000));
    EXPECT_EQ(child.ExitCode(), 0) << child.Errors();
    struct stat st;
    EXPECT_EQ(stat((home.base + "/.config/Norvanecom/CSV Quibbo.conf").c_str(), &st), 0);
    EXPECT_NE(stat((cwd + "/relconfig").c_str(), &st), 0);
}

// --register that cannot write its entry says why in one line and ends with status 1, without a
// box; a relative XDG_DATA_HOME is ignored.
TEST(AppProcessTest, RegisterFailuresEndWithStatus1AndOneLine)
{
    PrivateHome home("register-fails");
    const std::string plainFile = home.base + "/plain";
    std::ofstream(plainFile) << "x";
    const std::string entryFolder = home.base + "/entry-folder";
    mkdir(entryFolder.c_str(), 0700);
    mkdir((entryFolder + "/applications").c_str(), 0700);
    mkdir((entryFolder + "/applications/CSVQuibboApp.Document.desktop").c_str(), 0700);
    struct Case
    {
        const char* name;
        std::string dataHome;
        std::string line;
    };
    const Case cases[] = {
        {"data folder is a plain file", plainFile,
         "Cannot create the folder " + plainFile + "/applications: Not a directory\n"},
        {"entry is a folder", entryFolder,
         "Cannot write " + entryFolder + "/applications/CSVQuibboApp.Document.desktop: Is a directory\n"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        ChildProcess child(CSVQ_VIEWER_EXE, {"--register"}, home.Env({{"XDG_DATA_HOME", c.dataHome}}));
        ASSERT_TRUE(child.WaitForExit(20000)) << "still running; windows: " << child.Windows().size();
        EXPECT_EQ(child.ExitCode(), 1);
        EXPECT_EQ(OwnLines(child.Errors()), c.line) << child.Errors();
    }

    const std::string cwd = home.base + "/cwd";
    mkdir(cwd.c_str(), 0700);
    ChildProcess child(CSVQ_VIEWER_EXE, {"--register"},
                       home.Env({{"XDG_DATA_HOME", "reldata"}, {"HOME", home.base}}), cwd);
    ASSERT_TRUE(child.WaitForExit(20000));
    EXPECT_EQ(child.ExitCode(), 0) << child.Errors();
    struct stat st;
    EXPECT_EQ(stat((home.base + "/.local/share/applications/CSVQuibboApp.Document.desktop").c_str(), &st), 0);
    EXPECT_NE(stat((cwd + "/reldata").c_str(), &st), 0);
}

// When the open switch's server cannot start, the viewer says why on its standard error, once,
// with the system's reason.
TEST(AppProcessTest, AServerThatCannotStartSaysWhyOnce)
{
    PrivateHome home("server-fails");
    // A runtime folder whose socket path is over the 107 bytes a Unix socket takes.
    std::string longRun = home.base + "/run-";
    while (longRun.size() < 110)
        longRun += "x";
    mkdir(longRun.c_str(), 0700);
    // A plain file where the socket goes.
    const std::string blockedRun = home.base + "/run-blocked";
    mkdir(blockedRun.c_str(), 0700);
    mkdir((blockedRun + "/csvquibbo").c_str(), 0700);
    std::ofstream(blockedRun + "/csvquibbo/open-switch") << "x";
    struct Case
    {
        const char* name;
        std::string runtime;
        std::string line;
    };
    const Case cases[] = {
        {"long path", longRun,
         "The open switch is off: the socket path " + longRun +
             "/csvquibbo/open-switch is longer than 107 bytes\n"},
        {"blocked", blockedRun,
         "The open switch is off: cannot bind " + blockedRun +
             "/csvquibbo/open-switch: Address already in use\n"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        ChildProcess child(CSVQ_VIEWER_EXE, {}, home.Env({{"XDG_RUNTIME_DIR", c.runtime}}));
        ASSERT_TRUE(child.WaitForWindows(1, 30000)) << child.Errors();
        PumpUntil([&] { return OwnLines(child.Errors()) == c.line; }, 10000);
        EXPECT_EQ(OwnLines(child.Errors()), c.line) << child.Errors();
        for (unsigned long w : child.Windows())
            ChildProcess::CloseWindow(w);
        ASSERT_TRUE(child.WaitForExit(20000));
        EXPECT_EQ(child.ExitCode(), 0) << child.Errors();
    }
}

// The files of one message that cannot be opened are said in one box, and a message that
// arrives while that box is up waits for it: boxes never stack.
TEST(AppProcessTest, FailedOpensOfOneDeliveryShowOneBoxAndDeliveriesWait)
{
    PrivateHome home("one-box");
    ChildProcess viewer(CSVQ_VIEWER_EXE, {}, home.Env());
    ASSERT_TRUE(viewer.WaitForWindows(1, 30000)) << viewer.Errors();
    const unsigned long frame = viewer.Windows().front();
    struct stat st;
    ASSERT_TRUE(PumpUntil([&]() { return lstat(home.SocketPath().c_str(), &st) == 0; }, 10000));
    auto boxes = [&]() {
        std::vector<unsigned long> others;
        for (unsigned long w : viewer.Windows())
            if (w != frame)
                others.push_back(w);
        return others;
    };
    const std::string missing = g_testHome + "/one-box-missing-";
    ChildProcess first(CSVQ_VIEWER_EXE, {"--open", missing + "1.csv", missing + "2.csv", missing + "3.csv"},
                       home.Env());
    ASSERT_TRUE(first.WaitForExit(20000));
    EXPECT_EQ(first.ExitCode(), 1) << first.Errors();
    ASSERT_TRUE(PumpUntil([&]() { return !boxes().empty(); }, 10000));
    Pump(1000); // fixed: shows that no second box comes
    EXPECT_EQ(boxes().size(), 1u) << "one box for the three files";

    ChildProcess second(CSVQ_VIEWER_EXE, {"--open", missing + "4.csv"}, home.Env());
    ASSERT_TRUE(second.WaitForExit(20000));
    EXPECT_EQ(second.ExitCode(), 1) << second.Errors();
    Pump(1000); // fixed: shows that the second message's box does not come yet
    ASSERT_EQ(boxes().size(), 1u) << "the second message waits";

    // Answered: the waiting message's box comes, then nothing more.
    const unsigned long box = boxes().front();
    ChildProcess::CloseWindow(box);
    ASSERT_TRUE(PumpUntil(
        [&]() {
            auto b = boxes();
            return b.size() == 1 && b.front() != box;
        },
        10000))
        << boxes().size();
    ChildProcess::CloseWindow(boxes().front());
    ASSERT_TRUE(PumpUntil([&]() { return boxes().empty(); }, 10000)) << boxes().size();
    Pump(1000); // fixed: shows that no box comes after the last one
    EXPECT_TRUE(boxes().empty()) << boxes().size();
    EXPECT_EQ(ChildProcess::WindowTitle(frame), "CSV Quibbo") << "no document for a file that failed";
    ChildProcess::CloseWindow(frame);
    ASSERT_TRUE(viewer.WaitForExit(20000));
    EXPECT_EQ(viewer.ExitCode(), 0) << viewer.Errors();
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
    Pump(200); // fixed: shows that the memory does not grow
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
    ChildProcess install(CSVQ_CMAKE_COMMAND,
                         {"--install", CSVQ_BUILD_DIR, "--prefix", prefix, "--component", "viewer"});
    ASSERT_TRUE(install.WaitForExit(120000));
    ASSERT_EQ(install.ExitCode(), 0) << install.Errors();

    const std::string executable = prefix + "/bin/csvquibbo";
    const std::string share = prefix + "/share";
    std::ifstream entryFile(share + "/applications/CSVQuibboApp.Document.desktop");
    ASSERT_TRUE(entryFile.good());
    std::ostringstream entry;
    entry << entryFile.rdbuf();
    EXPECT_EQ(LaunchArguments(wxString::FromUTF8(entry.str()), {"/d/a.csv"}),
              (std::vector<std::string>{"env", executable, "--open", "/d/a.csv"}))
        << entry.str();
    EXPECT_NE(entry.str().find("\nIcon=csvquibbo\n"), std::string::npos);
    // GLib's loader takes it (the prefix holds '%' and '$'), and it is in the install manifest, so
    // that an uninstall by the manifest removes it.
    const std::string entryPath = share + "/applications/CSVQuibboApp.Document.desktop";
    GDesktopAppInfo* info = g_desktop_app_info_new_from_filename(entryPath.c_str());
    EXPECT_NE(info, nullptr) << entry.str();
    if (info)
        g_object_unref(info);
    std::ifstream manifest(std::string(CSVQ_BUILD_DIR) + "/install_manifest_viewer.txt");
    std::string line;
    bool listed = false;
    while (std::getline(manifest, line))
        listed = listed || line == entryPath;
    EXPECT_TRUE(listed);
    struct stat st;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
    {
        const std::string icon = share + "/icons/hicolor/" + std::to_string(size) + "x" +
                                 std::to_string(size) + "/apps/csvquibbo.png";
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
