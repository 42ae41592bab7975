// The application's side of the explorer: its answers to LAppInterface, the folder watcher's
// target and the explorer's message boxes. The viewer opens nothing from the explorer.
#include <wx/msgdlg.h>

#include "CCSVQuibboAppApp.h"
#include "CExplorerNotifier.h"
#include "CMainFrame.h"
#include "CMessageBoxInterface.h"
#include "COutputWnd.h"
#include "ExplorerThreadEvents.h"
#include "GridWxText.h"

void CExplorerNotifier::ShowError(const std::u16string& text)
{
    AppMessageBox(GridToWxString(text), wxOK | wxICON_ERROR);
}

bool CExplorerNotifier::ConfirmPermanentDelete(const std::u16string& text)
{
    return AppMessageBox(GridToWxString(text), wxYES_NO | wxNO_DEFAULT | wxICON_WARNING) == wxYES;
}

void CExplorerNotifier::ShowOutputLine(const std::u16string& text)
{
    auto* app = dynamic_cast<CCSVQuibboAppApp*>(wxTheApp);
    CMainFrame* frame = app ? app->GetMainFrame() : nullptr;
    if (frame != nullptr && frame->GetOutputPane() != nullptr)
        frame->GetOutputPane()->AddLine(GridToWxString(text));
    else
        ExplorerNotifier::ShowOutputLine(text);
}

bool CCSVQuibboAppApp::OpenFileRecord(WSFileRecord*)
{
    return false;
}
bool CCSVQuibboAppApp::QueryOption1()
{
    return false;
}
bool CCSVQuibboAppApp::QueryOption2()
{
    return false;
}
CToolsCollection& CCSVQuibboAppApp::GetToolsCollection()
{
    return m_tools;
}
void CCSVQuibboAppApp::OnBeforeFileOperation() {}
void CCSVQuibboAppApp::OnAfterFileOperation(bool, bool) {}
int32_t CCSVQuibboAppApp::QueryNumber()
{
    return -1;
}
std::u16string CCSVQuibboAppApp::QueryText1()
{
    return {};
}
void CCSVQuibboAppApp::Notify1() {}
WSFileStorageThreadSafeAccess* CCSVQuibboAppApp::GetFileStorageAccess()
{
    return &m_explorer.GetFileStorageAccess();
}
std::u16string CCSVQuibboAppApp::QueryText2()
{
    return {};
}
void CCSVQuibboAppApp::Notify2() {}
void CCSVQuibboAppApp::Notify3() {}
void CCSVQuibboAppApp::Notify4() {}
void CCSVQuibboAppApp::Notify5() {}
void CCSVQuibboAppApp::Notify6() {}
std::u16string CCSVQuibboAppApp::QueryText3()
{
    return {};
}
std::u16string CCSVQuibboAppApp::QueryText4()
{
    return {};
}
std::u16string CCSVQuibboAppApp::QueryText5()
{
    return {};
}
bool CCSVQuibboAppApp::QueryOption3()
{
    return false;
}
void CCSVQuibboAppApp::Notify7() {}

void CCSVQuibboAppApp::StartFolderWatcher(wxDocument* document, std::vector<std::u16string> extraFolders)
{
    std::u16string documentPath;
    if (document != nullptr && m_frame && m_frame->GetActiveDocument() == document)
        documentPath = GridFromWxString(document->GetFilename());
    m_explorer.StartFolderWatcher(documentPath, std::move(extraFolders));
}

void CCSVQuibboAppApp::ConnectExplorerServices(CMainFrame* frame)
{
    // The watcher must be gone before its target is.
    m_explorer.Shutdown();
    m_explorer.SetWatcherTarget(nullptr);
    m_watcherSink.reset();
    if (frame != nullptr)
    {
        m_watcherSink = std::make_unique<ExplorerThreadEventSink>(frame);
        m_explorer.SetWatcherTarget(m_watcherSink.get());
    }
    if (!m_explorerNotifier)
        m_explorerNotifier = std::make_unique<CExplorerNotifier>();
    m_explorer.SetNotifier(m_explorerNotifier.get());
}
