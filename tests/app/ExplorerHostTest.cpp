// The application as the explorer's host: its answers to the explorer, the one file store it
// owns, and the folder watcher's commands arriving at the main frame as thread events.
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

#include <wx/app.h>
#include <wx/docview.h>

#include "AppGuiSupport.h"
#include "CCSVQuibboAppApp.h"
#include "CMainFrame.h"
#include "ExplorerCommands.h"
#include "ExplorerServices.h"
#include "GridWxText.h"
#include "LAppInterface.h"

namespace {

CCSVQuibboAppApp& App()
{
    return *static_cast<CCSVQuibboAppApp*>(wxTheApp);
}

} // namespace

TEST(ExplorerHostTest, TheApplicationAnswersTheExplorerAndOwnsTheOneStore)
{
    LAppInterface* host = dynamic_cast<LAppInterface*>(wxTheApp);
    ASSERT_NE(host, nullptr);
    EXPECT_EQ(ExplorerServices::Current(), &App().GetExplorerServices());
    EXPECT_EQ(host->GetFileStorageAccess(), &App().GetExplorerServices().GetFileStorageAccess());
    EXPECT_EQ(host->GetFileStorageAccess(), host->GetFileStorageAccess());

    WSFileRecord record;
    record.path = u"/tmp/some.csv";
    EXPECT_FALSE(host->OpenFileRecord(&record)); // the viewer opens nothing from the explorer
    EXPECT_FALSE(host->QueryOption1());
    EXPECT_FALSE(host->QueryOption2());
    EXPECT_FALSE(host->QueryOption3());
    EXPECT_EQ(host->QueryNumber(), -1);
    for (const std::u16string& text :
         {host->QueryText1(), host->QueryText2(), host->QueryText3(), host->QueryText4(), host->QueryText5()})
        EXPECT_TRUE(text.empty());
    host->OnBeforeFileOperation();
    host->OnAfterFileOperation(true, true);
    host->Notify1();
    host->Notify2();
    host->Notify3();
    host->Notify4();
    host->Notify5();
    host->Notify6();
    host->Notify7();
    CToolsCollection& tools = host->GetToolsCollection();
    EXPECT_TRUE(tools.empty());
    EXPECT_EQ(&tools, &host->GetToolsCollection()); // it stays valid after the call

    const ExplorerNavigationState& state = App().GetExplorerNavigationState();
    EXPECT_TRUE(state.currentFolder.empty());
    EXPECT_TRUE(state.folderHistory.empty());
    EXPECT_EQ(state.historyPosition, -1);
    EXPECT_TRUE(state.extraFlag1 && state.extraFlag2);
    EXPECT_EQ(state.extraInt1, 1);

    // The viewer never lists: the store is empty and free.
    EXPECT_FALSE(host->GetFileStorageAccess()->IsLocked());
    EXPECT_EQ(host->GetFileStorageAccess()->GetPublishedCount(), 0u);
}

TEST(ExplorerHostTest, FolderChangesReachTheMainFrameAsThreadEvents)
{
    CMainFrame* frame = App().GetMainFrame();
    ASSERT_NE(frame, nullptr);
    const std::string listed = g_testHome + "/explorer-listed";
    const std::string docs = g_testHome + "/explorer-docs";
    std::filesystem::create_directories(listed);
    std::filesystem::create_directories(docs);
    const std::string csv = docs + "/watched.csv";
    std::ofstream(csv) << "a;b\n";

    WSFileStorageThreadSafeAccess& store = App().GetExplorerServices().GetFileStorageAccess();
    {
        WSFileStorageAccessGuard guard(store);
        guard.Get().SetFolder(GridFromWxString(wxString::FromUTF8(listed)));
    }
    struct Recorder
    {
        void OnChanged(wxThreadEvent& event) { generations.push_back(event.GetInt()); }
        std::vector<int> generations;
    } recorder;
    std::vector<int>& generations = recorder.generations;
    frame->Bind(wxEVT_THREAD, &Recorder::OnChanged, &recorder, ID_FOLDER_CHANGED);

    // The active document's folder is watched besides the listed one; another document's is not.
    App().OpenFile(wxString::FromUTF8(csv));
    PumpUntil([&] { return frame->GetActiveDocument() != nullptr; });
    PumpUntilIdle();
    wxDocument* doc = frame->GetActiveDocument();
    ASSERT_NE(doc, nullptr);
    App().StartFolderWatcher(doc, {});
    FolderWatcher& watcher = App().GetExplorerServices().GetFolderWatcher();
    EXPECT_EQ(watcher.GetFolders(),
              (std::vector<std::u16string>{GridFromWxString(wxString::FromUTF8(listed)),
                                           GridFromWxString(wxString::FromUTF8(docs + "/"))}));
    EXPECT_TRUE(PumpUntil([&] { return watcher.IsArmed(); }));
    std::ofstream(docs + "/new.csv") << "x";
    EXPECT_TRUE(PumpUntil([&] { return !generations.empty(); }));
    for (int generation : generations)
        EXPECT_EQ(generation, watcher.GetGeneration());

    App().StopFolderWatcher();
    EXPECT_FALSE(watcher.HasWatcher());
    wxDocument other;
    App().StartFolderWatcher(&other, {});
    EXPECT_EQ(watcher.GetFolders(),
              (std::vector<std::u16string>{GridFromWxString(wxString::FromUTF8(listed))}));
    App().StopFolderWatcher();
    frame->Unbind(wxEVT_THREAD, &Recorder::OnChanged, &recorder, ID_FOLDER_CHANGED);
    App().GetDocManager()->CloseDocuments(true);
    PumpUntilIdle();
}
