// The explorer's file list: a virtual report list over the file store's records with the
// columns "Filename/Path", "Valid", "Size" and "Modified" (and, when a caller adds them, the
// extra-information columns 4 to 13). It starts the listing worker and receives its commands,
// fills itself from the store or from search results, sorts by column, filters rows by their
// check results, and sends the selection to the trash on the Delete key. GUI thread only.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ExplorerFileInfo.h"
#include "ExplorerServices.h"
#include "ExplorerThreadEvents.h"
#include "FolderListing.h"
#include "LExplorerListCtrlBase.h"
#include "TExplorerListThreadSafeAccess.h"

class LSkorrelFileExplorerParentWnd;
class WSFileStorage;
class WSFileStorageThreadSafeAccess;
class ExplorerIconProvider;
struct ValidationFacts;

class LSkorrelFileExplorerList : public LExplorerListCtrlBase, public ExplorerListAccess
{
public:
    static constexpr int ROW_LIMIT = 0x7FFFFFFF;

    LSkorrelFileExplorerList();
    ~LSkorrelFileExplorerList() override;

    // ---- set by the explorer window
    std::vector<int> sortKeys;
    bool flatList = false;
    bool includeHidden = false;
    int extraInt = 2;
    std::u16string extraText;
    bool showValid = true;
    bool showInvalid = true;
    bool showWarnings = true;
    int64_t extraValue = 0;
    int sortState = 2;

    void SetExplorer(LSkorrelFileExplorerParentWnd* explorer) { m_explorer = explorer; }
    void SetListLock(TExplorerListThreadSafeAccess* lock) { m_listLock = lock; }
    void SetIconProvider(ExplorerIconProvider* provider) { m_iconProvider = provider; }

    // ---- listing
    // Stops the running listing, empties the list, and lists the store's folder on the worker.
    void StartListingThread(WSFileStorageThreadSafeAccess& storeAccess, bool recurse);
    // Stops the running listing and waits for it (never with the store held).
    void StopListingWorker() { m_worker.StopWorkerAndWait(); }
    FolderListingWorker& GetWorker() { return m_worker; }
    bool IsListingRunning() const { return m_worker.HasWorker(); }

    // ---- filling
    void PopulateFromStorage(WSFileStorage& store);
    void PopulateFromRecords(const std::vector<WSFileRecord*>& records, WSFileStorage& store);
    // Sorts: column -1 re-sorts the current column; a click on the current column toggles.
    void SortByColumn(int column, bool force);

    // ---- rows
    WSFileRecord* GetRowRecord(long row) const override;
    std::u16string GetRowText(long row) const;
    int GetRowImage(long row) const;
    int GetRowValidImage(long row) const;
    bool IsRowCut(long row) const;
    // The rows' records in list order, from the first row on.
    std::vector<WSFileRecord*> GetRowRecords() const;
    // The selected rows in list order with their records (null for rows without one).
    std::vector<std::pair<int, WSFileRecord*>> GetSelectedRecords() override;

    // ---- extra information of entries
    void ClearFileInfoMap();
    ExplorerFileInfo* FindFileInfo(WSFileRecord* record) const;
    void SetFileInfo(WSFileRecord* record, std::unique_ptr<ExplorerFileInfo> info);

    // The row text of a record in a mode.
    static std::u16string GetRecordDisplayText(const WSFileRecord& record, const WSFileStorage& store, bool flat);

    // ---- ExplorerListAccess (the services' progress row and delete)
    void LockList() override;
    void UnlockList() override;
    int GetRowCount() override { return static_cast<int>(m_rows.size()); }
    void InsertTextRow(int row, const std::u16string& text) override;
    void SetRowText(int row, const std::u16string& text) override;

    // Deletes every row.
    void DeleteAllRows();

protected:
    void OnDeleteKey() override;

    wxString OnGetItemText(long item, long column) const override;
    int OnGetItemColumnImage(long item, long column) const override;
    int OnGetItemImage(long item) const override;
    wxItemAttr* OnGetItemAttr(long item) const override;

private:
    struct Row
    {
        WSFileRecord* record = nullptr;
        std::u16string text;
        int image = -1;
        int validImage = -1;
        bool cut = false;
    };

    bool RowHidden(const WSFileRecord& record) const;
    void Fill(const std::vector<WSFileRecord*>& records, WSFileStorage& store, bool forceSort);
    void AppendRecordRow(WSFileRecord& record, const std::u16string& text, WSFileStorage& store);
    void SyncItemCount();
    void OnListingDone(wxThreadEvent& event);
    void OnListingProgress(wxThreadEvent& event);
    void OnListingEnded(wxThreadEvent& event);

    std::vector<Row> m_rows;
    std::map<WSFileRecord*, std::unique_ptr<ExplorerFileInfo>> m_fileInfos;
    FolderListingWorker m_worker;
    ExplorerThreadEventSink m_sink{this};
    LSkorrelFileExplorerParentWnd* m_explorer = nullptr;
    TExplorerListThreadSafeAccess* m_listLock = nullptr;
    ExplorerIconProvider* m_iconProvider = nullptr;
    mutable wxItemAttr m_cutAttr;
};

// The parts of a check result that the list reads.
ValidationFacts FactsOf(const ValidationResult& result);
