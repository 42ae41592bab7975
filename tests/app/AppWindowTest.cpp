// The viewer's windows under a display: layout, toolbar boxes, menus and command states,
// opening, scrolling, selecting, copying, finding, going to a line, applying properties, the
// recent files, the panes, the open switch between two processes, drops and painting.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <wx/choice.h>
#include <wx/clipbrd.h>
#include <wx/config.h>
#include <wx/dataobj.h>
#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/filehistory.h>
#include <wx/filename.h>
#include <wx/frame.h>
#include <wx/menu.h>
#include <wx/print.h>
#include <wx/process.h>
#include <wx/radiobut.h>
#include <wx/settings.h>
#include <wx/statbmp.h>
#include <wx/uiaction.h>
#include <wx/utils.h>

#include "AppGuiSupport.h"
#include "AppIcon.h"
#include "AppIds.h"
#include "CCSVQuibboAppApp.h"
#include "CCSVQuibboAppDoc.h"
#include "CCSVQuibboAppView.h"
#include "CFileView.h"
#include "CMainFrame.h"
#include "COutputWnd.h"
#include "CPropertyView.h"
#include "CRowDetails.h"
#include "CToolbarBoxes.h"
#include "ChildProcess.h"
#include "CsvDocumentCore.h"
#include "DisplayWatches.h"
#include "GridWxText.h"
#include "LCSVRowGridBox.h"
#include "LGridView.h"
#include "OpenSwitch.h"
#include "PrinterLookup.h"

// The stat(2) calls of this process on paths under a folder, counted while a test asks: wx's
// own and the viewer's alike (the definitions here come before the C library's).
namespace {
std::atomic<long> g_statCalls{0};
std::string g_statFolder; // empty: not counting

void CountStat(const char* path)
{
    if (!g_statFolder.empty() && path && std::strncmp(path, g_statFolder.c_str(), g_statFolder.size()) == 0)
        ++g_statCalls;
}

template <class F>
F NextSymbol(const char* name)
{
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}
} // namespace

// The symbols by their own names: with 64-bit file offsets, the headers name stat "stat64".
#define CSVQ_COUNTED_STAT(function, symbol)                                                                  \
    extern "C" int function(const char* path, void* buf) __asm__(symbol);                                    \
    extern "C" int function(const char* path, void* buf)                                                     \
    {                                                                                                        \
        static auto next = NextSymbol<int (*)(const char*, void*)>(symbol);                                  \
        CountStat(path);                                                                                     \
        return next(path, buf);                                                                              \
    }
CSVQ_COUNTED_STAT(CountedStat, "stat")
CSVQ_COUNTED_STAT(CountedStat64, "stat64")
CSVQ_COUNTED_STAT(CountedLstat, "lstat")
CSVQ_COUNTED_STAT(CountedLstat64, "lstat64")
#undef CSVQ_COUNTED_STAT

namespace {

CCSVQuibboAppApp& App()
{
    return *static_cast<CCSVQuibboAppApp*>(wxTheApp);
}

CMainFrame& Frame()
{
    return *App().GetMainFrame();
}

class AppWindowTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        if (!App().GetMainFrame())
            return;
        App().GetDocManager()->CloseDocuments(true);
        PumpUntilIdle();
        g_messageBoxes.texts.clear();
        g_messageBoxes.styles.clear();
    }

    // Opens a file as the File menu does and waits until its window shows.
    CCSVQuibboAppDoc* Open(const std::string& path)
    {
        App().OpenFile(wxString::FromUTF8(path));
        const wxFileName file(wxString::FromUTF8(path));
        PumpUntil([&] {
            CCSVQuibboAppDoc* doc = ActiveDoc();
            CCSVQuibboAppView* view = ActiveView();
            return doc && wxFileName(doc->GetFilename()).SameAs(file) && view && view->GetDocument() == doc &&
                   view->GetGrid()->IsShownOnScreen();
        });
        PumpUntilIdle();
        return ActiveDoc();
    }

    CCSVQuibboAppDoc* ActiveDoc() { return wxDynamicCast(Frame().GetActiveDocument(), CCSVQuibboAppDoc); }

    CCSVQuibboAppView* ActiveView()
    {
        auto* child = dynamic_cast<wxDocChildFrameAnyBase*>(Frame().GetActiveChild());
        return child ? dynamic_cast<CCSVQuibboAppView*>(child->GetView()) : nullptr;
    }

    // Sends a command as a menu or accelerator does.
    void Command(int id)
    {
        wxCommandEvent event(wxEVT_MENU, id);
        event.SetEventObject(&Frame());
        Frame().GetEventHandler()->ProcessEvent(event);
        PumpUntilIdle();
    }

    // The state the command would have in a menu: enabled, and whether any handler said so.
    bool Enabled(int id, bool* handled = nullptr)
    {
        wxUpdateUIEvent event(id);
        event.SetEventObject(&Frame());
        Frame().GetEventHandler()->ProcessEvent(event);
        if (handled)
            *handled = event.GetSetEnabled();
        return !event.GetSetEnabled() || event.GetEnabled();
    }

    uint64_t SelectedRow()
    {
        LGridView* grid = ActiveView()->GetGrid();
        if (grid->GetSelection().empty())
            return 0;
        return grid->GetSelection().begin()->first;
    }

    wxString RowDetailsText() { return Frame().GetRowDetailsPane()->GetEditor()->GetText(); }
};

TEST_F(AppWindowTest, FirstStartLayout)
{
    wxAuiManager& m = Frame().GetAuiManager();
    wxAuiPaneInfo& props = m.GetPane("Properties");
    wxAuiPaneInfo& output = m.GetPane("Output");
    wxAuiPaneInfo& details = m.GetPane("Row details");
    wxAuiPaneInfo& files = m.GetPane("File View");
    wxAuiPaneInfo& standard = m.GetPane("Standard");
    wxAuiPaneInfo& find = m.GetPane("Find");
    ASSERT_TRUE(props.IsOk() && output.IsOk() && details.IsOk() && files.IsOk());
    EXPECT_EQ(props.dock_direction, wxAUI_DOCK_BOTTOM);
    EXPECT_EQ(output.dock_direction, wxAUI_DOCK_BOTTOM);
    EXPECT_EQ(props.dock_row, output.dock_row);
    EXPECT_LT(props.dock_pos, output.dock_pos);
    EXPECT_EQ(details.dock_direction, wxAUI_DOCK_RIGHT);
    EXPECT_FALSE(files.IsShown());
    EXPECT_TRUE(props.IsShown() && output.IsShown() && details.IsShown());
    EXPECT_EQ(standard.dock_direction, wxAUI_DOCK_TOP);
    EXPECT_EQ(find.dock_direction, wxAUI_DOCK_TOP);
    EXPECT_EQ(standard.dock_row, find.dock_row);
    EXPECT_LT(standard.dock_pos, find.dock_pos);

    // On screen: Properties left of Output on one line, Row details at the right edge.
    wxRect pr = Frame().GetPropertiesPane()->GetScreenRect();
    wxRect orr = Frame().GetOutputPane()->GetScreenRect();
    wxRect dr = Frame().GetRowDetailsPane()->GetScreenRect();
    EXPECT_LT(pr.GetRight(), orr.GetLeft());
    EXPECT_EQ(pr.GetTop(), orr.GetTop());
    EXPECT_GT(dr.GetLeft(), pr.GetLeft());
    EXPECT_LT(dr.GetBottom(), pr.GetTop());

    // At start the Properties pane shows Semicolon and no encoding.
    EXPECT_TRUE(Frame().GetPropertiesPane()->GetRadio(0)->GetValue());
    EXPECT_EQ(Frame().GetPropertiesPane()->GetEncodingList()->GetSelection(), wxNOT_FOUND);
    EXPECT_EQ(Frame().GetPropertiesPane()->GetEncodingList()->GetCount(), 23u);
}

TEST_F(AppWindowTest, ToolbarBoxesLimitTextAndShowCueTexts)
{
    CGotoLineComboBox* go = Frame().GetGotoLineBox();
    CSearchComboBox* search = Frame().GetSearchBox();
    EXPECT_EQ(go->GetHint(), "Go to line (ENTER)");
    EXPECT_EQ(search->GetHint(), "Search");

    // Without a document both boxes are disabled, as their commands reach nobody.
    PumpUntilIdle();
    EXPECT_FALSE(go->IsEnabled());
    EXPECT_FALSE(search->IsEnabled());
    ASSERT_NE(Open(WriteCsv("boxes.csv", 10)), nullptr);
    PumpUntilIdle();
    EXPECT_TRUE(go->IsEnabled());
    EXPECT_TRUE(search->IsEnabled());

    wxUIActionSimulator sim;
    go->SetFocus();
    PumpUntilIdle();
    sim.Text("12a3456789012345678901234");
    PumpUntil([&] { return go->GetValue().length() >= 20; });
    PumpUntilIdle();
    EXPECT_EQ(go->GetValue(), "12345678901234567890") << "a letter dropped, 20 digits kept";
    go->ChangeValue("");

    search->SetFocus();
    PumpUntilIdle();
    search->ChangeValue(wxString(499, 'q'));
    search->SetInsertionPointEnd();
    sim.Text("rst");
    PumpUntil([&] { return search->GetValue().length() >= 500; });
    PumpUntilIdle();
    EXPECT_EQ(search->GetValue().length(), 500u);
    search->ChangeValue("");
}

TEST_F(AppWindowTest, MenusAndCommandStatesWithoutAndWithADocument)
{
    EXPECT_EQ(Frame().GetMenuBar()->GetMenuCount(), 3u);
    for (int id : std::initializer_list<int>{ID_GOTO_LINE_COMBO, ID_FIND_NEXT, ID_SEARCH_COMBO, ID_MATCH_CASE,
                                             int(wxID_COPY), int(wxID_CUT), int(wxID_PASTE), ID_WINDOW_SPLIT,
                                             ID_WINDOW_NEW})
        EXPECT_FALSE(Enabled(id)) << id;
    // A command that reaches nobody does nothing.
    Command(ID_FIND_NEXT);
    EXPECT_TRUE(g_messageBoxes.texts.empty());

    ASSERT_NE(Open(WriteCsv("states.csv", 50)), nullptr);
    EXPECT_EQ(Frame().GetMenuBar()->GetMenuCount(), 5u);
    EXPECT_EQ(Frame().GetMenuBar()->GetMenuLabelText(1), "Edit");
    EXPECT_EQ(Frame().GetMenuBar()->GetMenuLabelText(3), "Window");
    for (int id : std::initializer_list<int>{ID_GOTO_LINE_COMBO, ID_FIND_NEXT, ID_SEARCH_COMBO, ID_MATCH_CASE,
                                             ID_WINDOW_NEW})
        EXPECT_TRUE(Enabled(id)) << id;
    for (int id : std::initializer_list<int>{int(wxID_CUT), int(wxID_PASTE), int(wxID_UNDO), ID_WINDOW_SPLIT})
        EXPECT_FALSE(Enabled(id)) << id;
    EXPECT_FALSE(Enabled(wxID_COPY)) << "nothing selected";
    EXPECT_EQ(Frame().GetTitle(), "states.csv - CSV Quibbo");

    // Match case is a check button whose state comes from the document.
    Command(ID_MATCH_CASE);
    wxUpdateUIEvent check(ID_MATCH_CASE);
    Frame().GetEventHandler()->ProcessEvent(check);
    EXPECT_TRUE(check.GetChecked());

    // Closing the tab closes the document.
    ASSERT_NE(Frame().GetActiveChild(), nullptr);
    Frame().GetActiveChild()->Close();
    PumpUntilIdle();
    EXPECT_TRUE(App().GetDocManager()->GetDocumentsVector().empty());
    EXPECT_EQ(Frame().GetMenuBar()->GetMenuCount(), 3u);
    EXPECT_EQ(Frame().GetTitle(), "CSV Quibbo");
}

TEST_F(AppWindowTest, OpenScrollSelectAndCopy)
{
    CCSVQuibboAppDoc* doc = Open(WriteCsv("rows.csv", 12000));
    ASSERT_NE(doc, nullptr);
    CCSVQuibboAppView* view = ActiveView();
    ASSERT_NE(view, nullptr);
    LGridView* grid = view->GetGrid();
    LGridBox* root = grid->GetRootBox();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->children.size(), 5000u);
    EXPECT_EQ(grid->GetName(), "GridView");
    EXPECT_EQ(grid->GetId(), IDC_GRID_VIEW);
    COutputWnd* output = Frame().GetOutputPane();
    ASSERT_GT(output->GetList()->GetCount(), 0u);
    EXPECT_TRUE(output->GetList()->GetString(output->GetList()->GetCount() - 1).StartsWith("File opened = "));

    // Scrolling near the first segment's end brings the next one in.
    grid->SetTopRow(4600);
    view->GetCore().OnScroll(GRID_SB_THUMBTRACK, 0, 0, {});
    EXPECT_EQ(grid->GetRootBox()->children.size(), 10000u);
    grid->Redraw();
    PumpUntilIdle();

    // Selecting a row shows it in Row details; Copy puts it on the clipboard.
    LGridBox* box = nullptr;
    for (LGridBox* b : grid->GetRootBox()->children)
        if (b->rowNumber == 4601)
            box = b;
    ASSERT_NE(box, nullptr);
    grid->SelectBox(box, true);
    PumpUntilIdle();
    EXPECT_EQ(RowDetailsText(), "r4601;4601;value 4601\n");
    EXPECT_TRUE(Enabled(wxID_COPY));
    grid->SetFocus();
    PumpUntilIdle();
    Command(wxID_COPY);
    ASSERT_TRUE(wxTheClipboard->Open());
    wxTextDataObject data;
    EXPECT_TRUE(wxTheClipboard->GetData(data));
    wxTheClipboard->Close();
    EXPECT_EQ(data.GetText(), "r4601;4601;value 4601\n");
}

// Page steps through a file whose first field is the record number: after every step each row
// box shown whole holds its own record, each step goes to the row after the last one shown whole,
// and every record passed was shown whole, down across segments and back up to record 1.
TEST_F(AppWindowTest, PageStepsShowEveryRecordDownAndUp)
{
    const std::string path = g_testHome + "/numbered.csv";
    {
        std::ofstream out(path, std::ios::binary);
        for (int n = 1; n <= 20000; ++n)
            out << n << ";name " << n << ";city " << n % 97 << "\n";
    }
    ASSERT_NE(Open(path), nullptr);
    CCSVQuibboAppView* view = ActiveView();
    ASSERT_NE(view, nullptr);
    LGridView* grid = view->GetGrid();
    ASSERT_TRUE(PumpUntil([&] { return grid->GetTopRow() == 1; }));
    const int clientHeight = grid->GetClientSize().y;
    ASSERT_GT(clientHeight, 10 * (grid->GetRowHeight() + 2));

    std::set<uint64_t> seen;
    // The rows shown whole now; each must show its own record number in its first cell.
    auto shownWhole = [&] {
        std::vector<uint64_t> rows;
        const int64_t top = static_cast<int64_t>(grid->GetTopBoxOffset());
        for (LGridBox* box : grid->GetRootBox()->children)
        {
            LCSVRowGridBox* row = AsRowBox(box);
            if (!row || row->placeholder)
                continue;
            const int64_t sy = box->y - top;
            if (sy < 0 || sy + box->height > clientHeight)
                continue;
            rows.push_back(box->rowNumber);
            const std::string number = std::to_string(box->rowNumber);
            EXPECT_TRUE(!row->fields.empty() &&
                        row->fields[0].text == std::u16string(number.begin(), number.end()))
                << "row " << number;
        }
        seen.insert(rows.begin(), rows.end());
        return rows;
    };
    auto page = [&](wxEventType type) {
        wxScrollWinEvent event(type, 0, wxVERTICAL);
        event.SetEventObject(grid);
        grid->GetEventHandler()->ProcessEvent(event);
        PumpUntilIdle();
    };

    std::vector<uint64_t> rows = shownWhole();
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows.front(), 1u);
    const size_t perPage = rows.size();
    EXPECT_LT(perPage, static_cast<size_t>(clientHeight / grid->GetRowHeight()))
        << "the row boxes are 2 px taller than the row height";
    while (grid->GetTopRow() < 6000)
    {
        const uint64_t lastWhole = rows.back();
        page(wxEVT_SCROLLWIN_PAGEDOWN);
        ASSERT_EQ(grid->GetTopRow(), lastWhole + 1);
        rows = shownWhole();
        ASSERT_EQ(rows.size(), perPage);
        ASSERT_EQ(rows.front(), lastWhole + 1);
    }
    const uint64_t bottom = rows.back();
    for (uint64_t row = 1; row <= bottom; ++row)
        ASSERT_TRUE(seen.count(row)) << "record " << row << " was never shown whole paging down";

    seen.clear();
    shownWhole();
    while (grid->GetTopRow() > 1)
    {
        const uint64_t before = grid->GetTopRow();
        page(wxEVT_SCROLLWIN_PAGEUP);
        ASSERT_LT(grid->GetTopRow(), before);
        rows = shownWhole();
        ASSERT_FALSE(rows.empty());
        ASSERT_EQ(rows.back(), std::max<uint64_t>(before - 1, perPage)) << "page up from " << before;
    }
    for (uint64_t row = 1; row <= bottom; ++row)
        ASSERT_TRUE(seen.count(row)) << "record " << row << " was never shown whole paging up";
}

TEST_F(AppWindowTest, FindNextWithF3AndTheEndOfTheDocument)
{
    ASSERT_NE(Open(WriteCsv("find.csv", 12000)), nullptr);
    Frame().GetSearchBox()->ChangeValue("VALUE 7001");
    Command(ID_SEARCH_COMBO);
    EXPECT_EQ(SelectedRow(), 7001u);
    EXPECT_EQ(Frame().GetRowDetailsPane()->GetEditor()->GetSelectedText(), "value 7001");

    // F3 goes on from the selection; Shift+F3 does nothing.
    Frame().GetSearchBox()->ChangeValue("value 700");
    ActiveView()->GetGrid()->SetFocus();
    PumpUntilIdle();
    wxUIActionSimulator sim;
    sim.KeyDown(WXK_F3);
    sim.KeyUp(WXK_F3);
    PumpUntil([&] { return SelectedRow() != 7001u; });
    PumpUntilIdle();
    EXPECT_EQ(SelectedRow(), 7002u) << "\"value 7002\"... no: \"value 700\" first occurs after 7001 in 7002";
    sim.KeyDown(WXK_F3, wxMOD_SHIFT);
    sim.KeyUp(WXK_F3, wxMOD_SHIFT);
    PumpUntilIdle();
    EXPECT_EQ(SelectedRow(), 7002u);

    // No more hits: the message, the search never wraps.
    Frame().GetSearchBox()->ChangeValue("value 7001");
    Command(ID_FIND_NEXT);
    ASSERT_EQ(g_messageBoxes.texts.size(), 1u);
    EXPECT_EQ(g_messageBoxes.texts[0], "End of document reached. No more occurrences found.");
    EXPECT_TRUE(g_messageBoxes.styles[0] & wxICON_INFORMATION);
}

// Find next with match case off marks its hit in Row details beyond Latin letters too: a UTF-8
// file and a Windows-1251 file, searched in other cases than the file's.
TEST_F(AppWindowTest, FindNextMarksCyrillicHitsInRowDetailsWithMatchCaseOff)
{
    struct Case
    {
        const char* name;
        std::string bytes;  // the file's third record holds the word
        int encodingIndex;  // 0: UTF-8, 5: Windows-1251
        const char* search; // UTF-8
        const char* marked; // UTF-8: the word as the file has it
    } cases[] = {
        {"utf8.csv",
         "id;name\n1;\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD\xD0\xBE\xD0\xB2\n2;Petrov\n3;"
         "\xD0\xA1\xD0\xBC\xD0\xB8\xD1\x80\xD0\xBD\xD0\xBE\xD0\xB2 \xD0\x9F.\n",
         0, "\xD1\x81\xD0\xBC\xD0\xB8\xD1\x80\xD0\xBD\xD0\xBE\xD0\xB2", // смирнов
         "\xD0\xA1\xD0\xBC\xD0\xB8\xD1\x80\xD0\xBD\xD0\xBE\xD0\xB2"},   // Смирнов
        {"cp1251.csv", "id;city\n1;\xCC\xEE\xF1\xEA\xE2\xE0\n2;Riga\n3;\xE3. \xC2\xEE\xEB\xEE\xE3\xE4\xE0\n",
         5,
         "\xD0\x92\xD0\x9E\xD0\x9B\xD0\x9E\xD0\x93\xD0\x94\xD0\x90",  // ВОЛОГДА
         "\xD0\x92\xD0\xBE\xD0\xBB\xD0\xBE\xD0\xB3\xD0\xB4\xD0\xB0"}, // Вологда
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        const std::string path = g_testHome + "/" + c.name;
        {
            std::ofstream out(path, std::ios::binary);
            out << c.bytes;
        }
        CCSVQuibboAppDoc* doc = Open(path);
        ASSERT_NE(doc, nullptr);
        if (c.encodingIndex != 0)
        {
            CPropertyView* props = Frame().GetPropertiesPane();
            props->GetEncodingList()->SetSelection(c.encodingIndex);
            props->Apply();
            PumpUntilIdle();
            ASSERT_EQ(doc->GetCore().GetReadOptions().encodingIndex, c.encodingIndex);
        }
        ASSERT_FALSE(doc->GetCore().GetMatchCase());
        Frame().GetSearchBox()->ChangeValue(wxString::FromUTF8(c.search));
        Command(ID_SEARCH_COMBO);
        EXPECT_EQ(SelectedRow(), 4u) << "the header is row 1";
        wxStyledTextCtrl* editor = Frame().GetRowDetailsPane()->GetEditor();
        EXPECT_EQ(editor->GetSelectedText(), wxString::FromUTF8(c.marked));
        Frame().GetSearchBox()->ChangeValue("");
        App().GetDocManager()->CloseDocuments(true);
        PumpUntilIdle();
    }
}

TEST_F(AppWindowTest, GoToLineFromTheBoxWithEnter)
{
    ASSERT_NE(Open(WriteCsv("goto.csv", 100000)), nullptr);
    CGotoLineComboBox* go = Frame().GetGotoLineBox();
    go->SetFocus();
    PumpUntilIdle();
    wxUIActionSimulator sim;
    sim.Text("60000");
    sim.Char(WXK_RETURN);
    PumpUntil([&] { return SelectedRow() == 60000u && RowDetailsText() == "r60000;60000;value 60000\n"; });
    PumpUntilIdle();
    EXPECT_EQ(SelectedRow(), 60000u);
    LGridBox* root = ActiveView()->GetGrid()->GetRootBox();
    ASSERT_FALSE(root->children.empty());
    EXPECT_TRUE(AsRowBox(root->children.front())->placeholder);
    EXPECT_EQ(root->totalRows, 65010u);
    EXPECT_EQ(RowDetailsText(), "r60000;60000;value 60000\n");
    go->ChangeValue("");
}

TEST_F(AppWindowTest, ApplyInPropertiesRereadsTheActiveDocumentAndTabsShowTheirOptions)
{
    CCSVQuibboAppDoc* first = Open(WriteCsv("comma.csv", 30, ","));
    ASSERT_NE(first, nullptr);
    CCSVQuibboAppDoc* second = Open(WriteCsv("semi.csv", 30, ";"));
    ASSERT_NE(second, nullptr);
    ASSERT_NE(first, second);
    CPropertyView* props = Frame().GetPropertiesPane();

    // Activate the comma file, choose Comma and apply: its rows split into three fields.
    Frame().GetNotebook()->SetSelection(0);
    PumpUntilIdle();
    ASSERT_EQ(ActiveDoc(), first);
    auto* box = AsRowBox(ActiveView()->GetGrid()->GetRootBox()->children.front());
    EXPECT_EQ(box->fields.size(), 1u);
    props->GetRadio(1)->SetValue(true);
    wxCommandEvent click(wxEVT_RADIOBUTTON, ID_PROPERTY_COMMA);
    click.SetEventObject(props->GetRadio(1));
    props->GetRadio(1)->GetEventHandler()->ProcessEvent(click);
    props->GetEncodingList()->SetSelection(0);
    props->Apply();
    PumpUntilIdle();
    EXPECT_EQ(first->GetCore().GetReadOptions().separator, 1);
    EXPECT_EQ(second->GetCore().GetReadOptions().separator, 0) << "only the active document changes";
    box = AsRowBox(ActiveView()->GetGrid()->GetRootBox()->children.front());
    EXPECT_EQ(box->fields.size(), 3u);

    // An unapplied choice is replaced by the options of the window activated next.
    props->GetRadio(2)->SetValue(true);
    Frame().GetNotebook()->SetSelection(1);
    PumpUntilIdle();
    EXPECT_TRUE(props->GetRadio(0)->GetValue());
    Frame().GetNotebook()->SetSelection(0);
    PumpUntilIdle();
    EXPECT_TRUE(props->GetRadio(1)->GetValue());
    EXPECT_EQ(props->GetEncodingList()->GetSelection(), 0);
}

TEST_F(AppWindowTest, AFileThatCannotBeReadIsReportedAndOpensNothing)
{
    App().OpenFile(wxString::FromUTF8(g_testHome + "/missing.csv"));
    PumpUntilIdle();
    EXPECT_TRUE(App().GetDocManager()->GetDocumentsVector().empty());
    ASSERT_EQ(g_messageBoxes.texts.size(), 1u);
    EXPECT_NE(g_messageBoxes.texts[0].Find("missing.csv"), wxNOT_FOUND) << g_messageBoxes.texts[0];
    EXPECT_TRUE(g_messageBoxes.styles[0] & wxICON_ERROR);
    EXPECT_EQ(Frame().GetMenuBar()->GetMenuCount(), 3u);

    // Binary data opens as text without harm.
    std::string binary = g_testHome + "/binary.dat";
    {
        std::ofstream out(binary, std::ios::binary);
        for (int i = 0; i < 100000; ++i)
            out.put(static_cast<char>((i * 7919) & 0xFF));
    }
    EXPECT_NE(Open(binary), nullptr);
    ActiveView()->GetGrid()->Redraw();
    PumpUntilIdle();
}

TEST_F(AppWindowTest, RecentFilesHoldFour)
{
    for (int i = 0; i < 5; ++i)
    {
        ASSERT_NE(Open(WriteCsv("recent" + std::to_string(i) + ".csv", 5)), nullptr);
    }
    wxFileHistory* history = App().GetDocManager()->GetFileHistory();
    ASSERT_NE(history, nullptr);
    EXPECT_EQ(history->GetCount(), 4u);
    EXPECT_TRUE(history->GetHistoryFile(0).EndsWith("recent4.csv"));
}

TEST_F(AppWindowTest, OutputPaneKeepsTheNewest500Lines)
{
    COutputWnd* output = Frame().GetOutputPane();
    COutputList* list = output->GetList();
    list->Clear();
    for (int i = 0; i < 10; ++i)
        output->AddLine(wxString::Format("line %d", i));
    for (int i = 10; i < 501; ++i)
        output->AddLine(wxString::Format("line %d", i));
    EXPECT_EQ(list->GetCount(), 500u);
    EXPECT_EQ(list->GetString(0), "line 1");
    EXPECT_EQ(list->GetString(499), "line 500");

    // Its Copy and Clear only say so, and never reach the view; Hide hides the pane.
    wxCommandEvent copy(wxEVT_MENU, wxID_COPY);
    list->GetEventHandler()->ProcessEvent(copy);
    wxCommandEvent clear(wxEVT_MENU, wxID_CLEAR);
    list->GetEventHandler()->ProcessEvent(clear);
    ASSERT_EQ(g_messageBoxes.texts.size(), 2u);
    EXPECT_EQ(g_messageBoxes.texts[0], "Copy output");
    EXPECT_EQ(g_messageBoxes.texts[1], "Clear output");
    EXPECT_EQ(list->GetCount(), 500u);
    wxCommandEvent hide(wxEVT_MENU, ID_VIEW_OUTPUTWND);
    list->GetEventHandler()->ProcessEvent(hide);
    EXPECT_FALSE(Frame().GetAuiManager().GetPane("Output").IsShown());
    Command(ID_VIEW_OUTPUTWND);
    EXPECT_TRUE(Frame().GetAuiManager().GetPane("Output").IsShown());
}

TEST_F(AppWindowTest, OutputPaneKeepsItsNewestLineInSight)
{
    COutputWnd* output = Frame().GetOutputPane();
    COutputList* list = output->GetList();
    list->Clear();
    PumpUntilIdle();
    for (int i = 0; i < 600; ++i)
    {
        output->AddLine(wxString::Format("line %d", i));
        if (i == 3 || i == 12 || i == 60 || i == 599)
        {
            // The list scrolls when the toolkit next lays it out.
            PumpUntil([&] {
                const int newest = static_cast<int>(list->GetCount()) - 1;
                return list->GetTopItem() <= newest && newest < list->GetTopItem() + list->GetCountPerPage();
            });
            const int newest = static_cast<int>(list->GetCount()) - 1;
            const int top = list->GetTopItem();
            const int shown = list->GetCountPerPage();
            ASSERT_GT(shown, 0);
            EXPECT_LE(top, newest) << "after line " << i;
            EXPECT_LT(newest, top + shown)
                << "after line " << i << ": top " << top << ", " << shown << " shown";
        }
    }
}

// A frame of its own holding one Output pane of a given size, for comparing two panes.
struct LoosePane
{
    explicit LoosePane(const wxSize& size)
    {
        frame = new wxFrame(nullptr, wxID_ANY, "Output", wxPoint(0, 0));
        pane = new COutputWnd(frame, wxID_ANY);
        frame->SetClientSize(size);
        frame->Show();
    }
    ~LoosePane() { frame->Destroy(); }
    COutputList* List() const { return pane->GetList(); }

    wxFrame* frame = nullptr;
    COutputWnd* pane = nullptr;
};

// What the pane shows: its lines, its top line and how many fit.
struct PaneState
{
    std::vector<wxString> lines;
    int top = -1;
    int shown = -1;
    bool operator==(const PaneState&) const = default;
};

void PrintTo(const PaneState& state, std::ostream* out)
{
    *out << state.lines.size() << " lines";
    if (!state.lines.empty())
        *out << " (\"" << state.lines.front().utf8_string() << "\" .. \"" << state.lines.back().utf8_string()
             << "\")";
    *out << ", top " << state.top << ", " << state.shown << " shown";
}

PaneState StateOf(COutputList* list)
{
    PaneState state;
    for (unsigned i = 0; i < list->GetCount(); ++i)
        state.lines.push_back(list->GetString(i));
    state.top = list->GetTopItem();
    state.shown = list->GetCountPerPage();
    return state;
}

// Lets the toolkit lay both lists out and carry out their scroll requests: pumps until neither
// changes from one turn to the next.
void Settle(COutputList* a, COutputList* b)
{
    PaneState lastA = StateOf(a);
    PaneState lastB = StateOf(b);
    for (int turn = 0; turn < 200; ++turn)
    {
        // A sampling turn of the wait for both to stop changing (their scrolls come with the
        // toolkit's layout, not with the event queue).
        Pump(10);
        PaneState nowA = StateOf(a);
        PaneState nowB = StateOf(b);
        if (turn >= 1 && nowA == lastA && nowB == lastB)
            return;
        lastA = std::move(nowA);
        lastB = std::move(nowB);
    }
}

// A burst as the document hands it over: its newest kMaxLines + 1 lines and how many came.
void AddBurst(COutputWnd* pane, const std::vector<wxString>& burst)
{
    const size_t keep = std::min(burst.size(), size_t{COutputWnd::kMaxLines} + 1);
    pane->AddLines(std::vector<wxString>(burst.end() - static_cast<std::ptrdiff_t>(keep), burst.end()),
                   burst.size());
}

TEST_F(AppWindowTest, OutputPaneTakesABurstAsLineByLine)
{
    // Heights that show fewer and more than the ten lines kept above the newest one; panes empty,
    // partly filled and full, left where the last line put them or scrolled back to the top.
    for (const int height : {90, 300})
    {
        for (const int before : {0, 11, 500})
        {
            for (const bool scrolledBack : {false, true})
            {
                if (scrolledBack && before == 0)
                    continue;
                for (const int burstSize : {2, 12, 490, 501, 1200})
                {
                    SCOPED_TRACE(testing::Message()
                                 << "height " << height << ", " << before << " lines before"
                                 << (scrolledBack ? " scrolled back" : "") << ", burst of " << burstSize);
                    LoosePane single(wxSize(400, height));
                    LoosePane burst(wxSize(400, height));
                    ASSERT_TRUE(PumpUntil([&] {
                        return single.List()->IsShownOnScreen() && burst.List()->IsShownOnScreen() &&
                               single.List()->GetSize() == burst.List()->GetSize();
                    }));
                    PumpUntilIdle();
                    for (int i = 0; i < before; ++i)
                    {
                        single.pane->AddLine(wxString::Format("before %d", i));
                        burst.pane->AddLine(wxString::Format("before %d", i));
                    }
                    // Scrolled back before the lists are laid out: no scrolling animation to wait for.
                    if (scrolledBack)
                    {
                        single.List()->SetFirstItem(0);
                        burst.List()->SetFirstItem(0);
                    }
                    Settle(single.List(), burst.List());
                    ASSERT_EQ(StateOf(single.List()), StateOf(burst.List()));
                    if (scrolledBack)
                    {
                        ASSERT_EQ(single.List()->GetTopItem(), 0);
                    }
                    std::vector<wxString> lines;
                    for (int i = 0; i < burstSize; ++i)
                        lines.push_back(wxString::Format("burst %d", i));
                    for (const wxString& line : lines)
                        single.pane->AddLine(line);
                    AddBurst(burst.pane, lines);
                    const PaneState right = StateOf(single.List());
                    EXPECT_EQ(StateOf(burst.List()), right);
                    ASSERT_EQ(right.lines.size(),
                              std::min<size_t>(before + burstSize, COutputWnd::kMaxLines));
                    EXPECT_EQ(right.lines.back(), lines.back());
                    // And once the toolkit has laid the lists out: the same top line, the newest in sight.
                    Settle(single.List(), burst.List());
                    const PaneState shown = StateOf(single.List());
                    EXPECT_EQ(StateOf(burst.List()), shown);
                    EXPECT_LE(shown.top, static_cast<int>(shown.lines.size()) - 1);
                    EXPECT_GT(shown.top + shown.shown, static_cast<int>(shown.lines.size()) - 1);
                }
            }
        }
    }
}

TEST_F(AppWindowTest, OutputPaneShowsADocumentsBurstAsLineByLine)
{
    // 8,000 records over two lines each: a find without a hit logs one line for each record past
    // the first segment, and a "Searching at line" line per segment.
    const std::string path = g_testHome + "/burst.csv";
    {
        std::ofstream out(path, std::ios::binary);
        for (int i = 1; i <= 8000; ++i)
            out << "\"first " << i << "\nsecond\";" << i << "\n";
    }
    // The same commands on a document core of its own give the lines, one by one.
    struct Recorder : ILogSink
    {
        void AddLine(const std::u16string& line) override { lines.push_back(GridToWxString(line)); }
        std::vector<wxString> lines;
    } recorder;
    CsvDocumentServices services;
    services.log = &recorder;
    CsvDocumentCore core(services);
    ASSERT_TRUE(core.OnOpenDocument(path));
    recorder.lines.clear();
    core.OnFindNext(nullptr, u"nowhere");
    ASSERT_GT(recorder.lines.size(), 2000u);

    ASSERT_NE(Open(path), nullptr);
    COutputWnd* output = Frame().GetOutputPane();
    LoosePane single(output->GetList()->GetSize());
    ASSERT_TRUE(PumpUntil([&] { return single.List()->GetSize() == output->GetList()->GetSize(); }));
    output->GetList()->Clear();
    PumpUntilIdle();
    // The pane has every line of the search when its end is told in a message box.
    struct SeeingBoxes : CMessageBoxInterface
    {
        int ShowMessageBox(const wxString& text, long) override
        {
            texts.push_back(text);
            paneAtBox = StateOf(list);
            return wxOK;
        }
        COutputList* list = nullptr;
        std::vector<wxString> texts;
        PaneState paneAtBox;
    } boxes;
    boxes.list = output->GetList();
    SetMessageBoxes(&boxes);
    Frame().GetSearchBox()->ChangeValue("nowhere");
    Command(ID_FIND_NEXT);
    SetMessageBoxes(&g_messageBoxes);
    Frame().GetSearchBox()->ChangeValue("");
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_EQ(boxes.texts[0], "End of document reached. No more occurrences found.");

    for (const wxString& line : recorder.lines)
        single.pane->AddLine(line);
    const PaneState right = StateOf(single.List());
    ASSERT_EQ(right.lines.size(), COutputWnd::kMaxLines);
    EXPECT_EQ(right.lines.back(), recorder.lines.back());
    EXPECT_TRUE(right.lines.front().StartsWith("CSV line across several lines in file; "));
    EXPECT_EQ(boxes.paneAtBox.lines.size(), right.lines.size());
    EXPECT_TRUE(boxes.paneAtBox.lines == right.lines);
    Settle(output->GetList(), single.List());
    EXPECT_EQ(StateOf(output->GetList()), StateOf(single.List()));
}

TEST_F(AppWindowTest, RowDetailsFollowsTheActiveTabAndEmptiesWithTheLastDocument)
{
    auto selectRow = [&](uint64_t row) {
        LGridView* grid = ActiveView()->GetGrid();
        for (LGridBox* box : grid->GetRootBox()->children)
            if (box->rowNumber == row)
                grid->SelectBox(box, true);
        PumpUntilIdle();
    };
    ASSERT_NE(Open(WriteCsv("first.csv", 30)), nullptr);
    selectRow(5);
    EXPECT_EQ(RowDetailsText(), "r5;5;value 5\n");
    // A new tab without a selection shows nothing; its own selection shows.
    ASSERT_NE(Open(WriteCsv("second.csv", 30)), nullptr);
    EXPECT_EQ(RowDetailsText(), "");
    selectRow(7);
    EXPECT_EQ(RowDetailsText(), "r7;7;value 7\n");
    // Back and forth between the tabs.
    Frame().GetNotebook()->SetSelection(0);
    PumpUntilIdle();
    EXPECT_EQ(SelectedRow(), 5u);
    EXPECT_EQ(RowDetailsText(), "r5;5;value 5\n");
    Frame().GetNotebook()->SetSelection(1);
    PumpUntilIdle();
    EXPECT_EQ(RowDetailsText(), "r7;7;value 7\n");
    // Closing the active tab shows the other one's rows; closing the last empties the pane.
    Frame().GetActiveChild()->Close();
    PumpUntilIdle();
    EXPECT_EQ(RowDetailsText(), "r5;5;value 5\n");
    Frame().GetActiveChild()->Close();
    PumpUntilIdle();
    EXPECT_EQ(Frame().GetActiveChild(), nullptr);
    EXPECT_EQ(RowDetailsText(), "");
}

TEST_F(AppWindowTest, RowDetailsShowsReadOnlyTextAndFindsTheFirstHit)
{
    CRowDetails* details = Frame().GetRowDetailsPane();
    wxStyledTextCtrl* editor = details->GetEditor();
    EXPECT_TRUE(editor->GetReadOnly()) << "read-only from the start";
    details->SetText("ABC;x\tz\nabc;abc\n");
    EXPECT_EQ(editor->GetText(), "ABC;x\tz\nabc;abc\n");
    EXPECT_TRUE(editor->GetReadOnly());
    EXPECT_FALSE(editor->CanUndo());
    EXPECT_EQ(editor->GetViewWhiteSpace(), wxSTC_WS_VISIBLEALWAYS);
    EXPECT_TRUE(editor->GetViewEOL());
    EXPECT_EQ(editor->GetWrapMode(), wxSTC_WRAP_CHAR);

    EXPECT_TRUE(details->FindText("abc", true));
    EXPECT_EQ(editor->GetSelectionStart(), 8);
    EXPECT_TRUE(details->FindText("abc", true)) << "the first hit every time";
    EXPECT_EQ(editor->GetSelectionStart(), 8);
    EXPECT_TRUE(details->FindText("abc", false));
    EXPECT_EQ(editor->GetSelectionStart(), 0);
    EXPECT_FALSE(details->FindText("abd", false));
    EXPECT_FALSE(details->FindText("", false));

    // Multibyte text: the selection covers the hit's UTF-8 bytes.
    details->SetText(wxString::FromUTF8("\xC3\xA9t\xC3\xA9;caf\xC3\xA9"));
    EXPECT_TRUE(details->FindText(wxString::FromUTF8("caf\xC3\xA9"), true));
    EXPECT_EQ(editor->GetSelectedText(), wxString::FromUTF8("caf\xC3\xA9"));

    // A hit far down a long wrapped row is scrolled into view.
    std::string longRow(60000, 'w');
    longRow += "needle";
    details->SetText(wxString::FromUTF8(longRow));
    PumpUntilIdle();
    EXPECT_TRUE(details->FindText("needle", true));
    PumpUntilIdle();
    // The hit lies many screens down the wrapped row, and the view went there.
    EXPECT_GT(editor->GetFirstVisibleLine(), editor->LinesOnScreen());
    int y = editor->PointFromPosition(editor->GetSelectionStart()).y;
    EXPECT_GE(y, 0);
    EXPECT_LT(y, editor->GetClientSize().y);

    details->SetText("");
    EXPECT_EQ(editor->GetText(), "");
}

// What this process writes to its standard error while it lives.
class StderrCapture
{
public:
    StderrCapture()
    {
        m_file = mkstemp(m_name);
        fflush(stderr);
        m_saved = dup(2);
        if (m_file >= 0)
            dup2(m_file, 2);
    }
    ~StderrCapture()
    {
        Text();
        close(m_file);
        std::remove(m_name);
    }
    bool Ok() const { return m_file >= 0 && m_saved >= 0; }
    // Ends the capture (once) and returns what was written.
    const std::string& Text()
    {
        if (m_saved >= 0)
        {
            fflush(stderr);
            dup2(m_saved, 2);
            close(m_saved);
            m_saved = -1;
            std::ifstream in(m_name, std::ios::binary);
            m_text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
        return m_text;
    }

private:
    char m_name[32] = "/tmp/csvq-stderr-XXXXXX";
    int m_file = -1;
    int m_saved = -1;
    std::string m_text;
};

// A second start with the open switch hands its paths to the running viewer and ends, also under
// LANG=C with a relative path that is not ASCII, from a folder that is not ASCII either. When the
// running viewer can open none of its files it still gets them (and says why they failed), and
// the second start ends with status 1 and one line on its standard error.
TEST_F(AppWindowTest, OpenSwitchForwardsPathsToTheRunningViewer)
{
    std::vector<OpenSwitchDelivery> received;
    COpenSwitchInstance instance;
    EXPECT_FALSE(instance.IsAnotherRunning()) << "the lock is this process's own";
    COpenSwitchServer server(
        [&received](const OpenSwitchDelivery& delivery) { received.push_back(delivery); });
    ASSERT_TRUE(server.Start());

    const std::string folder = g_testHome + "/dossier \xC3\xA9t\xC3\xA9";
    mkdir(folder.c_str(), 0700);
    const std::string plain = WriteCsv("forwarded.csv", 3);
    const std::string accented = "donn\xC3\xA9"
                                 "es \xC3\xBC.csv";
    std::ofstream(folder + "/" + accented) << "a;b\n";
    // A real file whose name is not UTF-8 (Latin-1 bytes, and a byte no encoding of text uses).
    const std::string notUtf8 = g_testHome + "/forwarded-caf\xE9-\xFF.csv";
    std::ofstream(notUtf8) << "a;b\n";
    struct Case
    {
        const char* name;
        std::string arg;
        std::string cwd;
        std::map<std::string, std::string> env;
        std::string expected; // the path delivered; empty: none, the one path left out as not UTF-8
        int status;
        std::string error;
    };
    const std::string missing = g_testHome + "/forwarded-missing.csv";
    const Case cases[] = {
        {"absolute path", plain, "", {}, plain, 0, ""},
        {"LANG=C, relative",
         accented,
         folder,
         {{"LANG", "C"}, {"LC_ALL", "C"}},
         folder + "/" + accented,
         0,
         ""},
        {"missing", missing, "", {}, missing, 1, "The running viewer could not open \"" + missing + "\".\n"},
        {"a folder",
         g_testHome,
         "",
         {},
         g_testHome,
         1,
         "The running viewer could not open \"" + g_testHome + "\".\n"},
        {"not UTF-8",
         notUtf8,
         "",
         {},
         "",
         1,
         "The running viewer could not open \"" + g_testHome + "/forwarded-caf\\351-\\377.csv\".\n"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        received.clear();
        StderrCapture serverErrors;
        ChildProcess child(CSVQ_VIEWER_EXE, {"--open", c.arg}, c.env, c.cwd);
        ASSERT_TRUE(child.Started());
        EXPECT_TRUE(PumpUntil([&received]() { return !received.empty(); }, 20000)) << child.Errors();
        ASSERT_EQ(received.size(), 1u);
        if (c.expected.empty())
        {
            EXPECT_TRUE(received[0].paths.empty());
            EXPECT_EQ(received[0].notUtf8, 1);
        }
        else
        {
            ASSERT_EQ(received[0].paths.size(), 1u);
            EXPECT_EQ(received[0].paths[0].utf8_string(), c.expected);
            EXPECT_EQ(received[0].notUtf8, 0);
        }
        // The second process ends by itself once it has handed the path over.
        ASSERT_TRUE(child.WaitForExit(20000));
        EXPECT_EQ(child.ExitCode(), c.status) << child.Errors();
        EXPECT_TRUE(child.Windows().empty());
        if (c.status != 0)
        {
            EXPECT_EQ(OwnLines(child.Errors()), c.error);
        }
        // The running viewer says why it did not open a path it cannot name.
        EXPECT_EQ(OwnLines(serverErrors.Text()),
                  c.expected.empty() ? std::string("A path that is not UTF-8 was not opened.\n")
                                     : std::string());
    }
}

// Under LANG=C a viewer that runs alone opens a file whose name is not ASCII.
TEST_F(AppWindowTest, OpenSwitchUnderLangCOpensANonAsciiNameItself)
{
    const std::string folder = g_testHome + "/alone-\xC3\xA9";
    for (const char* sub : {"", "/run", "/config"})
        mkdir((folder + sub).c_str(), 0700);
    const std::string name = "\xC3\xA9t\xC3\xA9 \xE2\x82\xAC.csv";
    std::ofstream(folder + "/" + name) << "a;b\n";
    ChildProcess child(CSVQ_VIEWER_EXE, {"--open", folder + "/" + name},
                       {{"LANG", "C"},
                        {"LC_ALL", "C"},
                        {"XDG_RUNTIME_DIR", folder + "/run"},
                        {"XDG_CONFIG_HOME", folder + "/config"}});
    bool titled = PumpUntil(
        [&]() {
            for (unsigned long w : child.Windows())
                if (ChildProcess::WindowTitle(w) == name + " - CSV Quibbo")
                    return true;
            return false;
        },
        30000);
    EXPECT_TRUE(titled) << child.Errors();
    child.Signal(SIGTERM);
    ASSERT_TRUE(child.WaitForExit(20000));
    EXPECT_EQ(child.ExitCode(), 0);
}

// Ctrl+N: an empty document named after the template, numbered as untitled documents are.
TEST_F(AppWindowTest, NewDocumentsAreNumberedAfterTheTemplateName)
{
    std::vector<wxString> names;
    for (int i = 0; i < 2; ++i)
    {
        Command(wxID_NEW);
        PumpUntilIdle();
        ASSERT_NE(ActiveDoc(), nullptr);
        names.push_back(ActiveDoc()->GetUserReadableName());
    }
    long first = 0, second = 0;
    ASSERT_TRUE(names[0].StartsWith("CSVQuibboApp") && names[0].Mid(12).ToLong(&first)) << names[0];
    ASSERT_TRUE(names[1].StartsWith("CSVQuibboApp") && names[1].Mid(12).ToLong(&second)) << names[1];
    EXPECT_GE(first, 1);
    EXPECT_EQ(second, first + 1);
    EXPECT_EQ(Frame().GetTitle(), names[1] + " - CSV Quibbo");
}

// The frame and the about box show the application's icon; the frame carries every size.
TEST_F(AppWindowTest, FrameAndAboutBoxShowTheApplicationIcon)
{
    const wxIconBundle& icons = Frame().GetIcons();
    std::vector<int> sizes = AppIconSizes();
    EXPECT_EQ(sizes, (std::vector<int>{16, 24, 32, 48, 64, 128, 256}));
    ASSERT_EQ(icons.GetIconCount(), sizes.size());
    for (int size : sizes)
        EXPECT_EQ(icons.GetIconOfExactSize(wxSize(size, size)).GetWidth(), size) << size;

    CAboutDlg about(&Frame());
    EXPECT_FALSE(about.GetIcons().IsEmpty());
    wxStaticBitmap* picture = nullptr;
    for (wxWindow* child : about.GetChildren())
        if (auto* bitmap = dynamic_cast<wxStaticBitmap*>(child))
            picture = bitmap;
    ASSERT_NE(picture, nullptr);
    wxImage shown = picture->GetBitmap().ConvertToImage();
    wxImage expected = AppIconBitmap(CAboutDlg::kAboutIconSize).ConvertToImage();
    ASSERT_EQ(shown.GetSize(), wxSize(48, 48));
    ASSERT_EQ(expected.GetSize(), wxSize(48, 48));
    EXPECT_EQ(std::memcmp(shown.GetData(), expected.GetData(), 48 * 48 * 3), 0);
    // Not a blank square: the sheet's blue header is there.
    bool blue = false;
    for (int x = 0; x < 48 && !blue; ++x)
        for (int y = 0; y < 16 && !blue; ++y)
            blue = shown.GetBlue(x, y) > 120 && shown.GetRed(x, y) < 90;
    EXPECT_TRUE(blue);
}

TEST_F(AppWindowTest, DroppedFilesOpen)
{
    std::string path = WriteCsv("dropped.csv", 7);
    CFileDropTarget target;
    wxArrayString files;
    files.Add(wxString::FromUTF8(path));
    EXPECT_TRUE(target.OnDropFiles(10, 10, files));
    EXPECT_TRUE(PumpUntil([this]() { return ActiveDoc() != nullptr; }));
    EXPECT_TRUE(Frame().GetActiveDocument()->GetFilename().EndsWith("dropped.csv"));
}

// A file that is open already is activated, not opened again, whichever path names it (the same
// path, a symbolic link, a hard link), also when it was replaced on disk since.
TEST_F(AppWindowTest, AFileOpenAlreadyIsActivatedWhicheverPathNamesIt)
{
    const std::string first = WriteCsv("open-once.csv", 5);
    const std::string other = WriteCsv("open-other.csv", 5);
    const std::string link = g_testHome + "/open-once-link.csv";
    const std::string hard = g_testHome + "/open-once-hard.csv";
    unlink(link.c_str());
    unlink(hard.c_str());
    ASSERT_EQ(symlink(first.c_str(), link.c_str()), 0);
    ASSERT_EQ(::link(first.c_str(), hard.c_str()), 0);
    CCSVQuibboAppDoc* doc = Open(first);
    ASSERT_NE(doc, nullptr);
    ASSERT_NE(Open(other), doc);
    const size_t count = App().GetDocManager()->GetDocumentsVector().size();
    for (const std::string& path : {first, link, hard})
    {
        SCOPED_TRACE(path);
        EXPECT_EQ(Open(path), doc);
        EXPECT_EQ(App().GetDocManager()->GetDocumentsVector().size(), count);
    }
    unlink(first.c_str());
    WriteCsv("open-once.csv", 6);
    EXPECT_EQ(Open(first), doc);
    EXPECT_EQ(App().GetDocManager()->GetDocumentsVector().size(), count);
}

TEST_F(AppWindowTest, SaveWritesNothingAndANewWindowStartsFilled)
{
    std::string path = WriteCsv("keep.csv", 12000);
    auto sizeOf = [&path]() {
        std::ifstream in(path, std::ios::binary | std::ios::ate);
        return static_cast<long long>(in.tellg());
    };
    long long before = sizeOf();
    ASSERT_NE(Open(path), nullptr);
    Command(wxID_SAVE);
    EXPECT_EQ(sizeOf(), before);

    Command(ID_WINDOW_NEW);
    PumpUntilIdle();
    EXPECT_EQ(ActiveDoc()->GetViewsVector().size(), 2u);
    CCSVQuibboAppView* second = ActiveView();
    ASSERT_NE(second, nullptr);
    ASSERT_NE(second->GetGrid()->GetRootBox(), nullptr);
    EXPECT_EQ(second->GetGrid()->GetRootBox()->children.size(), 5000u);
    // Go to line acts on the window that gave the command.
    Frame().GetGotoLineBox()->ChangeValue("9000");
    Command(ID_GOTO_LINE_COMBO);
    EXPECT_EQ(SelectedRow(), 9000u);
    Frame().GetGotoLineBox()->ChangeValue("");
}

// Paints one row box at the top of a 40-pixel-high device context, with 18-pixel rows.
void PaintRowBox(LCSVRowGridBox& box, wxDC& dc, wxFont& font, int columnWidth, int clientWidth)
{
    int shared = 0;
    int widest = clientWidth;
    LGridDrawArgs args;
    args.dc = &dc;
    args.columnWidth = columnWidth;
    args.clientWidth = clientWidth;
    args.clientHeight = 40;
    args.rowHeight = 18;
    args.sharedInt = &shared;
    args.widestWidth = &widest;
    args.font = &font;
    args.recordPosition = true;
    box.Draw(args);
}

TEST_F(AppWindowTest, RowsPaintWithHeaderAndAlternatingBackground)
{
    LCSVRowGridBox box(nullptr);
    box.kind = BOX_KIND_ROW;
    box.SetFields({CSVField{u"hello", true}}, 7);
    wxBitmap bitmap(600, 40);
    wxMemoryDC dc(bitmap);
    dc.SetBackground(*wxWHITE_BRUSH);
    dc.Clear();
    wxFont font = wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT);
    PaintRowBox(box, dc, font, 400, 600);
    dc.SelectObject(wxNullBitmap);
    wxImage image = bitmap.ConvertToImage();
    auto pixel = [&image](int x, int y) {
        return wxColour(image.GetRed(x, y), image.GetGreen(x, y), image.GetBlue(x, y));
    };
    EXPECT_EQ(pixel(2, 17), wxColour(0xF0, 0xF0, 0xF0)) << "header";
    EXPECT_EQ(pixel(590, 17), wxColour(0xFF, 0xE6, 0xC8)) << "odd row: 0xC8E6FF as 0x00BBGGRR";
    EXPECT_EQ(pixel(590, 19), wxColour(255, 255, 255)) << "the 2 pixels below the row stay unpainted";
    EXPECT_EQ(pixel(132, 5), wxColour(0x0A, 0x0A, 0x0A)) << "the header line";
}

// Cells whose text holds "&" are cut like any other text: "&" is data, not a mnemonic marker.
// wx's assertions are on in this build; none may fire and nothing may reach stderr, with "&"
// alone, doubled, at every place around the cut point, and in random text.
TEST_F(AppWindowTest, CellsWithAmpersandsAreCutWithoutAssertions)
{
    std::vector<std::u16string> texts = {u"&", u"&&", u"&&&&&&&&&&&&&&&&&&&&&&&&&&&&&&&&&&&&&&&&&&&&&&&&",
                                         u"a&b&&c"};
    for (int k = 0; k <= 90; ++k)
    {
        std::u16string x(static_cast<size_t>(k), u'x');
        texts.push_back(x + u"&");
        texts.push_back(x + u"&&");
        texts.push_back(x + u"&" + std::u16string(40, u'y'));
        texts.push_back(x + u"&&" + std::u16string(40, u'W'));
    }
    std::mt19937 random(18);
    for (int n = 0; n < 400; ++n)
    {
        std::u16string text;
        const size_t length = 20 + random() % 120;
        for (size_t i = 0; i < length; ++i)
        {
            // Bytes as a single-byte code page would show them, '&' among them, now and then a
            // character of the basic plane.
            const unsigned value = random() % 300;
            text.push_back(value < 256 ? static_cast<char16_t>(value == 0 ? '&' : value)
                                       : static_cast<char16_t>(0x100 + random() % 0xD700));
        }
        texts.push_back(text);
    }

    static int asserts;
    static std::string firstAssert;
    asserts = 0;
    firstAssert.clear();
    wxAssertHandler_t previous = wxSetAssertHandler(
        [](const wxString& file, int line, const wxString&, const wxString& cond, const wxString& msg) {
            if (asserts++ == 0)
                firstAssert = (file + ":" + std::to_string(line) + " " + cond + " " + msg).utf8_string();
        });
    // Whatever wx or GTK would print goes to a file for the time of the paints.
    char errName[] = "/tmp/csvq-amp-stderr-XXXXXX";
    const int errFile = mkstemp(errName);
    ASSERT_GE(errFile, 0);
    fflush(stderr);
    const int savedErr = dup(2);
    dup2(errFile, 2);

    wxBitmap bitmap(1400, 40);
    wxFont font = wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT);
    for (int columnWidth : {60, 120, 250, 400})
    {
        wxMemoryDC dc(bitmap);
        for (size_t i = 0; i < texts.size(); i += 3)
        {
            LCSVRowGridBox box(nullptr);
            box.kind = BOX_KIND_ROW;
            CSVRecord record;
            for (size_t j = i; j < std::min(texts.size(), i + 3); ++j)
                record.push_back(CSVField{texts[j], j % 2 == 0});
            box.SetFields(record, i + 1);
            PaintRowBox(box, dc, font, columnWidth, 1400);
        }
    }

    fflush(stderr);
    dup2(savedErr, 2);
    close(savedErr);
    wxSetAssertHandler(previous);
    std::ifstream errIn(errName);
    const std::string errText((std::istreambuf_iterator<char>(errIn)), std::istreambuf_iterator<char>());
    close(errFile);
    std::remove(errName);
    EXPECT_EQ(asserts, 0) << "the first: " << firstAssert;
    EXPECT_TRUE(errText.empty()) << errText.substr(0, 400);
}

int Luminance(const wxImage& image, int x, int y)
{
    return (image.GetRed(x, y) * 3 + image.GetGreen(x, y) * 6 + image.GetBlue(x, y)) / 10;
}

// The pixels of a region more than half as dark as its ground (the pixel at groundX, groundY):
// text and lines, whatever the colour of the ground they are drawn on.
std::vector<bool> InkMask(const wxImage& image, int x0, int y0, int width, int height, int groundX,
                          int groundY)
{
    const int ground = Luminance(image, groundX, groundY);
    std::vector<bool> mask(static_cast<size_t>(width) * static_cast<size_t>(height), false);
    for (int y = 0; y < height; ++y)
    {
        for (int x = 0; x < width; ++x)
        {
            const int px = x0 + x;
            const int py = y0 + y;
            if (px < 0 || py < 0 || px >= image.GetWidth() || py >= image.GetHeight())
                continue;
            mask[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] =
                2 * Luminance(image, px, py) < ground;
        }
    }
    return mask;
}

// A file of 200,000 columns is 80 million pixels wide: scrolled as the bar scrolls it to columns
// near 170,001 and 199,990, the window shows each cell in view at its place: its text where a plain
// drawing of that text at the cell's left edge puts it, in every row, and the dotted border at the
// cell's right edge.
TEST_F(AppWindowTest, FarColumnsOfAWideFileAreDrawnWhereTheyBelong)
{
    constexpr int kColumns = 200000;
    constexpr int kRecords = 50;
    const std::string path = g_testHome + "/wide.csv";
    {
        std::string header;
        std::string row;
        for (int c = 1; c <= kColumns; ++c)
        {
            const std::string sep = c > 1 ? ";" : "";
            header += sep + "c" + std::to_string(c);
            row += sep + std::to_string(c);
        }
        std::ofstream out(path, std::ios::binary);
        out << header << "\n";
        for (int r = 1; r < kRecords; ++r)
            out << row << "\n";
    }
    ASSERT_NE(Open(path), nullptr);
    CCSVQuibboAppView* view = ActiveView();
    ASSERT_NE(view, nullptr);
    LGridView* grid = view->GetGrid();
    ASSERT_TRUE(PumpUntil([&] { return grid->GetRootBox() && grid->GetTopRow() == 1; }));
    const int columnWidth = grid->GetColumnWidth();
    const int headerWidth = columnWidth / 3;
    const int rowHeight = grid->GetRowHeight();
    const wxSize client = grid->GetClientSize();
    ASSERT_GT(client.x, headerWidth + columnWidth + 100);
    ASSERT_GT(grid->GetScrollRange(wxHORIZONTAL), static_cast<int64_t>(kColumns - 1) * columnWidth);

    // The text of a cell as DrawText puts it, alone, on a white ground, region by region.
    auto reference = [&](const wxString& text, int width, int textX) {
        wxBitmap bitmap(width, rowHeight, 24);
        {
            wxMemoryDC dc(bitmap);
            dc.SetBackground(*wxWHITE_BRUSH);
            dc.Clear();
            dc.SetFont(grid->GetGridFont());
            dc.SetTextForeground(*wxBLACK);
            dc.DrawText(text, textX, 0);
        }
        return InkMask(bitmap.ConvertToImage(), 0, 0, width, rowHeight, width - 1, rowHeight - 1);
    };

    for (const int column : {170001, 199990})
    {
        for (const int under : {0, 37})
        {
            SCOPED_TRACE("column " + std::to_string(column) + ", " + std::to_string(under) +
                         " px of the one before it in view");
            // The bar's position puts the column's left edge `under` pixels right of the header.
            const int position = (column - 1) * columnWidth - under;
            for (const wxEventType type : {wxEVT_SCROLLWIN_THUMBTRACK, wxEVT_SCROLLWIN_THUMBRELEASE})
            {
                wxScrollWinEvent event(type, position, wxHORIZONTAL);
                event.SetEventObject(grid);
                grid->GetEventHandler()->ProcessEvent(event);
            }
            ASSERT_EQ(grid->GetHorizontalOffset(), static_cast<uint64_t>(position));
            grid->Refresh();
            grid->Update();
            PumpUntilIdle();

            // What the window shows.
            wxBitmap shot(client.x, client.y, 24);
            {
                wxMemoryDC mem(shot);
                wxClientDC screen(grid);
                ASSERT_TRUE(mem.Blit(0, 0, client.x, client.y, &screen, 0, 0));
            }
            const wxImage image = shot.ConvertToImage();

            const int64_t top = static_cast<int64_t>(grid->GetTopBoxOffset());
            const int left = headerWidth + under; // the column's left edge
            int rowsSeen = 0;
            for (LGridBox* box : grid->GetRootBox()->children)
            {
                const int sy = static_cast<int>(box->y - top);
                if (sy < 0 || sy + rowHeight > client.y)
                    continue;
                SCOPED_TRACE("row " + std::to_string(box->rowNumber));
                ++rowsSeen;
                // The column and the one after it, each from past its left border to before its right one.
                for (int k = 0; k < 2; ++k)
                {
                    const int cellLeft = left + k * columnWidth;
                    const int regionLeft = cellLeft + 2;
                    const int regionWidth = std::min(cellLeft + columnWidth - 1, client.x) - regionLeft;
                    const std::string number = std::to_string(column + k);
                    const wxString text = (box->rowNumber == 1 ? "c" : "") + wxString(number);
                    const std::vector<bool> want =
                        reference(text, regionWidth, LCSVRowGridBox::kCellMargin - 2);
                    const std::vector<bool> got = InkMask(image, regionLeft, sy, regionWidth, rowHeight,
                                                          regionLeft + regionWidth - 1, sy + rowHeight - 1);
                    const size_t inked = static_cast<size_t>(std::count(want.begin(), want.end(), true));
                    ASSERT_GT(inked, 10u);
                    size_t differing = 0;
                    for (size_t i = 0; i < want.size(); ++i)
                        differing += want[i] != got[i];
                    EXPECT_LE(differing, inked / 10) << "cell " << text << " at x " << cellLeft;
                }
                // The dotted right border of the column.
                int dots = 0;
                for (int y = sy; y < sy + rowHeight; ++y)
                    dots += InkMask(image, left + columnWidth, y, 1, 1, left + columnWidth - 2, y)[0];
                EXPECT_GT(dots, 2) << "border at x " << left + columnWidth;
                // Left of the column, past the header, lies no text: the cell under the header is left out.
                if (under > 4)
                {
                    const std::vector<bool> gap =
                        InkMask(image, headerWidth + 2, sy, under - 3, rowHeight, headerWidth + 2, sy);
                    EXPECT_EQ(std::count(gap.begin(), gap.end(), true), 0);
                }
            }
            EXPECT_GT(rowsSeen, 10);
            if (HasFailure())
                return;
        }
    }
}

TEST_F(AppWindowTest, PrintoutDrawsTheGridOnOnePage)
{
    ASSERT_NE(Open(WriteCsv("print.csv", 100)), nullptr);
    EXPECT_TRUE(Enabled(wxID_PRINT));
    EXPECT_TRUE(Enabled(wxID_PREVIEW));
    std::unique_ptr<wxPrintout> printout(ActiveView()->OnCreatePrintout());
    ASSERT_NE(printout, nullptr);
    int minPage = 0, maxPage = 0, from = 0, to = 0;
    printout->GetPageInfo(&minPage, &maxPage, &from, &to);
    EXPECT_EQ(maxPage, 1);
    wxBitmap page(800, 1100);
    wxMemoryDC dc(page);
    dc.SetBackground(*wxWHITE_BRUSH);
    dc.Clear();
    printout->SetDC(&dc);
    printout->SetPageSizePixels(800, 1100);
    printout->SetPageSizeMM(210, 297);
    printout->SetPPIScreen(96, 96);
    printout->SetPPIPrinter(96, 96);
    printout->SetPaperRectPixels(wxRect(0, 0, 800, 1100));
    EXPECT_TRUE(printout->OnPrintPage(1));
    dc.SelectObject(wxNullBitmap);
    wxImage image = page.ConvertToImage();
    // Somewhere on the page the row background shows.
    bool rowColour = false;
    for (int y = 0; y < 1100 && !rowColour; y += 3)
        for (int x = 0; x < 800 && !rowColour; x += 3)
            rowColour =
                image.GetRed(x, y) == 0xFF && image.GetGreen(x, y) == 0xE6 && image.GetBlue(x, y) == 0xC8;
    EXPECT_TRUE(rowColour);
}

// Printing without a dialog where no printer is listed (as on the build machines): it says so at
// once, opens nothing and fails, instead of waiting inside the toolkit's print operation. The
// print switches say it on the standard error, as nobody could answer a box; the window's quick
// print says it in a box.
TEST_F(AppWindowTest, PrintingWithoutAPrinterSaysSoAndFails)
{
    if (FindPrinter("", 5000).result == PrinterLookupResult::Found)
        GTEST_SKIP() << "a printer is configured here; this would print";
    const std::string path = WriteCsv("noprinter.csv", 3);
    const wxString file = wxString::FromUTF8(path);
    const size_t documents = App().GetDocManager()->GetDocumentsVector().size();
    struct Case
    {
        const char* printer;
        wxString message;
    };
    const Case cases[] = {
        {"", "No printer is available: \"" + file + "\" was not printed."},
        {"csvq-no-such-printer",
         "The printer \"csvq-no-such-printer\" was not found: \"" + file + "\" was not printed."},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.printer);
        g_messageBoxes.texts.clear();
        g_messageBoxes.styles.clear();
        const auto start = std::chrono::steady_clock::now();
        StderrCapture errors;
        ASSERT_TRUE(errors.Ok());
        EXPECT_FALSE(App().PrintFile(file, c.printer, 5000));
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
        EXPECT_EQ(OwnLines(errors.Text()), (c.message + "\n").utf8_string());
        EXPECT_TRUE(g_messageBoxes.texts.empty()) << g_messageBoxes.texts[0];
        EXPECT_EQ(App().GetDocManager()->GetDocumentsVector().size(), documents);
    }

    // The quick print of the open file, from the window.
    ASSERT_NE(Open(path), nullptr);
    g_messageBoxes.texts.clear();
    const auto start = std::chrono::steady_clock::now();
    Command(ID_FILE_PRINT_DIRECT);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    ASSERT_EQ(g_messageBoxes.texts.size(), 1u);
    EXPECT_EQ(g_messageBoxes.texts[0], "No printer is available: \"noprinter.csv\" was not printed.");
}

TEST_F(AppWindowTest, WideningThePropertiesPaneWidensTheEncodingList)
{
    CPropertyView* props = Frame().GetPropertiesPane();
    wxChoice* list = props->GetEncodingList();
    props->SetSize(props->GetSize().x + 120, props->GetSize().y);
    PumpUntilIdle();
    EXPECT_EQ(list->GetPosition().x + list->GetSize().x, props->GetClientSize().x - 4);
}

TEST_F(AppWindowTest, FileViewPropertiesSaysSoAndOtherCommandsStayThere)
{
    CFileView* files = Frame().GetFileViewPane();
    EXPECT_EQ(files->GetTree()->GetCount(), 0u);
    wxCommandEvent props(wxEVT_MENU, ID_FILEVIEW_PROPERTIES);
    files->GetEventHandler()->ProcessEvent(props);
    ASSERT_EQ(g_messageBoxes.texts.size(), 1u);
    EXPECT_EQ(g_messageBoxes.texts[0], "Properties....");
    for (int id : std::initializer_list<int>{ID_EXPLORER_OPEN, ID_EXPLORER_OPEN_WITH, ID_EXPLORER_COMPILE,
                                             int(wxID_CUT), int(wxID_COPY), int(wxID_CLEAR)})
    {
        wxCommandEvent event(wxEVT_MENU, id);
        EXPECT_TRUE(files->GetEventHandler()->ProcessEvent(event)) << id;
    }
    EXPECT_EQ(g_messageBoxes.texts.size(), 1u);
}

} // namespace

// The viewer's own tab art, counting how often the tab row measures a tab; its clones share the
// count.
class CountingTabArt : public CCustomTabArt
{
public:
    explicit CountingTabArt(std::shared_ptr<long> count)
        : CCustomTabArt(*wxWHITE)
        , m_count(std::move(count))
    {}
    wxAuiTabArt* Clone() override { return new CountingTabArt(*this); }
    wxSize GetTabSize(wxDC& dc, wxWindow* wnd, const wxString& caption, const wxBitmapBundle& bitmap,
                      bool active, int closeButtonState, int* xExtent) override
    {
        ++*m_count;
        return CCustomTabArt::GetTabSize(dc, wnd, caption, bitmap, active, closeButtonState, xExtent);
    }

private:
    std::shared_ptr<long> m_count;
};

// Small files of their own folder for the tests of many documents.
std::vector<std::string> WriteManyCsv(const std::string& folder, int count)
{
    mkdir(folder.c_str(), 0700);
    std::vector<std::string> paths;
    for (int i = 0; i < count; ++i)
    {
        paths.push_back(folder + "/many-" + std::to_string(i) + ".csv");
        std::ofstream(paths.back()) << "a;b\n" << i << ";x\n";
    }
    return paths;
}

OpenSwitchDelivery DeliveryOf(const std::vector<std::string>& paths)
{
    OpenSwitchDelivery delivery;
    for (const std::string& path : paths)
        delivery.paths.push_back(wxString::FromUTF8(path));
    return delivery;
}

constexpr int kManyDocuments = 80;

// Opening many files costs each of them the same, however many are open: the tab row measures
// each new tab a few times (not every tab at every new one, nor at every paint while they open),
// and a path is looked up among the open documents with a stat of it, not of each of them.
TEST_F(AppWindowTest, OpeningManyDocumentsCostsEachTheSameWhateverIsOpen)
{
    const std::string folder = g_testHome + "/many-open";
    std::vector<std::string> paths = WriteManyCsv(folder, kManyDocuments + 1);
    const std::string last = paths.back();
    paths.pop_back();
    wxAuiTabArt* original = Frame().GetClientWindow()->GetArtProvider()->Clone();
    auto measures = std::make_shared<long>(0);
    Frame().SetArtProvider(new CountingTabArt(measures));
    *measures = 0;

    App().OpenFiles(DeliveryOf(paths));
    PumpUntil([&] { return App().GetDocManager()->GetDocuments().GetCount() >= size_t(kManyDocuments); });
    PumpUntilIdle();
    const long openMeasures = *measures;
    ASSERT_EQ(App().GetDocManager()->GetDocuments().GetCount(), size_t(kManyDocuments));
    EXPECT_LT(openMeasures, 8 * kManyDocuments) << "tab measures for " << kManyDocuments << " documents";

    // With all of them open: one more, and one open already (activated, not opened again).
    g_statCalls = 0;
    g_statFolder = folder;
    App().OpenFile(wxString::FromUTF8(last));
    const long openOneStats = g_statCalls;
    g_statCalls = 0;
    App().OpenFile(wxString::FromUTF8(paths[kManyDocuments / 2]));
    const long findOneStats = g_statCalls;
    g_statFolder.clear();
    EXPECT_EQ(App().GetDocManager()->GetDocuments().GetCount(), size_t(kManyDocuments + 1));
    EXPECT_EQ(Frame().GetActiveDocument()->GetFilename().utf8_string(), paths[kManyDocuments / 2]);
    EXPECT_LT(openOneStats, 10) << "stat calls to open a file with " << kManyDocuments << " open";
    EXPECT_LT(findOneStats, 10) << "stat calls to find an open file among " << kManyDocuments;

    Frame().SetArtProvider(original);
}

// A document that will not close unless forced, as one whose user said Cancel would.
class RefusingDocument : public wxDocument
{
public:
    bool OnSaveModified() override { return false; }
};

// The frame is frozen while one delivery's documents open: each new tab, which selects its page,
// finds it frozen, and the frame is thawed when the delivery is done.
TEST_F(AppWindowTest, OneDeliveryOpensItsDocumentsInAFrozenFrame)
{
    const std::vector<std::string> paths = WriteManyCsv(g_testHome + "/many-frozen", 30);
    wxAuiMDIClientWindow* book = Frame().GetClientWindow();
    int selected = 0;
    int selectedFrozen = 0;
    auto onSelected = [&](wxAuiNotebookEvent& event) {
        ++selected;
        if (Frame().IsFrozen())
            ++selectedFrozen;
        event.Skip();
    };
    book->Bind(wxEVT_AUINOTEBOOK_PAGE_CHANGED, onSelected);
    App().OpenFiles(DeliveryOf(paths));
    book->Unbind(wxEVT_AUINOTEBOOK_PAGE_CHANGED, onSelected);
    PumpUntilIdle();
    ASSERT_EQ(App().GetDocManager()->GetDocuments().GetCount(), paths.size());
    EXPECT_EQ(selected, int(paths.size())) << "a page is selected as each document opens";
    EXPECT_EQ(selectedFrozen, selected) << "selections while the frame was frozen";
    EXPECT_FALSE(Frame().IsFrozen());
}

// Closing the main window closes its documents in the order opened, in a frozen window, and
// selects no tab in place of each that goes: the next page is neither laid out nor shown nor
// activated, whatever the number of tabs. A close that does not happen (a document that will not
// close) leaves the documents after it open, the first of their tabs selected, the window shown
// and thawed.
TEST_F(AppWindowTest, ClosingTheMainWindowSelectsNoTabWhileItsDocumentsGo)
{
    constexpr int kFirst = 40;
    constexpr int kAfter = 5;
    App().OpenFiles(DeliveryOf(WriteManyCsv(g_testHome + "/many-closing", kFirst)));
    auto* refusing = new RefusingDocument;
    App().GetDocManager()->AddDocument(refusing);
    const std::vector<std::string> after = WriteManyCsv(g_testHome + "/many-kept", kAfter);
    App().OpenFiles(DeliveryOf(after));
    PumpUntilIdle();
    ASSERT_EQ(App().GetDocManager()->GetDocuments().GetCount(), size_t(kFirst + 1 + kAfter));
    wxAuiMDIClientWindow* book = Frame().GetClientWindow();
    ASSERT_EQ(book->GetPageCount(), size_t(kFirst + kAfter));

    int selected = 0;
    auto onSelected = [&](wxAuiNotebookEvent& event) {
        ++selected;
        event.Skip();
    };
    // Each grid that goes during the close, whether its window was frozen then. The grids that stay
    // go after this test's body, when the counts are no longer looked at.
    struct GridsGone
    {
        bool counting = true;
        int all = 0;
        int frozen = 0;
    };
    auto gone = std::make_shared<GridsGone>();
    for (wxDocument* doc : App().GetDocManager()->GetDocumentsVector())
        for (wxView* view : doc->GetViewsVector())
            if (auto* csvView = dynamic_cast<CCSVQuibboAppView*>(view))
                csvView->GetGrid()->Bind(wxEVT_DESTROY, [gone, book](wxWindowDestroyEvent& event) {
                    if (gone->counting)
                    {
                        ++gone->all;
                        if (book->IsFrozen())
                            ++gone->frozen;
                    }
                    event.Skip();
                });
    book->Bind(wxEVT_AUINOTEBOOK_PAGE_CHANGED, onSelected);
    EXPECT_FALSE(Frame().Close(false));
    book->Unbind(wxEVT_AUINOTEBOOK_PAGE_CHANGED, onSelected);
    gone->counting = false;
    EXPECT_EQ(gone->all, kFirst);
    EXPECT_EQ(gone->frozen, kFirst) << "grids that went while the window was frozen";
    // One at most: the first tab, selected before the documents go.
    EXPECT_LE(selected, 1) << "tab selections while " << kFirst << " documents closed";
    EXPECT_EQ(book->GetPageCount(), size_t(kAfter));

    PumpUntilIdle();
    ASSERT_EQ(App().GetMainFrame(), &Frame());
    EXPECT_TRUE(Frame().IsShown());
    EXPECT_FALSE(Frame().IsFrozen());
    EXPECT_EQ(book->GetSelection(), 0);
    ASSERT_NE(Frame().GetActiveDocument(), nullptr);
    EXPECT_EQ(Frame().GetActiveDocument()->GetFilename().utf8_string(), after.front());
    EXPECT_TRUE(App().GetDocManager()->GetDocuments().Member(refusing));
}

// The toolkit's watches of the display for an input seat that goes: one a native window, found by
// the window as its data. The same look-ups as the viewer's, in the toolkit the GUI library loaded.
class SeatWatches
{
public:
    SeatWatches()
    {
        auto typeFromName = NextSymbol<std::size_t (*)(const char*)>("g_type_from_name");
        auto lookup = NextSymbol<unsigned (*)(const char*, std::size_t)>("g_signal_lookup");
        m_display = NextSymbol<void* (*)(void*)>("gdk_window_get_display");
        m_children = NextSymbol<Node* (*)(void*)>("gdk_window_peek_children");
        m_find = NextSymbol<unsigned long (*)(void*, int, unsigned, unsigned, void*, void*, void*)>(
            "g_signal_handler_find");
        if (typeFromName && lookup)
            m_signal = lookup("seat-removed", typeFromName("GdkDisplay"));
    }

    bool Ok() const { return m_display && m_children && m_find && m_signal != 0; }

    // The native windows of `window` and inside it: how many, and how many watch the display.
    std::pair<int, int> Count(wxWindow* window) const
    {
        std::pair<int, int> count{0, 0};
        void* native = window->GTKGetDrawingWindow();
        if (native)
            Count(m_display(native), native, count);
        return count;
    }

private:
    struct Node
    {
        void* data;
        Node* next;
        Node* prev;
    };

    void Count(void* display, void* native, std::pair<int, int>& count) const
    {
        ++count.first;
        if (m_find(display, 1 | 16, m_signal, 0, nullptr, nullptr, native) != 0)
            ++count.second;
        for (Node* child = m_children(native); child; child = child->next)
            Count(display, child->data, count);
    }

    void* (*m_display)(void*) = nullptr;
    Node* (*m_children)(void*) = nullptr;
    unsigned long (*m_find)(void*, int, unsigned, unsigned, void*, void*, void*) = nullptr;
    unsigned m_signal = 0;
};

// Dropping the display watches of a document's window drops those of each native window inside it,
// and no other window's: the toolkit would otherwise look through all of them whenever a window
// is freed, as the main window's close frees every document window.
TEST_F(AppWindowTest, DroppingADocumentWindowsDisplayWatchesLeavesTheOthersTheirs)
{
    const SeatWatches watches;
    ASSERT_TRUE(watches.Ok()) << "the toolkit has no display watches to drop";
    ASSERT_NE(Open(WriteCsv("watches1.csv", 50)), nullptr);
    wxWindow* first = Frame().GetActiveChild();
    ASSERT_NE(Open(WriteCsv("watches2.csv", 50)), nullptr);
    wxWindow* second = Frame().GetActiveChild();
    ASSERT_NE(first, second);
    const std::pair<int, int> firstBefore = watches.Count(first);
    const std::pair<int, int> secondBefore = watches.Count(second);
    // The frame's window, the grid's and its scroll bars'.
    EXPECT_GE(firstBefore.first, 3);
    EXPECT_EQ(firstBefore.second, firstBefore.first) << "each native window watches the display";

    DropDisplayWatches(first);
    EXPECT_EQ(watches.Count(first), std::make_pair(firstBefore.first, 0));
    EXPECT_EQ(watches.Count(second), secondBefore);
    // Its windows go as before.
    App().GetDocManager()->CloseDocuments(true);
    EXPECT_TRUE(PumpUntil([] { return App().GetDocManager()->GetDocumentsVector().empty(); }));
}

namespace {

// Last: it closes the main window. Many documents close at the cost of each: the tab row does
// not measure every tab left whenever one goes.
TEST_F(AppWindowTest, ClosingTheMainWindowWithDocumentsOpenClosesThemAll)
{
    ASSERT_NE(Open(WriteCsv("closing1.csv", 12000)), nullptr);
    Command(ID_WINDOW_NEW);
    ASSERT_NE(Open(WriteCsv("closing2.csv", 20)), nullptr);
    App().OpenFiles(DeliveryOf(WriteManyCsv(g_testHome + "/many-close", kManyDocuments)));
    PumpUntil([&] { return App().GetDocManager()->GetDocuments().GetCount() >= size_t(kManyDocuments + 2); });
    PumpUntilIdle();
    ASSERT_EQ(App().GetDocManager()->GetDocuments().GetCount(), size_t(kManyDocuments + 2));
    auto measures = std::make_shared<long>(0);
    Frame().SetArtProvider(new CountingTabArt(measures));
    *measures = 0;
    Frame().Close(true);
    PumpUntil([&] {
        return App().GetMainFrame() == nullptr && App().GetDocManager()->GetDocumentsVector().empty();
    });
    PumpUntilIdle();
    EXPECT_LT(*measures, 8 * kManyDocuments)
        << "tab measures to close " << kManyDocuments + 2 << " documents";
    EXPECT_TRUE(App().GetDocManager()->GetDocumentsVector().empty());
    EXPECT_EQ(App().GetMainFrame(), nullptr);
    // The layout was saved for the next start.
    EXPECT_TRUE(wxConfigBase::Get()->HasEntry("/Workspace/Perspective"));
    wxConfigBase::Get()->Flush();
    EXPECT_TRUE(wxFileExists(CCSVQuibboAppApp::ConfigFilePath())) << CCSVQuibboAppApp::ConfigFilePath();
    EXPECT_TRUE(CCSVQuibboAppApp::ConfigFilePath().EndsWith("/Norvanecom/CSV Quibbo.conf"));
}

} // namespace
