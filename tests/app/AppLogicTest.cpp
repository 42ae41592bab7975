// The parts of the application that need wx but no window: the fonts, the desktop entry, the
// open switch's folder and sending, the recent files, the message boxes, the string conversions.
// The window-free parts run in csvq_tests_app_core (AppCoreLogicTest.cpp).
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <functional>
#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <wx/fileconf.h>
#include <wx/filefn.h>
#include <wx/filehistory.h>
#include <wx/filename.h>
#include <wx/sstream.h>
#include <wx/utils.h>

#include "AppFonts.h"
#include "CCSVQuibboAppApp.h"
#include "CCSVQuibboDocManager.h"
#include "CMessageBoxInterface.h"
#include "CsvViewCore.h"
#include "DesktopEntry.h"
#include "DesktopEntryParse.h"
#include "OpenSwitch.h"
#include "XdgFolders.h"

namespace {

// The view's answer to a left button release, whose point is a wxPoint: the grid goes on as usual.
TEST(ViewManagerTest, ALeftButtonReleaseIsLeftToTheGrid)
{
    CsvViewCore core;
    EXPECT_FALSE(core.OnLButtonUp(0, wxPoint()));
    EXPECT_FALSE(core.OnLButtonUp(3, wxPoint(120, 40)));
}

TEST(FontTest, SixFontsFromTheSystemHeight)
{
    auto fonts = MakeAppFontDescriptions(16);
    EXPECT_EQ(fonts[0], (FontDescription{"MS Shell Dlg", 14, 400, false}));
    EXPECT_EQ(fonts[1], (FontDescription{"MS Shell Dlg", 18, 500, false}));
    EXPECT_EQ(fonts[2], (FontDescription{"Segoe UI", 18, 500, false}));
    EXPECT_EQ(fonts[3], (FontDescription{"Segoe UI", 18, 700, false}));
    EXPECT_EQ(fonts[4], (FontDescription{"MS Shell Dlg", 16, 700, false}));
    EXPECT_EQ(fonts[5], (FontDescription{"Lucida Sans Unicode", 16, 400, false}));
    EXPECT_EQ(FontPointSize(fonts[5], 96), 12);
    EXPECT_EQ(FontPointSize({"x", -13, 400, false}, 96), 13);
}

TEST(DesktopEntryTest, ExecLineLaunchesTheExecutableWhereverItLies)
{
    const std::vector<std::string> files = {"/data/a b.csv", "/data/100% $x.csv"};
    const char* const executables[] = {
        "/usr/bin/csvquibbo",
        "/opt/bin 100%/csvquibbo",
        "/opt/it's \"quoted\"/csvquibbo",
        "/opt/back\\slash/`tick`/$HOME/csvquibbo",
        "/opt/%F %% %u/csvquibbo",
        "/opt/tab\there/new\nline/csvquibbo",
        "/opt/caf\xC3\xA9/csvquibbo",
    };
    for (const char* executable : executables)
    {
        SCOPED_TRACE(executable);
        wxString text = DesktopEntryText(wxString::FromUTF8(executable));
        // A path with '%' is started through env: GLib looks the program up before it turns %%
        // into %.
        std::vector<std::string> expected = {executable, "--open"};
        if (std::strchr(executable, '%'))
            expected.insert(expected.begin(), "env");
        expected.insert(expected.end(), files.begin(), files.end());
        EXPECT_EQ(LaunchArguments(text, files), expected) << text.utf8_string();
    }
    wxString text = DesktopEntryText("/usr/bin/csvquibbo");
    EXPECT_NE(text.Find("CSVQuibboApp.Document"), wxNOT_FOUND);
    EXPECT_NE(text.Find("\nIcon=csvquibbo\n"), wxNOT_FOUND);
    EXPECT_EQ(text.Find("MimeType"), wxNOT_FOUND);
}

} // namespace

namespace {

TEST(DesktopEntryTest, RegisterWritesAndUnregisterRemovesTheEntry)
{
    char folder[] = "/tmp/csvq-desktop-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    wxString old;
    bool hadOld = wxGetEnv("XDG_DATA_HOME", &old);
    wxSetEnv("XDG_DATA_HOME", folder);
    wxString error;
    wxString path = DesktopEntryPath();
    EXPECT_TRUE(path.StartsWith(folder));
    ASSERT_TRUE(WriteDesktopEntry("/usr/bin/csvquibbo", error)) << error;
    EXPECT_TRUE(wxFileExists(path));
    EXPECT_TRUE(RemoveDesktopEntry(error)) << error;
    EXPECT_FALSE(wxFileExists(path));
    EXPECT_TRUE(RemoveDesktopEntry(error)) << "nothing to remove is no error";
    if (hadOld)
        wxSetEnv("XDG_DATA_HOME", old);
    else
        wxUnsetEnv("XDG_DATA_HOME");
    wxFileName::Rmdir(folder, wxPATH_RMDIR_RECURSIVE);
}

} // namespace

namespace {

// The open switch's private folder is never reached through a symbolic link, and only a folder
// the viewer made itself has its mode changed.
TEST(OpenSwitchFolderTest, OnlyARealPrivateFolderOfTheUserIsUsed)
{
    char base[] = "/tmp/csvq-switch-folder-XXXXXX";
    ASSERT_NE(mkdtemp(base), nullptr);
    const std::string b = base;
    const std::string shared = b + "/shared";
    ASSERT_EQ(mkdir(shared.c_str(), 0755), 0);
    ASSERT_EQ(chmod(shared.c_str(), 0755), 0);
    const std::string privateTarget = b + "/private";
    ASSERT_EQ(mkdir(privateTarget.c_str(), 0700), 0);

    struct Case
    {
        const char* name;
        std::function<void(const std::string&)> plant;
        bool usable;
    };
    const Case cases[] = {
        {"missing: made with 0700", [](const std::string&) {}, true},
        {"own folder with 0700", [](const std::string& p) { mkdir(p.c_str(), 0700); }, true},
        {"link to a 0755 folder",
         [&](const std::string& p) { ASSERT_EQ(symlink(shared.c_str(), p.c_str()), 0); }, false},
        {"link to a 0700 folder",
         [&](const std::string& p) { ASSERT_EQ(symlink(privateTarget.c_str(), p.c_str()), 0); }, false},
        {"dangling link",
         [&](const std::string& p) { ASSERT_EQ(symlink((b + "/nowhere").c_str(), p.c_str()), 0); }, false},
        {"own folder open to others",
         [](const std::string& p) {
             mkdir(p.c_str(), 0700);
             chmod(p.c_str(), 0755);
         },
         false},
        {"a file", [](const std::string& p) { std::ofstream(p) << "x"; }, false},
    };
    int n = 0;
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        const std::string folder = b + "/case" + std::to_string(n++);
        c.plant(folder);
        std::string error;
        EXPECT_EQ(PrepareOpenSwitchFolder(folder, error), c.usable) << error;
        struct stat st;
        if (c.usable)
        {
            ASSERT_EQ(lstat(folder.c_str(), &st), 0);
            EXPECT_TRUE(S_ISDIR(st.st_mode));
            EXPECT_EQ(st.st_mode & 07777, 0700u);
        }
        else
        {
            EXPECT_FALSE(error.empty());
        }
        // The targets of the links keep their modes.
        ASSERT_EQ(stat(shared.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0755u);
    }
    if (getuid() == 0)
    {
        // Someone else's folder (only root can make one for the test).
        const std::string folder = b + "/foreign";
        ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
        ASSERT_EQ(chown(folder.c_str(), 65534, 65534), 0);
        std::string error;
        EXPECT_FALSE(PrepareOpenSwitchFolder(folder, error));
    }
    wxFileName::Rmdir(base, wxPATH_RMDIR_RECURSIVE);
}

// Under no XDG_RUNTIME_DIR the folder is /tmp/csvquibbo-<uid>, with the same checks.
TEST(OpenSwitchFolderTest, WithoutARuntimeFolderTheTmpFolderIsUsed)
{
    wxString old;
    bool hadOld = wxGetEnv("XDG_RUNTIME_DIR", &old);
    wxUnsetEnv("XDG_RUNTIME_DIR");
    wxString folder = OpenSwitchFolder();
    const std::string expected = "/tmp/csvquibbo-" + std::to_string(getuid());
    struct stat st;
    if (lstat(expected.c_str(), &st) == 0 && (S_ISLNK(st.st_mode) || (st.st_mode & 07777) != 0700))
        EXPECT_TRUE(folder.empty()) << "someone else's or a link: not used";
    else
        EXPECT_EQ(folder.utf8_string(), expected);
    if (hadOld)
        wxSetEnv("XDG_RUNTIME_DIR", old);
}

} // namespace

namespace {

// The recent files live in the "Recent File List" group without empty entries; the root
// entries of earlier versions are read once, when the group is missing, and then removed.
TEST(RecentFilesTest, KeptInTheirGroupWithoutEmptyEntries)
{
    struct Case
    {
        const char* name;
        const char* config;
        std::vector<std::string> expected; // newest first
    };
    const Case cases[] = {
        {"nothing saved", "", {}},
        {"the group", "[Recent File List]\nFile1=/a.csv\nFile2=/b.csv\n", {"/a.csv", "/b.csv"}},
        {"old root entries",
         "file1=/old1.csv\nfile2=\nfile3=/old3.csv\nfile4=\n",
         {"/old1.csv", "/old3.csv"}},
        {"the group wins over old entries",
         "file1=/old.csv\n[Recent File List]\nFile1=/new.csv\n",
         {"/new.csv"}},
        {"empty entries in the group", "[Recent File List]\nFile1=\nFile2=/b.csv\nFile3=\n", {"/b.csv"}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        wxStringInputStream in(wxString::FromUTF8(c.config));
        wxFileConfig config(in);
        wxFileHistory history(4);
        CCSVQuibboDocManager::LoadRecentFiles(history, config);
        std::vector<std::string> loaded;
        for (size_t i = 0; i < history.GetCount(); ++i)
            loaded.push_back(history.GetHistoryFile(i).utf8_string());
        EXPECT_EQ(loaded, c.expected);

        CCSVQuibboDocManager::SaveRecentFiles(history, config);
        wxStringOutputStream out;
        config.Save(out);
        const std::string text = out.GetString().utf8_string();
        EXPECT_EQ(text.find("file1"), std::string::npos) << text;
        EXPECT_EQ(text.find("=\n"), std::string::npos) << "no empty entry: " << text;
        std::string expectedGroup;
        for (size_t i = 0; i < c.expected.size(); ++i)
            expectedGroup += "File" + std::to_string(i + 1) + "=" + c.expected[i] + "\n";
        if (c.expected.empty())
            EXPECT_EQ(text.find("Recent File List"), std::string::npos) << text;
        else
            EXPECT_NE(text.find("[Recent\\ File\\ List]\n" + expectedGroup), std::string::npos) << text;
    }
}

} // namespace

namespace {

// Sets an environment variable for the length of a scope.
struct ScopedEnv
{
    ScopedEnv(const char* name, const char* value)
        : name(name)
    {
        had = wxGetEnv(name, &old);
        if (value)
            wxSetEnv(name, value);
        else
            wxUnsetEnv(name);
    }
    ~ScopedEnv()
    {
        if (had)
            wxSetEnv(name, old);
        else
            wxUnsetEnv(name);
    }
    const char* name;
    wxString old;
    bool had = false;
};

// A relative XDG folder would depend on the folder the viewer was started in: it is ignored, and
// the default under the home folder is used.
TEST(XdgFoldersTest, RelativeValuesAreIgnored)
{
    const wxString home = wxGetHomeDir();
    struct Case
    {
        const char* variable;
        std::function<wxString()> path;
        wxString fallback;
    };
    const Case cases[] = {
        {"XDG_CONFIG_HOME", [] { return CCSVQuibboAppApp::ConfigFilePath(); }, home + "/.config/"},
        {"XDG_DATA_HOME", [] { return DesktopEntryPath(); }, home + "/.local/share/"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.variable);
        for (const char* relative : {"reldata", "./x", "x/y"})
        {
            ScopedEnv env(c.variable, relative);
            EXPECT_TRUE(XdgBaseFolder(c.variable).empty());
            EXPECT_TRUE(c.path().StartsWith(c.fallback)) << c.path();
        }
        ScopedEnv env(c.variable, "/abs/folder");
        EXPECT_EQ(XdgBaseFolder(c.variable), "/abs/folder");
        EXPECT_TRUE(c.path().StartsWith("/abs/folder/")) << c.path();
    }
    // The runtime folder falls back on /tmp/csvquibbo-<uid> as when it is unset.
    ScopedEnv runtime("XDG_RUNTIME_DIR", "relrun");
    wxString folder = OpenSwitchFolder();
    EXPECT_FALSE(folder.StartsWith("relrun"));
    const std::string expected = "/tmp/csvquibbo-" + std::to_string(getuid());
    struct stat st;
    if (lstat(expected.c_str(), &st) == 0 && (S_ISLNK(st.st_mode) || (st.st_mode & 07777) != 0700))
        EXPECT_TRUE(folder.empty());
    else
        EXPECT_EQ(folder.utf8_string(), expected);
    EXPECT_NE(access("relrun", F_OK), 0) << "nothing made under the current folder";
}

// On a Unix socket a non-blocking connect fails with EAGAIN while the listener's backlog is full:
// nothing is connected then, and the second start tries again within its budget instead of
// failing at once.
TEST(OpenSwitchSendTest, AFullBacklogIsWaitedForWithinTheBudget)
{
    char folder[] = "/tmp/csvq-backlog-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string path = std::string(folder) + "/s";
    int listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 0), 0);
    // Fill the backlog with clients that send nothing.
    std::vector<int> fillers;
    for (int i = 0; i < 64; ++i)
    {
        int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        {
            ASSERT_EQ(errno, EAGAIN);
            close(fd);
            break;
        }
        fillers.push_back(fd);
    }
    ASSERT_FALSE(fillers.empty());
    ASSERT_LT(fillers.size(), 64u) << "the backlog never filled";

    // The viewer gets to its clients 300 ms later: it answers whoever sends a message.
    std::thread viewer([listener]() {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        while (std::chrono::steady_clock::now() < end)
        {
            pollfd p{listener, POLLIN, 0};
            if (poll(&p, 1, 100) != 1)
                continue;
            int client = accept(listener, nullptr, nullptr);
            if (client < 0)
                continue;
            pollfd c{client, POLLIN, 0};
            char buffer[256];
            bool sent = false;
            if (poll(&c, 1, 100) == 1 && recv(client, buffer, sizeof buffer, 0) > 0)
                sent = send(client, "K", 1, MSG_NOSIGNAL) == 1;
            close(client);
            if (sent)
                return;
        }
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ForwardFilesToViewerAt(path, {"/data/a.csv"}, 2000), ForwardResult::Taken);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2500));
    viewer.join();
    for (int fd : fillers)
        close(fd);
    close(listener);
    wxFileName::Rmdir(folder, wxPATH_RMDIR_RECURSIVE);
}

// A box fake that records what would have shown.
struct RecordedBoxes : CMessageBoxInterface
{
    int ShowMessageBox(const wxString& text, long style) override
    {
        shown.push_back({text, style});
        return (style & wxYES_NO) ? wxYES : wxOK;
    }
    std::vector<std::pair<wxString, long>> shown;
};

// The failures of one delivery show as one box, the most severe icon first; a box that asks
// something still shows at once; a gathering inside another adds to it.
TEST(MessageBoxGatheringTest, TheMessagesOfOneDeliveryShowAsOneBox)
{
    RecordedBoxes boxes;
    SetMessageBoxes(&boxes);
    {
        CMessageBoxGathering gathering;
        AppMessageBox("first failed.", wxOK | wxICON_INFORMATION);
        EXPECT_EQ(AppMessageBox("Go on?", wxYES_NO | wxICON_QUESTION), wxYES);
        {
            CMessageBoxGathering inner;
            AppMessageBox("second failed.", wxOK | wxICON_ERROR);
            inner.Show();
        }
        AppMessageBox("third failed.", wxOK | wxICON_WARNING);
        ASSERT_EQ(boxes.shown.size(), 1u) << "only the question so far";
        EXPECT_EQ(boxes.shown[0].first, "Go on?");
        gathering.Show();
        ASSERT_EQ(boxes.shown.size(), 2u);
        EXPECT_EQ(boxes.shown[1].first, "first failed.\nsecond failed.\nthird failed.");
        EXPECT_EQ(boxes.shown[1].second, wxOK | wxICON_ERROR);
        gathering.Show();
        EXPECT_EQ(boxes.shown.size(), 2u) << "nothing left to show";
    }
    AppMessageBox("alone.", wxOK);
    EXPECT_EQ(boxes.shown.size(), 3u) << "no gathering: at once";
    SetMessageBoxes(nullptr);

    std::vector<wxString> many;
    for (int i = 1; i <= 25; ++i)
        many.push_back(wxString::Format("f%d", i));
    wxString joined = CMessageBoxGathering::JoinedText(many);
    EXPECT_TRUE(joined.StartsWith("f1\nf2\n"));
    EXPECT_TRUE(joined.EndsWith("\nf20\n... and 5 more.")) << joined;
}

// GLib's own loader takes the entry the register switch writes, wherever the viewer lies, and
// launching it starts that program with the open switch and the files.
TEST(DesktopEntryTest, GLibLoadsAndLaunchesTheEntry)
{
    char base[] = "/tmp/csvq-entry-XXXXXX";
    ASSERT_NE(mkdtemp(base), nullptr);
    const std::string output = std::string(base) + "/launched";
    const std::string file = std::string(base) + "/a b.csv";
    const char* const folders[] = {"plain",           "bin 100%",   "with space",
                                   "it's \"quoted\"", "cost $HOME", "back\\slash"};
    for (const char* folder : folders)
    {
        SCOPED_TRACE(folder);
        const std::string dir = std::string(base) + "/" + folder;
        ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
        // A stub in place of the viewer: it writes how it was started.
        const std::string stub = dir + "/csvquibbo";
        {
            std::ofstream script(stub);
            script << "#!/bin/sh\nprintf '%s\\n' \"$0\" \"$@\" > '" << output << ".tmp' && mv '" << output
                   << ".tmp' '" << output << "'\n";
        }
        ASSERT_EQ(chmod(stub.c_str(), 0755), 0);
        const std::string entry = dir + "/CSVQuibboApp.Document.desktop";
        std::ofstream(entry) << DesktopEntryText(wxString::FromUTF8(stub)).utf8_string();

        GDesktopAppInfo* info = g_desktop_app_info_new_from_filename(entry.c_str());
        ASSERT_NE(info, nullptr) << DesktopEntryExecLine(wxString::FromUTF8(stub)).utf8_string();
        unlink(output.c_str());
        GFile* gfile = g_file_new_for_path(file.c_str());
        GList* files = g_list_append(nullptr, gfile);
        GError* error = nullptr;
        EXPECT_TRUE(g_app_info_launch(G_APP_INFO(info), files, nullptr, &error))
            << (error ? error->message : "");
        if (error)
            g_error_free(error);
        g_list_free(files);
        g_object_unref(gfile);
        g_object_unref(info);

        std::string launched;
        for (int i = 0; i < 500 && launched.empty(); ++i)
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            std::ifstream in(output);
            std::getline(in, launched, '\0');
        }
        // env passes the path on as it got it; the shell names the program by that path.
        EXPECT_EQ(launched, stub + "\n--open\n" + file + "\n");
    }
    // The launched programs are GLib's children: collect them.
    while (waitpid(-1, nullptr, WNOHANG) > 0)
    {}
    wxFileName::Rmdir(base, wxPATH_RMDIR_RECURSIVE);
}

} // namespace
