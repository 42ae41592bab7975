// The document manager: a recent-file list of 4 kept in the configuration's "Recent File List"
// group, untitled documents named "CSVQuibboApp1", "CSVQuibboApp2", ..., a message through the
// application's message boxes for a recent file that has gone, and print setup. GUI thread only.
#pragma once

#include <sys/types.h>
#include <unordered_map>

#include <wx/docview.h>

class CCSVQuibboDocManager : public wxDocManager
{
public:
    // Built without initialising, so that the 4-entry history of OnCreateFileHistory is the one
    // used; call Initialize() afterwards.
    CCSVQuibboDocManager();

    wxFileHistory* OnCreateFileHistory() override;
    // A path that is open already activates its document. The lookup takes one stat(2) of the
    // path, not one of every open document as wx's does (opening n files took n² of them).
    wxDocument* CreateDocument(const wxString& path, long flags = 0) override;
    // The open document of this file (the same file by device and inode, or the same absolute
    // path), or null.
    wxDocument* FindOpenDocument(const wxString& path);
    // Closes every document in the order opened, as CloseDocuments does, without wx's check after
    // each that it has left the list, which walks the documents left: n documents took n² steps.
    // False when one would not close (never when forced).
    bool CloseAllDocuments(bool force);
    wxString MakeNewDocumentName() override;
    void FileHistoryLoad(const wxConfigBase& config) override;
    void FileHistorySave(wxConfigBase& config) override;

    // The list as "File1"... "File<n>" in the group "Recent File List", newest first, without
    // empty entries. Loading falls back once on the "file<n>" entries at the root that earlier
    // versions wrote; saving removes those.
    static void LoadRecentFiles(wxFileHistory& history, const wxConfigBase& config);
    static void SaveRecentFiles(const wxFileHistory& history, wxConfigBase& config);
    void OnMRUFileNotExist(unsigned n, const wxString& filename) override;
    void OnOpenFileFailure() override;

private:
    void OnPrintSetup(wxCommandEvent& event);

    int m_untitledCount = 0;
    // The documents opened by path, by the file's device and inode. An entry may be stale (its
    // document closed or renamed): it is checked when found.
    struct FileKey
    {
        dev_t device;
        ino_t inode;
        bool operator==(const FileKey& other) const { return device == other.device && inode == other.inode; }
    };
    struct FileKeyHash
    {
        size_t operator()(const FileKey& key) const
        {
            return std::hash<unsigned long long>()(static_cast<unsigned long long>(key.inode) * 1000003u ^
                                                   static_cast<unsigned long long>(key.device));
        }
    };
    static bool KeyOf(const wxString& path, FileKey& key);
    std::unordered_map<FileKey, wxDocument*, FileKeyHash> m_openByFile;
    // The same by absolute path (UTF-8).
    std::unordered_map<std::string, wxDocument*> m_openByPath;
    // Whether `doc` is still open, with this path.
    bool IsOpenAs(wxDocument* doc, const wxString& path);

    wxDECLARE_EVENT_TABLE();
};
