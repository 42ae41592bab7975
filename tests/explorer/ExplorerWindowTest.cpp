// The explorer window hosted in a frame over a temporary folder tree: the listing and its rows,
// hidden entries, the flat list, search and reset, the folder history, opening the parent entry,
// Folder up while a listing runs, Delete to the trash, renaming, column sorting, the keys of the
// folder popup and the Tab ring, right-click selection and the context menu, the layout.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <wx/docview.h>
#include <wx/frame.h>
#include <wx/menu.h>
#include <wx/uiaction.h>

#include "ExplorerPathCodec.h"
#include "ExplorerRowText.h"
#include "ExplorerServices.h"
#include "ExplorerSortState.h"
#include "ExplorerTestSupport.h"
#include "GridWxText.h"
#include "LAppInterface.h"
#include "LSkorrelFileExplorerList.h"
#include "LSkorrelFileExplorerParentWnd.h"
#include "PathHelpers.h"
#include "ScreenTestSupport.h"
#include "WSFileStorage.h"

class CToolsCollection
{};

namespace {

namespace fs = std::filesystem;

class RecordingNotifier : public ExplorerNotifier
{
public:
    void ShowError(const std::u16string& text) override { errors.push_back(text); }
    bool ConfirmPermanentDelete(const std::u16string&) override { return false; }
    void ShowOutputLine(const std::u16string& text) override { lines.push_back(text); }
    std::vector<std::u16string> errors;
    std::vector<std::u16string> lines;
};

class TestApp : public LAppInterface
{
public:
    explicit TestApp(ExplorerServices& services)
        : m_services(services)
    {}
    bool OpenFileRecord(WSFileRecord* record) override
    {
        opened.push_back(record ? record->GetPath() : u"(none)");
        return false;
    }
    bool QueryOption1() override { return false; }
    bool QueryOption2() override { return false; }
    CToolsCollection& GetToolsCollection() override { return m_tools; }
    void OnBeforeFileOperation() override { ++before; }
    void OnAfterFileOperation(bool, bool) override { ++after; }
    int32_t QueryNumber() override { return -1; }
    std::u16string QueryText1() override { return {}; }
    void Notify1() override {}
    WSFileStorageThreadSafeAccess* GetFileStorageAccess() override
    {
        return &m_services.GetFileStorageAccess();
    }
    std::u16string QueryText2() override { return {}; }
    void Notify2() override {}
    void Notify3() override {}
    void Notify4() override {}
    void Notify5() override {}
    void Notify6() override {}
    std::u16string QueryText3() override { return {}; }
    std::u16string QueryText4() override { return {}; }
    std::u16string QueryText5() override { return {}; }
    bool QueryOption3() override { return false; }
    void Notify7() override {}

    std::vector<std::u16string> opened;
    int before = 0;
    int after = 0;

private:
    ExplorerServices& m_services;
    CToolsCollection m_tools;
};

void WriteFile(const fs::path& path, size_t bytes)
{
    std::ofstream out(path, std::ios::binary);
    out << std::string(bytes, 'x');
}

std::u16string U(const fs::path& path)
{
    return ExplorerPathFromNative(path.string());
}

// Ends the process when a step hangs, so that a deadlock fails the test instead of blocking.
class Watchdog
{
public:
    explicit Watchdog(int seconds, const char* what)
        : m_thread([this, seconds, what] {
            std::unique_lock<std::mutex> lock(m_mutex);
            if (!m_done.wait_for(lock, std::chrono::seconds(seconds), [this] { return m_finished; }))
            {
                std::fprintf(stderr, "HANG: %s did not return within %d s\n", what, seconds);
                std::_Exit(3);
            }
        })
    {}
    ~Watchdog()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_finished = true;
        }
        m_done.notify_all();
        m_thread.join();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_finished = false;
    std::thread m_thread;
};

class ExplorerWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/csvq-explorer-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        base = pattern;
        root = base / "tree";
        fs::create_directories(root / "sub");
        WriteFile(root / "sub" / "x.txt", 3);
        WriteFile(root / ".hidden", 5);
        WriteFile(root / "report.CSV", 2048);
        WriteFile(root / "old.csv", 10);
        WriteFile(root / "tool.exe", 7);
        WriteFile(root / "noext", 1);
        WriteFile(root / "archive.zip", 100);
        fs::create_directory_symlink(root, root / "loop");

        services = std::make_unique<ExplorerServices>();
        ASSERT_EQ(ExplorerServices::Current(), services.get());
        services->SetNotifier(&notifier);
        app = std::make_unique<TestApp>(*services);

        frame = new wxFrame(nullptr, wxID_ANY, "explorer", wxPoint(20, 20), wxDefaultSize);
        frame->SetClientSize(600, 400);
        explorer = new LSkorrelFileExplorerParentWnd();
        explorer->SetAppInterface(app.get());
        explorer->showContextMenu = [this](wxWindow*, wxMenu& menu, const wxPoint& point) {
            menus.clear();
            for (const wxMenuItem* item : menu.GetMenuItems())
                menus.push_back(item->IsSeparator() ? wxString("-") : item->GetItemLabel());
            menuPoint = point;
        };
        ASSERT_TRUE(explorer->Create(frame, wxID_ANY, wxPoint(0, 0), wxSize(600, 400)));
        explorer->SetNotifier(&notifier);
        frame->Show();
        ASSERT_TRUE(PumpUntilShown(frame));
        list = explorer->GetList();
        ASSERT_NE(list, nullptr);
    }

    void TearDown() override
    {
        DestroyAndPump(frame);
        app.reset();
        services.reset();
        std::error_code error;
        fs::remove_all(base, error);
    }

    // Lists a folder and waits until the list is filled.
    void Enter(const fs::path& folder, bool history = true)
    {
        const std::u16string path = U(folder);
        explorer->NavigateToFolder(&path, history);
        WaitForListing();
    }
    void WaitForListing()
    {
        ASSERT_TRUE(
            PumpUntil([this] { return !list->IsListingRunning() && explorer->GetSearchBox()->IsEnabled(); }));
        PumpUntilIdle();
    }

    std::vector<std::u16string> Texts() const
    {
        std::vector<std::u16string> texts;
        for (long row = 0; row < list->GetItemCount(); ++row)
            texts.push_back(list->GetRowText(row));
        return texts;
    }
    long RowOf(const std::u16string& text) const
    {
        for (long row = 0; row < list->GetItemCount(); ++row)
            if (list->GetRowText(row) == text)
                return row;
        return -1;
    }
    void SelectOnly(std::initializer_list<long> rows)
    {
        for (long row = 0; row < list->GetItemCount(); ++row)
            list->SetItemState(row, 0, wxLIST_STATE_SELECTED);
        for (long row : rows)
            list->SetItemState(row, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
    }
    std::vector<long> Selected() const
    {
        std::vector<long> rows;
        for (long row = list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED); row >= 0;
             row = list->GetNextItem(row, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED))
            rows.push_back(row);
        return rows;
    }
    // The centre of a row in the coordinates of the list's mouse events.
    wxPoint RowPoint(long row) const
    {
        wxRect rect;
        EXPECT_TRUE(list->GetItemRect(row, rect));
        wxWindow* area = list->GetListArea();
        return area->ScreenToClient(list->ClientToScreen(wxPoint(rect.x + 20, rect.y + rect.height / 2)));
    }
    // The label editor of a row closed with a text.
    bool EndLabelEdit(long row, const wxString& text)
    {
        wxListEvent event(wxEVT_LIST_END_LABEL_EDIT, list->GetId());
        event.SetEventObject(list);
        event.m_itemIndex = row;
        event.m_item.SetId(row);
        event.m_item.SetText(text);
        list->GetEventHandler()->ProcessEvent(event);
        return event.IsAllowed();
    }
    void ClickColumn(int column)
    {
        wxListEvent event(wxEVT_LIST_COL_CLICK, list->GetId());
        event.SetEventObject(list);
        event.m_col = column;
        list->GetEventHandler()->ProcessEvent(event);
    }
    void KeyUpOnList(int key)
    {
        wxKeyEvent event(wxEVT_KEY_UP);
        event.m_keyCode = key;
        event.SetEventObject(list);
        list->GetEventHandler()->ProcessEvent(event);
    }
    ExplorerNavigationState& State() { return services->GetNavigationState(); }

    fs::path base;
    fs::path root;
    RecordingNotifier notifier;
    std::unique_ptr<ExplorerServices> services;
    std::unique_ptr<TestApp> app;
    wxFrame* frame = nullptr;
    LSkorrelFileExplorerParentWnd* explorer = nullptr;
    LSkorrelFileExplorerList* list = nullptr;
    std::vector<wxString> menus;
    wxPoint menuPoint;
};

TEST_F(ExplorerWindowTest, ListingShowsTheParentEntryFirstThenFoldersThenFilesWithTheirTexts)
{
    Enter(root);
    const std::vector<std::u16string> expected = {u"..",    u"loop",    u"sub",        u"archive.zip",
                                                  u"noext", u"old.csv", u"report.CSV", u"tool.exe"};
    EXPECT_EQ(Texts(), expected) << "hidden entries left out, folders first, names ignoring case";

    const long report = RowOf(u"report.CSV");
    ASSERT_GE(report, 0);
    EXPECT_EQ(list->GetItemText(report, 2), "2 KB");
    EXPECT_EQ(list->GetItemText(report, 3),
              GridToWxString(FormatLocaleDateTime(list->GetRowRecord(report)->modified)));
    EXPECT_FALSE(list->GetItemText(report, 3).empty());
    EXPECT_EQ(list->GetItemText(RowOf(u"old.csv"), 2), "10 Bytes");
    // Folders and the parent entry: the folder picture, no size, no date, no check picture.
    for (const std::u16string& folder :
         {std::u16string(u".."), std::u16string(u"sub"), std::u16string(u"loop")})
    {
        const long row = RowOf(folder);
        EXPECT_EQ(list->GetRowImage(row), EXPLORER_IMAGE_FOLDER);
        EXPECT_EQ(list->GetItemText(row, 2), "");
        EXPECT_EQ(list->GetRowValidImage(row), -1);
    }
    // Files: a file picture behind the reserved check pictures, and "not checked" in "Valid".
    for (const std::u16string& file :
         {std::u16string(u"report.CSV"), std::u16string(u"tool.exe"), std::u16string(u"noext")})
    {
        const long row = RowOf(file);
        EXPECT_GE(list->GetRowImage(row), EXPLORER_FIRST_FILE_ICON_IMAGE)
            << std::string(file.begin(), file.end());
        EXPECT_EQ(list->GetRowValidImage(row), EXPLORER_IMAGE_UNCHECKED);
    }
    // The two csv files share one cached picture.
    EXPECT_EQ(list->GetRowImage(RowOf(u"report.CSV")), list->GetRowImage(RowOf(u"old.csv")));
    EXPECT_EQ(list->GetColumnCount(), 4);
    EXPECT_EQ(list->GetColumnWidth(0), 300);
}

TEST_F(ExplorerWindowTest, HiddenEntriesIncludedOnRequestAndShownGrey)
{
    list->includeHidden = true;
    Enter(root);
    const long hidden = RowOf(u".hidden");
    ASSERT_GE(hidden, 0);
    EXPECT_TRUE(list->IsRowCut(hidden));
    EXPECT_FALSE(list->IsRowCut(RowOf(u"old.csv")));
}

TEST_F(ExplorerWindowTest, FlatListShowsRelativeNamesWithoutFollowingLinks)
{
    Enter(root);
    const size_t historyBefore = State().folderHistory.size();
    explorer->OnSearchInSubfoldersClicked();
    WaitForListing();
    EXPECT_TRUE(list->flatList);
    EXPECT_TRUE(explorer->GetFlatListCheck()->GetValue());
    EXPECT_EQ(State().folderHistory.size(), historyBefore)
        << "the switch lists again without a history entry";
    const std::vector<std::u16string> texts = Texts();
    EXPECT_NE(std::find(texts.begin(), texts.end(), u"sub/x.txt"), texts.end());
    EXPECT_EQ(std::count_if(texts.begin(), texts.end(),
                            [](const std::u16string& t) { return t.rfind(u"loop/", 0) == 0; }),
              0)
        << "the link to the tree itself is not entered";
    EXPECT_EQ(texts.front(), u"..");
    // The check box again: back to the folder alone.
    explorer->OnSearchInSubfoldersClicked();
    WaitForListing();
    EXPECT_EQ(RowOf(u"sub/x.txt"), -1);
    EXPECT_GE(RowOf(u"sub"), 0);
}

TEST_F(ExplorerWindowTest, SearchAsYouTypeAndReset)
{
    Enter(root);
    const size_t all = Texts().size();
    struct Case
    {
        const char* text;
        std::vector<std::u16string> rows;
    } cases[] = {
        {"csv", {u"old.csv", u"report.CSV"}},
        {"*.zip", {u"archive.zip"}},
        {"?ub", {u"sub"}},
        {"nothing-like-this", {}},
    };
    for (const Case& c : cases)
    {
        explorer->GetSearchBox()->SetValue(c.text); // the box's change event searches
        EXPECT_EQ(Texts(), c.rows) << c.text;
    }
    explorer->OnResetSearchResults();
    EXPECT_EQ(Texts().size(), all);
    EXPECT_EQ(explorer->GetSearchBox()->GetValue(), "");
}

TEST_F(ExplorerWindowTest, BackForwardUpAndTheParentEntry)
{
    const fs::path sub = root / "sub";
    Enter(root);
    Enter(sub);
    EXPECT_EQ(State().folderHistory, (std::vector<std::u16string>{U(root), U(sub)}));
    EXPECT_EQ(State().historyPosition, 1);

    explorer->OnHistoryBack();
    WaitForListing();
    EXPECT_EQ(State().historyPosition, 0);
    EXPECT_EQ(explorer->GetPathBox()->GetValue(), GridToWxString(U(root)));
    EXPECT_GE(RowOf(u"old.csv"), 0);
    explorer->OnHistoryBack(); // at the first entry: nothing
    EXPECT_EQ(State().historyPosition, 0);

    explorer->OnHistoryForward();
    WaitForListing();
    EXPECT_EQ(State().historyPosition, 1);
    EXPECT_GE(RowOf(u"x.txt"), 0);
    explorer->OnHistoryForward(); // at the last entry: nothing
    EXPECT_EQ(State().historyPosition, 1);

    explorer->OnFolderUp();
    WaitForListing();
    EXPECT_EQ(explorer->GetPathBox()->GetValue(), GridToWxString(U(root)));
    EXPECT_EQ(State().folderHistory.size(), 3u);
    EXPECT_EQ(State().currentFolder, U(root));

    // A double-click on the parent entry enters the folder above, with a history entry.
    const long parent = RowOf(u"..");
    ASSERT_EQ(parent, 0);
    SelectOnly({parent});
    list->GetCallbacks()->OnLButtonDblClk(0, RowPoint(parent));
    WaitForListing();
    EXPECT_EQ(explorer->GetPathBox()->GetValue(), GridToWxString(U(base)));
    EXPECT_EQ(State().folderHistory.back(), U(base));
    EXPECT_GE(RowOf(u"tree"), 0);

    // A double-click on files hands each to the application.
    Enter(root);
    SelectOnly({RowOf(u"old.csv"), RowOf(u"noext")});
    explorer->OpenSelectedItems();
    EXPECT_EQ(app->opened.size(), 2u);
}

TEST_F(ExplorerWindowTest, BadPathsChangeNothingOrListSafely)
{
    Enter(root);
    const std::vector<std::u16string> before = Texts();
    const size_t history = State().folderHistory.size();
    for (const std::u16string& path :
         {std::u16string(u""), U(root / "missing"), std::u16string(u"http://example.com/")})
    {
        explorer->NavigateToFolder(&path, true);
        PumpUntilIdle();
        EXPECT_EQ(Texts(), before);
        EXPECT_EQ(State().folderHistory.size(), history);
    }
    // An empty path box and no path: nothing at all.
    explorer->GetPathBox()->SetValue("");
    explorer->NavigateToFolder(nullptr, true);
    EXPECT_EQ(State().folderHistory.size(), history);

    // A file in the path box is refused as a missing folder is: no listing, no history entry.
    const std::u16string file = U(root / "old.csv");
    explorer->NavigateToFolder(&file, true);
    PumpUntilIdle();
    EXPECT_FALSE(explorer->GetList()->IsListingRunning());
    EXPECT_EQ(Texts(), before);
    EXPECT_EQ(State().folderHistory.size(), history);

    // A relative path is taken from the current folder.
    const fs::path cwd = fs::current_path();
    fs::current_path(root);
    const std::u16string relative = u"sub";
    explorer->NavigateToFolder(&relative, true);
    WaitForListing();
    fs::current_path(cwd);
    EXPECT_EQ(explorer->GetPathBox()->GetValue(), GridToWxString(U(root / "sub")));
    EXPECT_GE(RowOf(u"x.txt"), 0);

    // The root lists, and Folder up there stays at the root.
    Enter("/");
    EXPECT_GE(RowOf(u"tmp"), 0);
    explorer->OnFolderUp();
    WaitForListing();
    EXPECT_EQ(explorer->GetPathBox()->GetValue(), "/");
}

TEST_F(ExplorerWindowTest, AFolderDeletedWhileListedEndsTheListingSafely)
{
    const fs::path doomed = root / "doomed";
    fs::create_directory(doomed);
    for (int i = 0; i < 5000; ++i)
        WriteFile(doomed / ("f" + std::to_string(i)), 0);
    const std::u16string path = U(doomed);
    explorer->NavigateToFolder(&path, true);
    std::thread remover([&doomed] {
        std::error_code error;
        fs::remove_all(doomed, error);
    });
    remover.join();
    WaitForListing();
    EXPECT_FALSE(fs::exists(doomed));
    // Whatever the walk saw is shown; the window goes on working.
    explorer->OnResetSearchResults();
    explorer->OnFolderUp();
    WaitForListing();
    EXPECT_EQ(explorer->GetPathBox()->GetValue(), GridToWxString(U(root)));
    EXPECT_EQ(RowOf(u"doomed"), -1);
    EXPECT_GE(RowOf(u"old.csv"), 0);
}

TEST_F(ExplorerWindowTest, NamesThatAreNotUtf8RoundTrip)
{
    const std::string odd = std::string("caf") + char(0xE9) + ".csv"; // Latin-1, not UTF-8
    WriteFile(root / odd, 4);
    Enter(root);
    WSFileRecord* found = nullptr;
    for (long row = 0; row < list->GetItemCount(); ++row)
        if (WSFileRecord* record = list->GetRowRecord(row);
            record && ExplorerPathToNative(record->GetPath()) == (root / odd).string())
            found = record;
    ASSERT_NE(found, nullptr);
    // The text goes through the window's strings and back unchanged.
    EXPECT_EQ(GridFromWxString(GridToWxString(found->GetPath())), found->GetPath());
}

TEST_F(ExplorerWindowTest, AListingShowsItsProgressThenTheEntries)
{
    const fs::path big = root / "big";
    fs::create_directory(big);
    for (int i = 0; i < 30000; ++i)
        WriteFile(big / ("f" + std::to_string(i)), 0);
    const std::u16string path = U(big);
    explorer->NavigateToFolder(&path, true);
    EXPECT_FALSE(explorer->GetSearchBox()->IsEnabled()) << "no search while the worker walks";
    ASSERT_GE(list->GetItemCount(), 1);
    EXPECT_EQ(list->GetRowText(0), u"List is populated...");
    // The progress row: "%d entries found" with the store's count, while the walk runs or at its end.
    bool sawProgress = false;
    PumpUntil([&] {
        if (list->GetItemCount() == 2 && list->GetRowText(1).find(u" entries found") != std::u16string::npos)
            sawProgress = true;
        return !list->IsListingRunning() && explorer->GetSearchBox()->IsEnabled();
    });
    EXPECT_TRUE(sawProgress);
    EXPECT_EQ(list->GetItemCount(), 30001) << "the entries and the parent entry replace both rows";
    EXPECT_EQ(list->GetRowText(0), u"..");
}

TEST_F(ExplorerWindowTest, FolderUpDuringARunningListingReturns)
{
    const fs::path big = root / "big";
    fs::create_directory(big);
    for (int i = 0; i < 20000; ++i)
        WriteFile(big / ("f" + std::to_string(i)), 0);
    for (int round = 0; round < 5; ++round)
    {
        const std::u16string path = U(big);
        explorer->NavigateToFolder(&path, true);
        {
            Watchdog watchdog(20, "Folder up during a listing");
            explorer->OnFolderUp();
        }
        WaitForListing();
        EXPECT_EQ(explorer->GetPathBox()->GetValue(), GridToWxString(U(root)));
        EXPECT_GE(RowOf(u"old.csv"), 0);
    }
}

TEST_F(ExplorerWindowTest, DeleteSendsTheSelectionToTheTrash)
{
    Enter(root);
    // Only the parent entry: nothing is deleted, nothing is said.
    SelectOnly({RowOf(u"..")});
    KeyUpOnList(WXK_DELETE);
    EXPECT_TRUE(fs::exists(root));
    EXPECT_TRUE(notifier.errors.empty());

    SelectOnly({RowOf(u"old.csv"), RowOf(u"noext")});
    KeyUpOnList('A'); // other keys do nothing
    EXPECT_TRUE(fs::exists(root / "old.csv"));
    KeyUpOnList(WXK_DELETE);
    EXPECT_FALSE(fs::exists(root / "old.csv"));
    EXPECT_FALSE(fs::exists(root / "noext"));
    const char* data = std::getenv("XDG_DATA_HOME");
    ASSERT_NE(data, nullptr);
    EXPECT_TRUE(fs::exists(fs::path(data) / "Trash" / "files" / "old.csv"));
    EXPECT_TRUE(notifier.errors.empty());
    EXPECT_GE(RowOf(u"old.csv"), 0) << "the rows stay until the next listing";

    // The list base's own delete reports an entry the trash could not take.
    SelectOnly({RowOf(u"old.csv")});
    list->DeleteSelectedFiles();
    EXPECT_EQ(app->before, 1);
    EXPECT_EQ(app->after, 1);
    EXPECT_EQ(notifier.errors.size(), 1u) << "a failed trash call is reported";
}

TEST_F(ExplorerWindowTest, RenameNeverOverwritesAndKeepsTheOldLabel)
{
    fs::create_directory(root / "target");
    Enter(root);

    // Simple: a.csv -> b.csv; the row keeps its old label, the record follows the move.
    long row = RowOf(u"old.csv");
    SelectOnly({row});
    EXPECT_FALSE(EndLabelEdit(row, "new.csv")) << "the edit is vetoed: the old label stays";
    EXPECT_TRUE(fs::exists(root / "new.csv"));
    EXPECT_FALSE(fs::exists(root / "old.csv"));
    EXPECT_EQ(list->GetRowText(row), u"old.csv");
    EXPECT_EQ(list->GetRowRecord(row)->GetPath(), U(root / "new.csv"));

    // Onto an existing file: refused and reported, nothing overwritten.
    row = RowOf(u"report.CSV");
    SelectOnly({row});
    EndLabelEdit(row, "noext");
    EXPECT_TRUE(fs::exists(root / "report.CSV"));
    EXPECT_EQ(fs::file_size(root / "noext"), 1u);
    ASSERT_EQ(notifier.errors.size(), 1u);

    // Bad names and an empty one: nothing moves.
    for (const char* name : {"", "a/b", ".", ".."})
    {
        SelectOnly({row});
        EndLabelEdit(row, name);
        EXPECT_TRUE(fs::exists(root / "report.CSV")) << name;
    }

    // The name of an existing folder moves the entry into it.
    SelectOnly({row});
    EndLabelEdit(row, "target");
    EXPECT_TRUE(fs::exists(root / "target" / "report.CSV"));

    // Only the single selected row is renamed; rows without a record refuse the editor.
    row = RowOf(u"tool.exe");
    SelectOnly({row, RowOf(u"noext")});
    EndLabelEdit(row, "other.exe");
    EXPECT_TRUE(fs::exists(root / "tool.exe"));
    SelectOnly({RowOf(u"noext")});
    EndLabelEdit(row, "other.exe");
    EXPECT_TRUE(fs::exists(root / "tool.exe")) << "the edited row is not the selected one";
    EXPECT_FALSE(list->BlockLabelEdit(row));
    list->InsertTextRow(0, u"placeholder");
    EXPECT_TRUE(list->BlockLabelEdit(0));
}

TEST_F(ExplorerWindowTest, ColumnClicksSortOnceAndShowTheIndicator)
{
    Enter(root);
    EXPECT_EQ(list->sortState, 2);
    EXPECT_EQ(list->GetSortIndicator(), 0);
    EXPECT_TRUE(list->IsAscendingSortIndicator());

    ClickColumn(0); // the current column: descending, files first
    EXPECT_EQ(list->sortState, 3);
    EXPECT_FALSE(list->IsAscendingSortIndicator());
    std::vector<std::u16string> texts = Texts();
    EXPECT_EQ(texts.front(), u"..");
    EXPECT_EQ(texts[1], u"tool.exe");
    EXPECT_EQ(texts.back(), u"loop");

    ClickColumn(0); // ascending again
    EXPECT_EQ(list->sortState, 2);
    EXPECT_EQ(Texts()[1], u"loop");

    ClickColumn(2); // size, ascending: the parent entry, the folders (size 0), then by size
    EXPECT_EQ(list->sortState, 6);
    EXPECT_EQ(list->GetSortIndicator(), 2);
    texts = Texts();
    EXPECT_EQ(texts.front(), u"..");
    EXPECT_EQ(texts.back(), u"report.CSV");
    EXPECT_LT(std::find(texts.begin(), texts.end(), u"noext"),
              std::find(texts.begin(), texts.end(), u"tool.exe"));

    // The selection follows its row through a sort.
    const long selected = RowOf(u"archive.zip");
    SelectOnly({selected});
    ClickColumn(2);
    ASSERT_EQ(Selected().size(), 1u);
    EXPECT_EQ(list->GetRowText(Selected().front()), u"archive.zip");
}

TEST_F(ExplorerWindowTest, RowsStandInTheRecordComparisonsOrder)
{
    const fs::path names = root / "names";
    fs::create_directory(names);
    for (const char* name :
         {"\xC3\x89mile.txt", "\xC3\xA9mile2.txt", "Zeta", "alpha", "ALPHA2", "\xC3\x9F.txt", "\xC4\xB0x",
          "b", "B", "a-b", "a_b", "10.csv", "9.csv", "\xCE\xA9mega.txt", "\xCF\x89mega2.txt"})
        WriteFile(names / name, std::strlen(name));
    fs::create_directory(names / "Dir");
    fs::create_directory(names / "dir2");
    Enter(names);
    // Every column, both directions: the rows stand as the record comparison sorts them.
    for (int column : {0, 0, 2, 2, 3, 3, 0})
    {
        ClickColumn(column);
        const std::optional<ExplorerSortMode> mode =
            CompareModeForSortKey(list->sortState & ~1, (list->sortState & 1) != 0);
        ASSERT_TRUE(mode);
        const std::vector<WSFileRecord*> rows = list->GetRowRecords();
        ASSERT_EQ(rows.size(), 18u); // 15 files, 2 folders and the parent entry
        for (size_t i = 0; i + 1 < rows.size(); ++i)
            EXPECT_LE(CompareFileRecordsConsistent(rows[i], rows[i + 1], *mode), 0)
                << "column " << column << " row " << i;
    }
}

TEST_F(ExplorerWindowTest, ListedFoldersBecomePathSuggestions)
{
    Enter(root);
    LSuggestionsBoxFolderPaths* popup = explorer->GetFolderPopup();
    ASSERT_NE(popup, nullptr);
    std::vector<std::u16string> texts;
    for (size_t i = 0; i < popup->GetModel().GetEntryCount(); ++i)
    {
        std::u16string text = popup->GetModel().GetEntry(i).text;
        while (text.size() > 1 && text.back() == u'/')
            text.pop_back();
        texts.push_back(text);
    }
    EXPECT_NE(std::find(texts.begin(), texts.end(), U(root / "sub")), texts.end());
    for (const std::u16string& text : texts)
        EXPECT_FALSE(text.size() >= 3 && text.compare(text.size() - 3, 3, u"/..") == 0)
            << "parent entry offered";
}

TEST_F(ExplorerWindowTest, PopupKeysAndTheTabRing)
{
    Enter(root);
    Enter(root / "sub");
    LSuggestionsBoxFolderPaths* popup = explorer->GetFolderPopup();
    ASSERT_NE(popup, nullptr);
    wxTextCtrl* path = explorer->GetPathBox()->GetTextCtrl();
    path->SetFocus();
    PumpUntil([&] { return explorer->FocusedControl() == ExplorerControl::PathBox; });
    PumpUntilIdle();
    ASSERT_EQ(explorer->FocusedControl(), ExplorerControl::PathBox);
    popup->Hide();

    // Escape with the popup hidden shows it; a second Escape hides it and is consumed.
    EXPECT_FALSE(explorer->PreTranslateKey(WXK_ESCAPE, false));
    EXPECT_TRUE(popup->IsShown());
    EXPECT_TRUE(explorer->PreTranslateKey(WXK_ESCAPE, false));
    EXPECT_FALSE(popup->IsShown());

    // Down opens and selects; Enter takes the selected folder with a history entry.
    EXPECT_TRUE(explorer->PreTranslateKey(WXK_DOWN, false));
    ASSERT_TRUE(popup->IsShown());
    const int selectedRow = popup->GetModel().GetSelectedRow();
    ASSERT_GE(selectedRow, 0);
    const std::u16string chosen = popup->GetModel().GetVisible(selectedRow).text;
    const size_t history = State().folderHistory.size();
    EXPECT_FALSE(explorer->PreTranslateKey(WXK_RETURN, false)) << "Enter goes on to the path box";
    WaitForListing();
    EXPECT_FALSE(popup->IsShown());
    EXPECT_EQ(State().folderHistory.size(), history + 1);
    EXPECT_EQ(State().folderHistory.back(), chosen);

    // The Tab ring: from the list to the path box with its text selected; Shift+Tab from back to
    // the list.
    list->SetFocus();
    PumpUntil([&] { return explorer->FocusedControl() == ExplorerControl::List; });
    PumpUntilIdle();
    ASSERT_EQ(explorer->FocusedControl(), ExplorerControl::List);
    EXPECT_TRUE(explorer->PreTranslateKey(WXK_TAB, false));
    PumpUntilIdle();
    EXPECT_EQ(explorer->FocusedControl(), ExplorerControl::PathBox);
    long from = 0, to = 0;
    path->GetSelection(&from, &to);
    EXPECT_EQ(from, 0);
    EXPECT_EQ(to, path->GetLastPosition());
    explorer->GetBackButton()->SetFocus();
    PumpUntilIdle();
    EXPECT_TRUE(explorer->PreTranslateKey(WXK_TAB, true));
    PumpUntilIdle();
    EXPECT_EQ(explorer->FocusedControl(), ExplorerControl::List);
    // Enter in the search box searches; Left on the back button goes back.
    explorer->GetSearchBox()->SetFocus();
    PumpUntilIdle();
    EXPECT_TRUE(explorer->PreTranslateKey(WXK_RETURN, false));
    explorer->GetBackButton()->SetFocus();
    PumpUntilIdle();
    const int position = State().historyPosition;
    EXPECT_FALSE(explorer->PreTranslateKey(WXK_LEFT, false));
    WaitForListing();
    EXPECT_EQ(State().historyPosition, position - 1);
}

TEST_F(ExplorerWindowTest, RightClickSelectsTheRowAndShowsTheMenu)
{
    Enter(root);
    LListCtrlCallbacks* callbacks = list->GetCallbacks();
    ASSERT_NE(callbacks, nullptr);
    const long a = RowOf(u"old.csv");
    const long b = RowOf(u"noext");
    const long c = RowOf(u"tool.exe");

    SelectOnly({a, b});
    callbacks->OnRButtonDown(0, RowPoint(c)); // an unselected row becomes the only selection
    EXPECT_EQ(Selected(), std::vector<long>{c});
    EXPECT_EQ(menus, (std::vector<wxString>{"&Open", "Open &With....", "-", "&Compile", "-", "Cu&t\tCtrl+X",
                                            "&Copy\tCtrl+C", "&Remove", "-", "&Properties..."}));

    SelectOnly({a, b});
    callbacks->OnRButtonDown(0, RowPoint(b)); // a selected row keeps the whole selection
    std::vector<long> expected{a, b};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Selected(), expected);

    menus.clear();
    wxRect last;
    list->GetItemRect(list->GetItemCount() - 1, last);
    const wxPoint below =
        list->GetListArea()->ScreenToClient(list->ClientToScreen(wxPoint(20, last.GetBottom() + 30)));
    callbacks->OnRButtonDown(0, below); // below the last row: the menu, the selection unchanged
    EXPECT_EQ(Selected(), expected);
    EXPECT_FALSE(menus.empty());
    EXPECT_EQ(menuPoint, list->GetListArea()->ClientToScreen(below));
}

TEST_F(ExplorerWindowTest, LayoutFollowsTheClientSize)
{
    const wxSize client = explorer->GetClientSize();
    wxWindow* path = explorer->GetPathBox();
    const wxRect up = explorer->GetUpButton()->GetRect();
    const wxRect fromDocument = explorer->GetFromDocumentButton()->GetRect();
    const wxRect search = explorer->GetSearchBox()->GetRect();
    const wxRect reset = explorer->GetResetButton()->GetRect();
    const wxRect listRect = list->GetRect();
    EXPECT_EQ(fromDocument.GetRight() + 1, client.x - 2);
    EXPECT_EQ(up.GetRight() + 1, fromDocument.x - 2);
    EXPECT_EQ(path->GetRect().GetRight() + 1, up.x - 2);
    EXPECT_EQ(up.width, path->GetRect().height);
    EXPECT_EQ(search.x, explorer->GetFlatListCheck()->GetRect().x);
    EXPECT_EQ(reset.x, search.GetRight() + 2);
    EXPECT_EQ(reset.width, search.height);
    EXPECT_EQ(listRect.x, 1);
    EXPECT_EQ(listRect.y, search.GetBottom() + 1 + 4);
    EXPECT_EQ(listRect.width, client.x - 2);
    EXPECT_EQ(listRect.GetBottom() + 1, client.y - 1);
    // The tips are made over the list in the small font.
    for (int i = 0; i < 2; ++i)
    {
        ASSERT_NE(explorer->GetInfoTip(i), nullptr);
        EXPECT_EQ(explorer->GetInfoTip(i)->GetParent(), list);
        EXPECT_FALSE(explorer->GetInfoTip(i)->IsShown());
    }
    // A narrow window: no negative widths.
    frame->SetClientSize(100, 300);
    explorer->SetSize(100, 300);
    PumpUntilIdle();
    EXPECT_EQ(explorer->GetPathBox()->GetSize().x, 0);
    EXPECT_GE(explorer->GetSearchBox()->GetSize().x, 0);
}

} // namespace

// ---- the selection belongs to entries

namespace {
std::vector<std::u16string> SelectedNames(LSkorrelFileExplorerList* list)
{
    std::vector<std::u16string> names;
    for (const auto& [row, record] : list->GetSelectedRecords())
        names.push_back(record ? record->GetDisplayName() : u"<none>");
    std::sort(names.begin(), names.end());
    return names;
}

std::u16string FocusedName(LSkorrelFileExplorerList* list)
{
    const long row = list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_FOCUSED);
    const WSFileRecord* record = row >= 0 ? list->GetRowRecord(row) : nullptr;
    return record ? record->GetDisplayName() : u"<none>";
}
} // namespace

TEST_F(ExplorerWindowTest, TheSelectionAndTheFocusFollowTheirEntriesOnEveryRefill)
{
    for (int i = 0; i < 6; ++i)
        WriteFile(root / ("data" + std::to_string(i) + ".bin"), 10 + i);
    WriteFile(root / "big.bin", 5000);
    Enter(root);
    struct Case
    {
        const char* what;
        std::function<void()> refill;
    };
    const Case cases[] = {
        {"reset without a search", [&] { explorer->OnResetSearchResults(); }},
        {"a column click", [&] { ClickColumn(2); }},
        {"typing '*' while sorted descending",
         [&] {
             ClickColumn(0);
             explorer->GetSearchBox()->SetValue("*");
         }},
        {"a search that keeps one of them", [&] { explorer->GetSearchBox()->SetValue("old"); }},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        explorer->OnResetSearchResults();
        PumpUntilIdle();
        SelectOnly({RowOf(u"old.csv"), RowOf(u"tool.exe")});
        list->SetItemState(RowOf(u"old.csv"), wxLIST_STATE_FOCUSED, wxLIST_STATE_FOCUSED);
        c.refill();
        PumpUntilIdle();
        if (RowOf(u"tool.exe") >= 0)
            EXPECT_EQ(SelectedNames(list), (std::vector<std::u16string>{u"old.csv", u"tool.exe"}));
        else
            EXPECT_EQ(SelectedNames(list), std::vector<std::u16string>{u"old.csv"});
        EXPECT_EQ(FocusedName(list), u"old.csv");
        EXPECT_EQ(list->GetItemCount(), list->GetRowCount());
    }

    // The issue as met: select, reset, Delete: the selected file goes to the trash, no other.
    explorer->GetSearchBox()->SetValue("");
    explorer->OnResetSearchResults();
    SelectOnly({RowOf(u"old.csv")});
    explorer->OnResetSearchResults();
    KeyUpOnList(WXK_DELETE);
    EXPECT_FALSE(fs::exists(root / "old.csv"));
    EXPECT_TRUE(fs::exists(root / "big.bin"));
    for (int i = 0; i < 6; ++i)
        EXPECT_TRUE(fs::exists(root / ("data" + std::to_string(i) + ".bin")));
}

TEST_F(ExplorerWindowTest, APlainClickAfterASortReplacesTheSelection)
{
    Enter(root);
    frame->Raise();
    list->SetFocus();
    PumpUntilIdle();
    wxUIActionSimulator sim;
    const auto clickRow = [&](long row) {
        sim.MouseMove(list->GetListArea()->ClientToScreen(RowPoint(row)));
        PumpUntilIdle();
        sim.MouseClick();
        PumpUntilIdle();
    };
    clickRow(RowOf(u"old.csv"));
    ASSERT_EQ(SelectedNames(list), std::vector<std::u16string>{u"old.csv"});
    ClickColumn(0); // descending: old.csv moves
    PumpUntilIdle();
    EXPECT_EQ(FocusedName(list), u"old.csv");
    clickRow(RowOf(u"tool.exe"));
    EXPECT_EQ(SelectedNames(list), std::vector<std::u16string>{u"tool.exe"});
}

TEST_F(ExplorerWindowTest, BetweenTheListingsEndAndTheFillTheCountAndTheRowsAgree)
{
    Enter(root);
    SelectOnly({RowOf(u"old.csv")});
    const std::u16string path = U(root / "sub");
    explorer->NavigateToFolder(&path, true);
    // The walk ends; its commands are taken, but not the timer turns that fill the list.
    const auto walked = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (list->IsListingRunning() && std::chrono::steady_clock::now() < walked)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        wxTheApp->ProcessPendingEvents();
    }
    ASSERT_FALSE(list->IsListingRunning());
    EXPECT_EQ(list->GetItemCount(), list->GetRowCount());
    ClickColumn(0); // reads the rows: must not read past them
    ClickColumn(2);
    WaitForListing();
    EXPECT_EQ(list->GetItemCount(), list->GetRowCount());
    EXPECT_GE(RowOf(u"x.txt"), 0);
}

TEST_F(ExplorerWindowTest, TheParentEntryRefusesALabelEditAndRenameFailuresAreAlwaysReported)
{
    Enter(root);
    EXPECT_TRUE(list->BlockLabelEdit(RowOf(u"..")));
    EXPECT_FALSE(list->BlockLabelEdit(RowOf(u"old.csv")));

    // Without the window's notifier the failure still reaches the user (here the services').
    explorer->SetNotifier(nullptr);
    const long row = RowOf(u"report.CSV");
    SelectOnly({row});
    EndLabelEdit(row, "noext");
    EXPECT_TRUE(fs::exists(root / "report.CSV"));
    EXPECT_EQ(notifier.errors.size(), 1u);
}

TEST_F(ExplorerWindowTest, FoldersAreTakenByTheirStepsAndFolderUpNeedsAParent)
{
    struct Case
    {
        fs::path typed;
        fs::path shown;
        fs::path up;
    };
    const Case cases[] = {
        {root / "sub" / "..", root, base},
        {root / ".", root, base},
        {root / "sub" / "." / "", root / "sub", root},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.typed.string());
        Enter(c.typed);
        EXPECT_EQ(explorer->GetPathBox()->GetValue(), GridToWxString(U(c.shown)));
        explorer->OnFolderUp();
        WaitForListing();
        EXPECT_EQ(explorer->GetPathBox()->GetValue(), GridToWxString(U(c.up)));
    }

    // The parent is gone: the listing on screen stays, with its search box.
    fs::create_directories(root / "gone" / "inner");
    Enter(root / "gone" / "inner");
    const std::vector<std::u16string> before = Texts();
    const size_t history = State().folderHistory.size();
    fs::rename(root / "gone", base / "moved");
    fs::remove(base / "moved" / "inner");
    fs::remove(base / "moved");
    explorer->OnFolderUp();
    PumpUntilIdle();
    EXPECT_EQ(Texts(), before);
    EXPECT_TRUE(explorer->GetSearchBox()->IsEnabled());
    EXPECT_EQ(State().folderHistory.size(), history);
}

TEST_F(ExplorerWindowTest, FolderUpWhileAListingRunsAndItsParentIsGoneLetsTheListingFinish)
{
    const fs::path inner = root / "gone" / "inner";
    fs::create_directories(inner);
    for (int i = 0; i < 5000; ++i)
        WriteFile(inner / ("f" + std::to_string(i)), 0);
    Enter(root);
    const size_t history = State().folderHistory.size();
    const std::u16string path = U(inner);
    explorer->NavigateToFolder(&path, true);
    // The folder moves away once the walk has read it, while it is listed (no event has been
    // handled yet): its parent, as the path names it, is gone when Folder up comes.
    WSFileStorageThreadSafeAccess& store = services->GetFileStorageAccess();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (store.GetPublishedCount() <= 100 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_GT(store.GetPublishedCount(), 100u);
    fs::rename(root / "gone", base / "moved");
    ASSERT_TRUE(list->IsListingRunning());
    ASSERT_FALSE(explorer->GetSearchBox()->IsEnabled());
    explorer->OnFolderUp();
    EXPECT_TRUE(PumpUntil(
        [this] { return !list->IsListingRunning() && explorer->GetSearchBox()->IsEnabled(); }, 10000))
        << "the listing was stopped and its progress left on the list";
    PumpUntilIdle();
    EXPECT_EQ(RowOf(u"List is populated..."), -1);
    EXPECT_EQ(list->GetItemCount(), 5001) << "the entries and the parent entry";
    EXPECT_GE(RowOf(u"f4999"), 0);
    EXPECT_EQ(State().currentFolder, U(inner));
    EXPECT_EQ(State().folderHistory.size(), history + 1);
}

TEST_F(ExplorerWindowTest, AListingSaysOnTheOutputLineWhichFoldersItCouldNotRead)
{
    // A folder without any permission, listed flat by an ordinary user: when the tests run as
    // root, the thread that starts the listing takes the file system identity of uid 65534 for
    // that moment, and the worker it starts keeps it.
    fs::create_directory(root / "closed");
    WriteFile(root / "closed" / "secret.txt", 1);
    for (const fs::path& folder : {base, root, root / "sub"})
        fs::permissions(folder, fs::perms(0755));
    fs::permissions(root / "closed", fs::perms::none);
    Enter(root);
    notifier.lines.clear();
    const bool narrowed = geteuid() == 0;
    int identity = static_cast<int>(geteuid());
    if (narrowed)
    {
        setfsgid(65534);
        setfsuid(65534);
        identity = setfsuid(static_cast<uid_t>(-1)); // gives the identity, changes nothing
    }
    explorer->OnSearchInSubfoldersClicked(); // lists again, flat
    if (narrowed)
    {
        setfsuid(0);
        setfsgid(0);
    }
    WaitForListing();
    fs::permissions(root / "closed", fs::perms::owner_all);
    ASSERT_NE(identity, 0) << "the listing ran as root";
    ASSERT_TRUE(list->flatList);
    EXPECT_EQ(notifier.lines,
              std::vector<std::u16string>{UnreadFolderText(U(root / "closed"), u"Permission denied")});
    // The rest of the walk is listed.
    EXPECT_GE(RowOf(u"closed"), 0);
    EXPECT_EQ(RowOf(u"closed/secret.txt"), -1);
    EXPECT_GE(RowOf(u"sub/x.txt"), 0);
    EXPECT_GE(RowOf(u"old.csv"), 0);
}

TEST_F(ExplorerWindowTest, AFolderPathLongerThan500CharactersStaysInThePathBox)
{
    fs::path deep = root;
    for (int i = 0; i < 3; ++i)
        deep /= std::string(200, static_cast<char>('a' + i));
    fs::create_directories(deep);
    WriteFile(deep / "inside.txt", 1);
    Enter(deep);
    EXPECT_EQ(explorer->GetPathBox()->GetValue(), GridToWxString(U(deep)));
    EXPECT_GE(RowOf(u"inside.txt"), 0);
    // The check box re-lists the same folder.
    explorer->OnSearchInSubfoldersClicked();
    WaitForListing();
    EXPECT_TRUE(list->flatList);
    EXPECT_GE(RowOf(u"inside.txt"), 0);
    explorer->OnSearchInSubfoldersClicked();
    WaitForListing();
}

TEST_F(ExplorerWindowTest, FocusGivenToTheWindowReachesTheList)
{
    Enter(root);
    explorer->GetSearchBox()->SetFocus();
    PumpUntilIdle();
    explorer->SetFocus();
    PumpUntilIdle();
    const wxWindow* focus = wxWindow::FindFocus();
    EXPECT_TRUE(focus == list || focus == list->GetListArea());
    EXPECT_FALSE(explorer->GetFolderPopup() && explorer->GetFolderPopup()->IsShown());
}

TEST_F(ExplorerWindowTest, TheFolderPopupShowsEveryRowOnScreen)
{
    Enter(root);
    LSuggestionsBoxFolderPaths* popup = explorer->GetFolderPopup();
    ASSERT_NE(popup, nullptr);
    wxTextCtrl* path = explorer->GetPathBox()->GetTextCtrl();
    path->SetFocus();
    PumpUntilIdle();
    // The first showing: the few folders seen so far. Then hidden.
    explorer->ShowSuggestions();
    PumpUntil([&] { return popup->IsShownOnScreen(); });
    PumpUntilIdle();
    ASSERT_TRUE(popup->IsShown());
    const size_t firstRows = popup->GetModel().GetVisibleCount();
    popup->Hide();
    PumpUntilIdle();
    // More folders and a longer one: the next showing on screen follows.
    for (int i = 0; i < 6; ++i)
        fs::create_directories(root /
                               ("folder number " + std::to_string(i) + std::string(i == 5 ? 60 : 0, 'x')));
    Enter(root);
    path->SetFocus();
    PumpUntilIdle();
    explorer->GetPathBox()->SetValue(GridToWxString(U(root)) + "/f");
    PumpUntilIdle();
    explorer->ShowSuggestions();
    const size_t rows = popup->GetModel().GetVisibleCount();
    ASSERT_GT(rows, firstRows);
    for (size_t i = 0; i < rows; ++i)
        popup->SelectNext(); // the last row is selected
    PumpUntilIdle();
    ASSERT_TRUE(popup->IsShown());
    wxRect shown;
    ASSERT_TRUE(OnScreenRect(popup, shown));
    EXPECT_EQ(shown.GetSize(), popup->GetSize());
    EXPECT_EQ(shown.GetPosition(), popup->GetPosition());
    const int rh = popup->GetRowHeight();
    EXPECT_GE(shown.height, static_cast<int>(rows) * rh);
    // The last row is drawn on the screen.
    const wxPoint lastRow(shown.x + shown.width - 10, shown.y + 2 + static_cast<int>(rows - 1) * rh + rh / 2);
    EXPECT_EQ(ScreenPixel(lastRow).GetRGB(), wxColour(LSuggestionsBox::SELECTED_COLOUR).GetRGB());
}

// ---- navigation edge cases

TEST_F(ExplorerWindowTest, AFlatListingAddsNoFolderSuggestions)
{
    fs::create_directories(root / "sub" / "deeper");
    LSuggestionsBoxFolderPaths* popup = explorer->GetFolderPopup();
    ASSERT_NE(popup, nullptr);
    explorer->OnSearchInSubfoldersClicked(); // flat
    ASSERT_TRUE(list->flatList);
    const size_t before = popup->GetModel().GetEntryCount();
    Enter(root);
    ASSERT_GE(RowOf(u"sub/deeper"), 0);
    // Only the entered folder itself is offered, none of the listed ones.
    EXPECT_EQ(popup->GetModel().GetEntryCount(), before + 1);
    for (size_t i = 0; i < popup->GetModel().GetEntryCount(); ++i)
        EXPECT_NE(popup->GetModel().GetEntry(i).text, U(root / "sub"));
    explorer->OnSearchInSubfoldersClicked(); // back to a plain listing: the folders are offered
    WaitForListing();
    bool offered = false;
    for (size_t i = 0; i < popup->GetModel().GetEntryCount(); ++i)
        offered = offered || popup->GetModel().GetEntry(i).text == U(root / "sub");
    EXPECT_TRUE(offered);
}

TEST_F(ExplorerWindowTest, ASearchOverAnEmptyStoreLeavesTheList)
{
    Enter(root);
    const std::vector<std::u16string> before = Texts();
    {
        WSFileStorageAccessGuard guard(services->GetFileStorageAccess());
        list->DeleteAllRows(); // the rows point at the records that go next
        guard.Get().Clear(true);
        for (const std::u16string& text : before)
            list->InsertTextRow(list->GetRowCount(), text);
    }
    explorer->GetSearchBox()->SetValue("old");
    explorer->SearchFiles();
    EXPECT_EQ(Texts(), before);
}

TEST_F(ExplorerWindowTest, AHistoryStepToAMissingFolderMovesOnlyThePosition)
{
    fs::create_directory(root / "gone");
    Enter(root / "gone");
    Enter(root);
    const std::vector<std::u16string> before = Texts();
    const std::vector<std::u16string> history = State().folderHistory;
    ASSERT_EQ(State().historyPosition, static_cast<int>(history.size()) - 1);
    fs::remove(root / "gone");
    explorer->OnHistoryBack();
    PumpUntilIdle();
    EXPECT_EQ(State().historyPosition, static_cast<int>(history.size()) - 2);
    EXPECT_EQ(State().folderHistory, history);
    EXPECT_FALSE(list->IsListingRunning());
    EXPECT_EQ(Texts(), before);
    EXPECT_TRUE(explorer->GetSearchBox()->IsEnabled());
}

namespace {
class TestView : public wxView
{
public:
    void OnDraw(wxDC*) override {}
};
} // namespace

TEST_F(ExplorerWindowTest, TheActiveDocumentsFolderIsEnteredWhenItIsAFolderOnDisk)
{
    // No document manager, or no document: nothing happens.
    explorer->OnSetFolderFromActiveDocument();
    PumpUntilIdle();
    EXPECT_TRUE(State().folderHistory.empty());

    auto manager = std::make_unique<wxDocManager>();
    explorer->OnSetFolderFromActiveDocument();
    PumpUntilIdle();
    EXPECT_TRUE(State().folderHistory.empty());

    struct Case
    {
        wxString file;
        std::u16string entered; // empty: nothing happens
    };
    const Case cases[] = {
        {wxString::FromUTF8((root / "sub" / "x.txt").string()), U(root / "sub")},
        {"http://example.com/data/x.csv", u""},
        {wxString::FromUTF8((root / "missing" / "y.csv").string()), u""},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.file.ToStdString());
        auto* document = new wxDocument();
        document->SetFilename(c.file);
        manager->AddDocument(document);
        auto* view = new TestView();
        view->SetDocument(document);
        manager->ActivateView(view, true);
        ASSERT_EQ(manager->GetCurrentDocument(), document);
        const size_t history = State().folderHistory.size();
        explorer->OnSetFolderFromActiveDocument();
        if (c.entered.empty())
        {
            PumpUntilIdle();
            EXPECT_EQ(State().folderHistory.size(), history);
        }
        else
        {
            WaitForListing();
            EXPECT_EQ(State().folderHistory.size(), history + 1);
            EXPECT_EQ(explorer->GetPathBox()->GetValue(), GridToWxString(c.entered));
            EXPECT_GE(RowOf(u"x.txt"), 0);
        }
        manager->ActivateView(view, false);
        EXPECT_TRUE(manager->CloseDocument(document, true)); // the document and its view go
    }
    manager.reset();
}

TEST_F(ExplorerWindowTest, TheModifiedColumnHoldsTheWholeDateAndEveryNameStartsAtTheSamePlace)
{
    Enter(root);
    // The longest date and time text of the locale fits its column, margins included.
    const int64_t longest = 978047938; // the 28th of December 2000, 23:58:58 UTC
    wxCoord width = 0, height = 0;
    list->GetTextExtent(GridToWxString(FormatLocaleDateTime(longest)), &width, &height);
    EXPECT_GE(list->GetColumnWidth(3), width + 12);
    EXPECT_GE(list->GetColumnWidth(3), 130);

    // In a store of 100,000 records only folders and files with their own icon have a picture of
    // their own; the others show an empty one, so that all names line up.
    {
        WSFileStorageAccessGuard guard(services->GetFileStorageAccess());
        list->DeleteAllRows();
        WSFileStorage& store = guard.Get();
        store.Clear(true);
        // Another folder than the listed one: the list makes its entries anew for these records.
        const fs::path many = root / "many";
        store.SetFolder(U(many));
        store.AddFile(U(root / "sub"), true);
        for (int i = 0; store.size() < 100001; ++i)
            store.AddFile(U(many / ("f" + std::to_string(i) + ".csv")), false);
        store.AddFile(U(many / ".."), true);
        list->PopulateFromRecords(std::vector<WSFileRecord*>(store.begin(), std::next(store.begin(), 50)),
                                  store);
    }
    ASSERT_GT(list->GetItemCount(), 10);
    for (long row = 0; row < list->GetItemCount(); ++row)
    {
        wxListItem item;
        item.SetId(row);
        item.SetColumn(0);
        item.SetMask(wxLIST_MASK_IMAGE);
        ASSERT_TRUE(list->GetItem(item));
        EXPECT_GE(item.GetImage(), 0) << "row " << row;
    }
    {
        WSFileStorageAccessGuard guard(services->GetFileStorageAccess());
        list->DeleteAllRows();
        guard.Get().Clear(true);
    }
}

TEST_F(ExplorerWindowTest, TheSortArrowOfARightAlignedHeaderStaysClearOfItsLabel)
{
    // The header draws the arrow at the right end of the sorted column, where a right-aligned
    // label ends: the label of the sorted right-aligned column carries room for the arrow after
    // it (at least 16 pixels of blanks), the others their bare text.
    Enter(root);
    const auto label = [&](int column) {
        wxListItem item;
        item.SetMask(wxLIST_MASK_TEXT);
        EXPECT_TRUE(list->GetColumn(column, item));
        return item.GetText();
    };
    const auto width = [&](const wxString& text) {
        wxCoord w = 0, h = 0;
        list->GetTextExtent(text, &w, &h);
        return static_cast<int>(w);
    };
    for (const int sorted : {2, 3, 0})
    {
        SCOPED_TRACE(sorted);
        ClickColumn(sorted);
        PumpUntilIdle();
        for (const auto& [column, bare] : {std::pair<int, wxString>{2, "Size"}, {3, "Modified"}})
        {
            if (column == sorted)
            {
                EXPECT_TRUE(label(column).StartsWith(bare));
                EXPECT_GE(width(label(column)) - width(bare), 16);
            }
            else
            {
                EXPECT_EQ(label(column), bare);
            }
        }
        EXPECT_EQ(label(0), "Filename/Path") << "left-aligned labels are left alone";
    }
}
