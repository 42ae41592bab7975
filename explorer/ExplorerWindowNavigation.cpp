// The explorer window's navigation: entering folders, the folder history, folder up, the folder
// of the active document, opening entries, the flat-list switch, the search over the stored
// entries and its reset, and what follows a stored listing.
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <wx/docview.h>
#include <wx/utils.h>

#include "ExplorerNavigation.h"
#include "ExplorerPathCodec.h"
#include "ExplorerRowText.h"
#include "ExplorerServices.h"
#include "GridWxText.h"
#include "LAppInterface.h"
#include "LSkorrelFileExplorerList.h"
#include "LSkorrelFileExplorerParentWnd.h"
#include "PathHelpers.h"
#include "WSFileStorage.h"

namespace {

// A relative folder is taken from the current folder, as the existence check takes it.
std::u16string AbsoluteFolder(const std::u16string& text)
{
    if (text.empty() || text.front() == u'/')
        return text;
    std::vector<char> buffer(4096);
    if (!getcwd(buffer.data(), buffer.size()))
        return text;
    std::u16string folder = ExplorerPathFromNative(buffer.data());
    if (folder.empty() || folder.back() != u'/')
        folder += u'/';
    return folder + text;
}

// True for a path (relative ones from the current folder) that names an existing folder.
bool IsExistingFolder(const std::u16string& text)
{
    struct stat info
    {};
    return stat(ExplorerPathToNative(AbsoluteFolder(text)).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace

void LSkorrelFileExplorerParentWnd::NavigateToFolder(const std::u16string* path, bool addHistory)
{
    std::u16string text =
        path ? *path : (m_pathBox ? GridFromWxString(m_pathBox->GetValue()) : std::u16string());
    if (text.empty())
        return;
    if (!IsShellParsablePath(text.c_str()) || !IsExistingFolder(text))
    {
        // Not a folder that exists (a file is not entered either): only the popup follows the
        // typed text.
        SetSuggestionsFilter(text);
        return;
    }
    // One text for one folder: "sub/.." and "." are resolved by the text alone.
    text = NormalizeFolderPath(AbsoluteFolder(text));
    WSFileStorageThreadSafeAccess* store = GetStoreAccess();
    if (!m_list || !store)
        return;
    if (m_pathBox)
        m_pathBox->SetValue(GridToWxString(text));
    {
        TExplorerListGuard guard(m_listAccess);
        if (LSuggestionsBoxFolderPaths* popup = m_folderPopup.get())
            popup->AddPathSuggestion(text, true);
        ExplorerServices* services = ExplorerServices::Current();
        if (services)
            services->StopFolderWatcher();
        if (ExplorerNavigationState* state = GetNavigationState())
        {
            state->currentFolder = text;
            if (addHistory)
                ExplorerHistorySteps::Record(state->folderHistory, state->historyPosition, text);
        }
        if (m_searchBox)
            m_searchBox->Disable();
        m_list->StopListingWorker();
        m_list->ClearFileInfoMap();
        m_list->extraValue = 0;
        {
            WSFileStorageAccessGuard storeGuard(*store);
            storeGuard.Get().SetFolder(text);
        }
        m_list->StartListingThread(*store, m_list->flatList);
    }
    SetSuggestionsFilter(text);
}

void LSkorrelFileExplorerParentWnd::OnHistoryBack()
{
    ExplorerNavigationState* state = GetNavigationState();
    if (!state)
        return;
    if (const std::optional<std::u16string> folder =
            ExplorerHistorySteps::Back(state->folderHistory, state->historyPosition))
        NavigateToFolder(&*folder, false);
}

void LSkorrelFileExplorerParentWnd::OnHistoryForward()
{
    ExplorerNavigationState* state = GetNavigationState();
    if (!state)
        return;
    if (const std::optional<std::u16string> folder =
            ExplorerHistorySteps::Forward(state->folderHistory, state->historyPosition))
        NavigateToFolder(&*folder, false);
}

void LSkorrelFileExplorerParentWnd::OnFolderUp()
{
    WSFileStorageThreadSafeAccess* store = GetStoreAccess();
    if (!store || !m_list)
        return;
    // The folder shown is the navigation's; without one it is the store's, read once the worker
    // (which holds the store while it walks) has stopped.
    std::u16string folder;
    if (ExplorerNavigationState* state = GetNavigationState())
        folder = state->currentFolder;
    if (folder.empty())
    {
        m_list->StopListingWorker();
        WSFileStorageAccessGuard guard(*store);
        folder = guard.Get().GetFolder();
    }
    const std::u16string parent = GetParentFolder(folder);
    // A parent that is gone changes nothing: the listing on screen goes on.
    if (parent.empty() || !IsExistingFolder(parent))
        return;
    // The worker needs the store to finish: stop it before taking the store, never while holding it.
    m_list->StopListingWorker();
    if (ExplorerNavigationState* state = GetNavigationState())
        state->currentFolder = parent;
    NavigateToFolder(&parent, true);
}

void LSkorrelFileExplorerParentWnd::OnSetFolderFromActiveDocument()
{
    wxDocManager* manager = wxDocManager::GetDocumentManager();
    wxDocument* document = manager ? manager->GetCurrentDocument() : nullptr;
    if (!document)
        return;
    const std::u16string path = GridFromWxString(document->GetFilename());
    std::u16string folder;
    SplitPath(path.c_str(), folder);
    if (folder.empty() || IsUrlPath(folder) || !IsShellParsablePath(folder.c_str()))
        return;
    if (ExplorerNavigationState* state = GetNavigationState())
        state->currentFolder = folder;
    NavigateToFolder(&folder, true);
}

void LSkorrelFileExplorerParentWnd::OpenSelectedItems()
{
    if (!m_list)
        return;
    TExplorerListGuard guard(m_listAccess);
    const std::vector<std::pair<int, WSFileRecord*>> entries = m_list->GetSelectedRecords();
    if (entries.empty())
        return;
    if (entries.size() == 1 && entries.front().second && entries.front().second->isFolder)
    {
        const std::u16string path = FolderToEnter(entries.front().second->GetPath());
        if (ExplorerNavigationState* state = GetNavigationState())
            state->currentFolder = path;
        NavigateToFolder(&path, true);
        return;
    }
    LAppInterface* app = GetAppInterface();
    for (const auto& entry : entries)
        if (app)
            app->OpenFileRecord(entry.second);
}

void LSkorrelFileExplorerParentWnd::OnSearchInSubfoldersClicked()
{
    if (!m_list)
        return;
    TExplorerListGuard guard(m_listAccess);
    m_list->flatList = !m_list->flatList;
    // The check box shows the list's mode, whatever it did on its own.
    if (m_flatListCheck)
        m_flatListCheck->SetValue(m_list->flatList);
    NavigateToFolder(nullptr, false);
}

void LSkorrelFileExplorerParentWnd::OnSearchTextChanged()
{
    SearchFiles();
}

void LSkorrelFileExplorerParentWnd::SearchFiles()
{
    WSFileStorageThreadSafeAccess* store = GetStoreAccess();
    if (!m_list || !m_searchBox || !store)
        return;
    // A walk holds the store until it ends: a key press never waits for it.
    if (store->IsLocked() && !store->IsHeldByCurrentThread())
        return;
    TExplorerListGuard guard(m_listAccess);
    wxBusyCursor wait;
    WSFileStorageAccessGuard storeGuard(*store);
    WSFileStorage& storage = storeGuard.Get();
    if (storage.empty())
        return;
    const std::u16string pattern = MakeSearchPattern(GridFromWxString(m_searchBox->GetValue()));
    if (m_list->WouldShowTheSameRows(storage, pattern))
        return;
    m_list->PopulateFromRecords(m_list->FindMatches(storage, pattern), storage);
}

void LSkorrelFileExplorerParentWnd::OnResetSearchResults()
{
    WSFileStorageThreadSafeAccess* store = GetStoreAccess();
    if (!m_list || !store)
        return;
    TExplorerListGuard guard(m_listAccess);
    if (m_list->IsListingRunning())
        return;
    wxBusyCursor wait;
    WSFileStorageAccessGuard storeGuard(*store);
    m_list->PopulateFromStorage(storeGuard.Get());
    if (m_searchBox)
        m_searchBox->SetValue(wxString());
}

void LSkorrelFileExplorerParentWnd::OnSuggestionSelected(SuggestionEntry entry)
{
    if (LSuggestionsBoxFolderPaths* popup = m_folderPopup.get())
        popup->Hide();
    NavigateToFolder(&entry.text, true);
}

void LSkorrelFileExplorerParentWnd::OnStorageFilled(WSFileStorage& store)
{
    bool flat = false;
    {
        TExplorerListGuard guard(m_listAccess);
        flat = m_list && m_list->flatList;
    }
    if (!store.empty() && !flat)
    {
        if (LSuggestionsBoxFolderPaths* popup = m_folderPopup.get())
        {
            // The list's entries know the folders without a walk over every record.
            std::vector<WSFileRecord*> folders;
            if (!m_list || !m_list->StoredFolderRecords(store, folders))
                for (WSFileRecord* record : store)
                    if (record && record->isFolder)
                        folders.push_back(record);
            for (WSFileRecord* record : folders)
                if (!IsParentEntryPath(record->GetPath()))
                    popup->AddPathSuggestion(record->GetPath(), true);
        }
        SetSuggestionsFilter(store.GetFolder());
    }
    if (m_searchBox)
    {
        m_searchBox->SetValue(wxString());
        m_searchBox->Enable();
    }
}
