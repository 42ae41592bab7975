// The explorer's file list: a virtual report list over the file store's records with the
// columns "Filename/Path", "Valid", "Size" and "Modified" (and, when a caller adds them, the
// extra-information columns 4 to 13). It starts the listing worker and receives its commands,
// fills itself from the store or from search results, sorts by column, filters rows by their
// check results, and sends the selection to the trash on the Delete key. GUI thread only.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include <wx/timer.h>

#include "ExplorerFileInfo.h"
#include "ExplorerServices.h"
#include "ExplorerSortKeys.h"
#include "ExplorerThreadEvents.h"
#include "FolderListing.h"
#include "LExplorerListCtrlBase.h"
#include "TExplorerListThreadSafeAccess.h"

class LSkorrelFileExplorerParentWnd;
class WSFileStorage;

// Where the list's listing worker sends its commands: wxThreadEvents queued to the list, with the
// progress commands folded together. The worker sends one per entry; while one is still queued,
// further ones add nothing (the progress row shows the store's count when it is handled), so that
// a walk of many entries does not flood the window's event queue.
class ExplorerListCommandSink : public ExplorerCommandSink
{
public:
    explicit ExplorerListCommandSink(wxEvtHandler* target)
        : m_target(target)
    {}
    void PostCommand(int commandId, int generation) override;
    // The list handled the queued progress command: the next one is queued again.
    void ProgressHandled() { m_progressQueued.store(false, std::memory_order_release); }

private:
    wxEvtHandler* m_target;
    std::atomic<bool> m_progressQueued{false};
};
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

    // The store's folder records in store order, read from the list's entries when they stand
    // for the store's records one by one; false (nothing added) when they do not.
    bool StoredFolderRecords(const WSFileStorage& store, std::vector<WSFileRecord*>& folders) const;
    // True when a search for `pattern` would fill the list with the rows it shows now.
    bool WouldShowTheSameRows(const WSFileStorage& store, const std::u16string& pattern) const;
    // The row text of a record in a mode.
    static std::u16string GetRecordDisplayText(const WSFileRecord& record, const WSFileStorage& store,
                                               bool flat);
    // The store's records that a search pattern finds (their row text in the current mode, or the
    // texts of their extra information), in store order.
    std::vector<WSFileRecord*> FindMatches(WSFileStorage& store, const std::u16string& pattern);

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
    // A store record as the list shows it, made once per listing (and mode): its row text, the
    // text a search folds, its pictures. Rows point at these.
    struct Entry
    {
        WSFileRecord* record = nullptr;
        std::u16string text;
        std::u16string folded;
        int image = -1;
        int validImage = -1;
        bool cut = false;
        bool parent = false;
        bool folder = false;
    };
    // A row: an entry, or a text of its own (entry -1: the placeholder and progress rows).
    struct Row
    {
        int entry = -1;
        std::u16string text;
    };

    bool RowHidden(const WSFileRecord& record) const;
    void Fill(const std::vector<WSFileRecord*>& records, WSFileStorage& store, bool forceSort);
    // Keeps the label of a right-aligned header clear of the sort arrow of its column.
    void MakeRoomForTheSortArrow(int sortColumn);
    // The selected and the focused records of the rows, to be given back to the rows that show
    // them after a refill or a sort.
    struct SelectionMemo
    {
        std::unordered_set<WSFileRecord*> selected;
        WSFileRecord* focused = nullptr;
    };
    SelectionMemo CaptureSelection() const;
    void ClearSelectionAndFocus();
    void RestoreSelection(const SelectionMemo& memo);
    // Makes the entries of the store's records unless they are current.
    void EnsureEntries(WSFileStorage& store);
    int AddEntry(WSFileRecord& record, WSFileStorage& store);
    // The entry of a record (-1: none); `hint`, the entry tried first, moves behind the one found.
    int EntryIndexOf(WSFileRecord* record, size_t& hint);
    void ForgetEntries();
    const Entry* RowEntry(long row) const;
    void SyncItemCount();
    void OnListingDone(wxThreadEvent& event);
    void OnListingProgress(wxThreadEvent& event);
    void OnListingEnded(wxThreadEvent& event);
    // Runs a step of the work after a listing once the event loop has gone round.
    void ScheduleStep(std::function<void()> step);
    // The last step after a listing: the window's part and the folder watcher.
    void AnnounceStoredListing(unsigned serial, WSFileStorageThreadSafeAccess* storeAccess);

    std::vector<Row> m_rows;
    std::vector<Entry> m_entries;
    // The entry of a record, indexed on demand: the first m_entriesIndexed entries are in it.
    std::unordered_map<WSFileRecord*, int> m_entryOf;
    size_t m_entriesIndexed = 0;
    // The entries in the order of a comparison mode (made once per mode and listing).
    ExplorerSortKeys m_entryOrders;
    unsigned m_listingSerial = 0;
    bool m_rowsShowWholeStore = false;
    wxTimer m_stepTimer;
    wxTimer m_progressTimer;
    bool m_progressShown = false;
    std::chrono::steady_clock::time_point m_lastProgress;
    std::function<void()> m_nextStep;
    bool m_entriesValid = false;
    bool m_entriesFlat = false;
    std::u16string m_entriesFolder;
    bool m_iconsResolved = false;
    std::map<WSFileRecord*, std::unique_ptr<ExplorerFileInfo>> m_fileInfos;
    ExplorerListCommandSink m_sink{this};
    FolderListingWorker m_worker;
    LSkorrelFileExplorerParentWnd* m_explorer = nullptr;
    TExplorerListThreadSafeAccess* m_listLock = nullptr;
    ExplorerIconProvider* m_iconProvider = nullptr;
    mutable wxItemAttr m_cutAttr;
};

// The parts of a check result that the list reads.
ValidationFacts FactsOf(const ValidationResult& result);
