#include "CCSVQuibboDocManager.h"

#include <sys/stat.h>
#include <vector>

#include <wx/config.h>
#include <wx/filehistory.h>
#include <wx/filename.h>

#include "CMessageBoxInterface.h"

// clang-format off
wxBEGIN_EVENT_TABLE(CCSVQuibboDocManager, wxDocManager)
    EVT_MENU(wxID_PRINT_SETUP, CCSVQuibboDocManager::OnPrintSetup)
wxEND_EVENT_TABLE()
// clang-format on

    CCSVQuibboDocManager::CCSVQuibboDocManager()
    : wxDocManager(0, false)
{}

wxFileHistory* CCSVQuibboDocManager::OnCreateFileHistory()
{
    return new wxFileHistory(4);
}

wxString CCSVQuibboDocManager::MakeNewDocumentName()
{
    // The template's new-file name, numbered from 1 for each new document of the session.
    return wxString::Format("CSVQuibboApp%d", ++m_untitledCount);
}

namespace {

const char* const kRecentGroup = "/Recent File List";

} // namespace

void CCSVQuibboDocManager::LoadRecentFiles(wxFileHistory& history, const wxConfigBase& config)
{
    const bool grouped = config.HasGroup(kRecentGroup);
    std::vector<wxString> files;
    for (int i = 1; i <= history.GetMaxFiles(); ++i)
    {
        wxString key =
            grouped ? wxString::Format("%s/File%d", kRecentGroup, i) : wxString::Format("/file%d", i);
        wxString file;
        if (config.Read(key, &file) && !file.empty())
            files.push_back(file);
    }
    // Oldest first, so that the newest ends on top.
    for (auto it = files.rbegin(); it != files.rend(); ++it)
        history.AddFileToHistory(*it);
}

void CCSVQuibboDocManager::SaveRecentFiles(const wxFileHistory& history, wxConfigBase& config)
{
    config.DeleteGroup(kRecentGroup);
    for (size_t i = 0; i < history.GetCount(); ++i)
        config.Write(wxString::Format("%s/File%zu", kRecentGroup, i + 1), history.GetHistoryFile(i));
    // After the writes: wx's file configuration mishandles a group added right after root
    // entries were deleted.
    for (int i = 1; i <= 9; ++i)
        config.DeleteEntry(wxString::Format("/file%d", i), false);
}

void CCSVQuibboDocManager::FileHistoryLoad(const wxConfigBase& config)
{
    if (wxFileHistory* history = GetFileHistory())
        LoadRecentFiles(*history, config);
}

void CCSVQuibboDocManager::FileHistorySave(wxConfigBase& config)
{
    if (wxFileHistory* history = GetFileHistory())
        SaveRecentFiles(*history, config);
}

void CCSVQuibboDocManager::OnMRUFileNotExist(unsigned n, const wxString& filename)
{
    RemoveFileFromHistory(n);
    AppMessageBox(
        wxString::Format("The file \"%s\" no longer exists and was removed from the recent files.", filename),
        wxOK | wxICON_ERROR);
}

void CCSVQuibboDocManager::OnOpenFileFailure()
{
    // The document has already said why the file could not be read.
}

bool CCSVQuibboDocManager::KeyOf(const wxString& path, FileKey& key)
{
    struct stat st;
    if (path.empty() || stat(path.fn_str(), &st) != 0)
        return false;
    key = {st.st_dev, st.st_ino};
    return true;
}

wxDocument* CCSVQuibboDocManager::FindOpenDocument(const wxString& path)
{
    FileKey key;
    if (KeyOf(path, key))
    {
        auto found = m_openByFile.find(key);
        if (found != m_openByFile.end())
        {
            wxDocument* doc = found->second;
            FileKey now;
            // Still open, and still this file.
            if (GetDocuments().Find(doc) && KeyOf(doc->GetFilename(), now) && now == key)
                return doc;
            m_openByFile.erase(found);
        }
    }
    // The same name: a file replaced on disk, or one that cannot be read now.
    wxFileName name(path);
    name.MakeAbsolute();
    const wxString absolute = name.GetFullPath();
    auto found = m_openByPath.find(absolute.utf8_string());
    if (found == m_openByPath.end())
        return nullptr;
    wxDocument* doc = found->second;
    if (IsOpenAs(doc, absolute))
        return doc;
    m_openByPath.erase(found);
    return nullptr;
}

bool CCSVQuibboDocManager::IsOpenAs(wxDocument* doc, const wxString& path)
{
    return GetDocuments().Find(doc) && doc->GetFilename() == path;
}

wxDocument* CCSVQuibboDocManager::CreateDocument(const wxString& path, long flags)
{
    // A new document, or a path still to be asked for: wx's own way (one lookup per user action).
    if (path.empty() || (flags & wxDOC_NEW))
        return wxDocManager::CreateDocument(path, flags);
    wxDocTemplate* temp = FindTemplateForPath(path);
    if (!temp)
        return wxDocManager::CreateDocument(path, flags);
    if (wxDocument* open = FindOpenDocument(path))
    {
        open->Activate();
        return open;
    }
    // As wx's own: the document with its view, then the file read into it.
    wxDocument* doc = temp->CreateDocument(path, flags);
    if (!doc)
        return nullptr;
    doc->SetDocumentName(temp->GetDocumentName());
    if (!doc->OnOpenDocument(path))
    {
        doc->DeleteAllViews();
        return nullptr;
    }
    FileKey key;
    if (KeyOf(path, key))
        m_openByFile[key] = doc;
    m_openByPath[doc->GetFilename().utf8_string()] = doc;
    if (temp->FileMatchesTemplate(path))
        AddFileToHistory(path);
    doc->Activate();
    return doc;
}

bool CCSVQuibboDocManager::CloseAllDocuments(bool force)
{
    for (wxList::compatibility_iterator node = GetDocuments().GetFirst(); node;)
    {
        auto* doc = static_cast<wxDocument*>(node->GetData());
        // Taken first: the document leaves the list when its last view goes.
        wxList::compatibility_iterator next = node->GetNext();
        if (!doc->Close() && !force)
            return false;
        // Forced: not modified, so that the last view that goes deletes it without asking again.
        doc->Modify(false);
        doc->DeleteAllViews();
        node = next;
    }
    return true;
}

void CCSVQuibboDocManager::OnPrintSetup(wxCommandEvent& event)
{
    OnPageSetup(event);
}
