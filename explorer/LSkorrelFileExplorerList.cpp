#include "LSkorrelFileExplorerList.h"

#include <algorithm>
#include <chrono>
#include <unordered_set>

#include <wx/app.h>
#include <wx/docview.h>
#include <wx/frame.h>
#include <wx/settings.h>
#include <wx/statusbr.h>
#include <wx/utils.h>

#include "ExplorerRowText.h"
#include "ExplorerSortState.h"
#include "GridWxText.h"
#include "LAppInterface.h"
#include "LSkorrelFileExplorerParentWnd.h"
#include "PathHelpers.h"
#include "WSFileStorage.h"

namespace {

bool IsRegularRow(const WSFileRecord& record)
{
    return !record.isFolder && !record.isTopLevelShellItem;
}

wxFrame* MainFrameWithStatusBar()
{
    wxWindow* top = wxTheApp ? wxTheApp->GetTopWindow() : nullptr;
    auto* frame = wxDynamicCast(top, wxFrame);
    return frame && frame->GetStatusBar() ? frame : nullptr;
}

std::u16string ActiveDocumentPath()
{
    wxDocManager* manager = wxDocManager::GetDocumentManager();
    wxDocument* document = manager ? manager->GetCurrentDocument() : nullptr;
    return document ? GridFromWxString(document->GetFilename()) : std::u16string();
}

// The icon work of a listing. From 100000 records on, rows show no picture cached by extension,
// so only the pictures that rows can show (executables, files without extension) are fetched.
void ResolveIcons(WSFileStorage& store, ExplorerIconProvider& provider)
{
    if (store.size() < 100000)
    {
        store.ResolveIcons(provider);
        return;
    }
    for (WSFileRecord* record : store)
    {
        if (!record || record->GetIcon() != nullptr)
            continue;
        std::unique_ptr<ExplorerIcon> icon;
        std::u16string key;
        if (record->iconKind == ExplorerIconKind::Executable)
            WSFileStorage::GetIconIndexForFile(record->path, provider, store.GetImageList(),
                                               &store.GetExtensionIcons(), icon, &key);
        else if (record->iconKind == ExplorerIconKind::Own)
            icon = provider.FetchIcon(record->path, key);
        if (icon)
            record->SetIcon(std::move(icon), key);
    }
}

} // namespace

void ExplorerListCommandSink::PostCommand(int commandId, int generation)
{
    if (commandId == ID_FOLDER_LISTING_PROGRESS && m_progressQueued.exchange(true, std::memory_order_acq_rel))
        return;
    auto* event = new wxThreadEvent(wxEVT_THREAD, commandId);
    event->SetInt(generation);
    wxQueueEvent(m_target, event);
}

ValidationFacts FactsOf(const ValidationResult& result)
{
    ValidationFacts facts;
    facts.messageCount = result.GetMessageCount();
    facts.completed = result.completed;
    facts.flagA = result.flagA;
    facts.flagB = result.flagB;
    facts.flagC = result.flagC;
    facts.flagD = result.flagD;
    facts.valid = result.valid;
    facts.hasMessageText = !result.messageText.empty();
    facts.detailCount = result.detailCount;
    return facts;
}

LSkorrelFileExplorerList::LSkorrelFileExplorerList()
{
    Bind(wxEVT_THREAD, &LSkorrelFileExplorerList::OnListingDone, this, ID_FOLDER_LISTING_DONE);
    Bind(wxEVT_THREAD, &LSkorrelFileExplorerList::OnListingProgress, this, ID_FOLDER_LISTING_PROGRESS);
    Bind(wxEVT_THREAD, &LSkorrelFileExplorerList::OnListingEnded, this, ID_FOLDER_LISTING_ENDED);
    m_cutAttr.SetTextColour(wxSystemSettings::GetColour(wxSYS_COLOUR_GRAYTEXT));
    m_stepTimer.SetOwner(this);
    m_progressTimer.SetOwner(this);
    Bind(
        wxEVT_TIMER,
        [this](wxTimerEvent&) {
            // The progress command that waited: shown now (its listing may have ended meanwhile).
            m_progressShown = false;
            m_sink.ProgressHandled();
            if (m_worker.HasWorker())
                if (ExplorerServices* services = ExplorerServices::Current())
                    services->ShowExplorerEntryCount();
        },
        m_progressTimer.GetId());
    Bind(
        wxEVT_TIMER,
        [this](wxTimerEvent&) {
            std::function<void()> step = std::move(m_nextStep);
            m_nextStep = nullptr;
            if (step)
                step();
        },
        m_stepTimer.GetId());
}

LSkorrelFileExplorerList::~LSkorrelFileExplorerList()
{
    // The worker posts to this list: it ends before the list does.
    m_stepTimer.Stop();
    m_progressTimer.Stop();
    m_worker.StopWorkerAndWait();
    ClearFileInfoMap();
    if (ExplorerServices* services = ExplorerServices::Current(); services && services->GetList() == this)
        services->SetList(nullptr);
}

// ---- listing

void LSkorrelFileExplorerList::StartListingThread(WSFileStorageThreadSafeAccess& storeAccess, bool recurse)
{
    m_worker.StopWorkerAndWait();
    wxFrame* frame = MainFrameWithStatusBar();
    if (frame)
        frame->SetStatusText(wxS("Clearing current file explorer list..."));
    // The previous listing's entries: the list lets go of them here and frees them while the
    // worker walks (they only point at the records, which the worker deletes).
    std::vector<Entry> oldEntries;
    std::unordered_map<WSFileRecord*, int> oldEntryOf;
    {
        // Rows point at records that the new listing deletes: they go first.
        wxBusyCursor wait;
        DeleteAllRows();
        oldEntries.swap(m_entries);
        oldEntryOf.swap(m_entryOf);
        ForgetEntries();
        m_iconsResolved = false;
    }
    if (frame)
        frame->SetStatusText(wxS("Ready"));
    ++m_listingSerial;
    m_progressShown = false;
    m_progressTimer.Stop();
    m_sink.ProgressHandled();
    m_worker.Start(storeAccess, &m_sink, recurse, includeHidden);
    InsertTextRow(0, u"List is populated...");
}

void LSkorrelFileExplorerList::OnListingProgress(wxThreadEvent& event)
{
    if (!m_worker.AcceptsCommand(event.GetInt()))
    {
        m_sink.ProgressHandled();
        return;
    }
    // The row is written at most every 40 ms: the folded command waits on a timer meanwhile.
    const auto now = std::chrono::steady_clock::now();
    if (m_progressShown && now - m_lastProgress < std::chrono::milliseconds(40))
    {
        if (!m_progressTimer.IsRunning())
            m_progressTimer.StartOnce(40);
        return;
    }
    m_progressShown = true;
    m_lastProgress = now;
    m_sink.ProgressHandled();
    if (ExplorerServices* services = ExplorerServices::Current())
        services->ShowExplorerEntryCount();
}

void LSkorrelFileExplorerList::OnListingEnded(wxThreadEvent&)
{
    // The worker's last word; the done command (or a stop) already forgot the listing.
}

void LSkorrelFileExplorerList::OnListingDone(wxThreadEvent& event)
{
    if (!m_worker.AcceptsCommand(event.GetInt()))
        return;
    m_worker.StopWorkerAndWait();

    WSFileStorageThreadSafeAccess* storeAccess =
        appInterface ? appInterface->GetFileStorageAccess() : nullptr;
    ExplorerServices* services = ExplorerServices::Current();
    if (!storeAccess && services)
        storeAccess = &services->GetFileStorageAccess();
    if (!storeAccess)
        return;
    // The work is spread over three turns of the event loop, so that the window answers in
    // between: the entries, the sorted order, then the rows with the window's part. A listing
    // started meanwhile makes the rest moot.
    {
        WSFileStorageAccessGuard guard(*storeAccess);
        // A folder that could not be read is said, never passed over without a word.
        if (services)
            services->ReportUnreadFolders(guard.Get());
        EnsureEntries(guard.Get());
    }
    const unsigned serial = m_listingSerial;
    ScheduleStep([this, serial, storeAccess] {
        if (serial != m_listingSerial || IsListingRunning())
            return;
        // The order the fill re-sorts in, made on a turn of its own.
        const ExplorerSortPlan plan = PlanSortByColumn(sortKeys, sortState, -1, false);
        if (plan.sort && plan.compareMode)
            m_entryOrders.Order(*plan.compareMode);
        ScheduleStep([this, serial, storeAccess] {
            if (serial != m_listingSerial || IsListingRunning())
                return;
            {
                WSFileStorageAccessGuard guard(*storeAccess);
                PopulateFromStorage(guard.Get());
            }
            // The window's part on the same turn: a turn in between would only paint the rows
            // once more before the search box is enabled.
            AnnounceStoredListing(serial, storeAccess);
        });
    });
}

void LSkorrelFileExplorerList::ScheduleStep(std::function<void()> step)
{
    // A timer, not a queued call: queued calls run in one go with the other queued events,
    // while a timer lets the event loop go round (paint, input, other timers) first.
    m_nextStep = std::move(step);
    m_stepTimer.StartOnce(1);
}

void LSkorrelFileExplorerList::AnnounceStoredListing(unsigned serial,
                                                     WSFileStorageThreadSafeAccess* storeAccess)
{
    if (serial != m_listingSerial || IsListingRunning())
        return;
    {
        WSFileStorageAccessGuard guard(*storeAccess);
        if (m_explorer)
            m_explorer->OnStorageFilled(guard.Get());
    }
    if (ExplorerServices* services = ExplorerServices::Current())
    {
        services->StopFolderWatcher();
        services->StartFolderWatcher(ActiveDocumentPath(), {});
    }
}

// ---- filling

std::u16string LSkorrelFileExplorerList::GetRecordDisplayText(const WSFileRecord& record,
                                                              const WSFileStorage& store, bool flat)
{
    return RecordDisplayText(record.path, record.displayName, record.isTopLevelShellItem, store.GetFolder(),
                             flat);
}

bool LSkorrelFileExplorerList::RowHidden(const WSFileRecord& record) const
{
    const ValidationResult* validation = record.GetValidation();
    if (!validation)
        return false;
    const ValidationFacts facts = FactsOf(*validation);
    return RowHiddenByFilters(ExplorerRowFilters{showValid, showInvalid, showWarnings}, &facts);
}

void LSkorrelFileExplorerList::ForgetEntries()
{
    m_entries.clear();
    m_entryOf.clear();
    m_entriesIndexed = 0;
    m_entryOrders.Clear();
    m_entriesValid = false;
}

int LSkorrelFileExplorerList::AddEntry(WSFileRecord& record, WSFileStorage& store)
{
    Entry entry;
    entry.record = &record;
    entry.text = GetRecordDisplayText(record, store, flatList);
    entry.image = store.ImageIndexForRow(record, entry.text);
    entry.cut = (record.GetAttributes() & EXPLORER_ATTRIBUTE_HIDDEN) != 0;
    entry.parent = record.IsParentEntry();
    entry.folder = record.isFolder;
    if (IsRegularRow(record))
    {
        if (const ValidationResult* validation = record.GetValidation())
        {
            const ValidationFacts facts = FactsOf(*validation);
            entry.validImage = ValidImageFor(&facts);
        }
        else
        {
            entry.validImage = EXPLORER_IMAGE_UNCHECKED;
        }
    }
    const int index = static_cast<int>(m_entries.size());
    m_entries.push_back(std::move(entry));
    // What the orders read of the record (records do not change while the list shows them).
    m_entryOrders.Add(SortEntryOf(record));
    return index;
}

int LSkorrelFileExplorerList::EntryIndexOf(WSFileRecord* record, size_t& hint)
{
    // Records usually come in entry order: the entry after the last one found is tried first.
    if (hint < m_entries.size() && m_entries[hint].record == record)
        return static_cast<int>(hint++);
    for (; m_entriesIndexed < m_entries.size(); ++m_entriesIndexed)
        m_entryOf.emplace(m_entries[m_entriesIndexed].record, static_cast<int>(m_entriesIndexed));
    const auto found = m_entryOf.find(record);
    if (found == m_entryOf.end())
        return -1;
    hint = static_cast<size_t>(found->second) + 1;
    return found->second;
}

void LSkorrelFileExplorerList::EnsureEntries(WSFileStorage& store)
{
    if (m_entriesValid && m_entriesFlat == flatList && m_entriesFolder == store.GetFolder())
        return;
    // Rows point at entries: a list that is made again loses the rows of entries (text rows
    // stay), and the control's count follows at once.
    m_rows.erase(std::remove_if(m_rows.begin(), m_rows.end(), [](const Row& row) { return row.entry >= 0; }),
                 m_rows.end());
    SyncItemCount();
    ForgetEntries();
    if (m_iconProvider && !m_iconsResolved)
    {
        ResolveIcons(store, *m_iconProvider);
        m_iconsResolved = true;
    }
    m_entries.reserve(store.size());
    // The store holds each record once (it deletes each of them): one entry a record, in store
    // order.
    for (WSFileRecord* record : store)
        if (record)
            AddEntry(*record, store);
    m_entriesValid = true;
    m_entriesFlat = flatList;
    m_entriesFolder = store.GetFolder();
    m_entryOrders.SetFolder(m_entriesFolder);
}

LSkorrelFileExplorerList::SelectionMemo LSkorrelFileExplorerList::CaptureSelection() const
{
    SelectionMemo memo;
    const long count = std::min(static_cast<long>(GetItemCount()), static_cast<long>(m_rows.size()));
    for (long row = GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED); row >= 0 && row < count;
         row = GetNextItem(row, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED))
        if (WSFileRecord* record = GetRowRecord(row))
            memo.selected.insert(record);
    const long focused = GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_FOCUSED);
    if (focused >= 0 && focused < count)
        memo.focused = GetRowRecord(focused);
    return memo;
}

void LSkorrelFileExplorerList::ClearSelectionAndFocus()
{
    if (GetItemCount() <= 0)
        return;
    for (long row = GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED); row >= 0;
         row = GetNextItem(row, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED))
        SetItemState(row, 0, wxLIST_STATE_SELECTED);
    const long focused = GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_FOCUSED);
    if (focused >= 0)
        SetItemState(focused, 0, wxLIST_STATE_FOCUSED);
}

void LSkorrelFileExplorerList::RestoreSelection(const SelectionMemo& memo)
{
    if (memo.selected.empty() && memo.focused == nullptr)
        return;
    long focusRow = -1;
    for (size_t i = 0; i < m_rows.size(); ++i)
    {
        WSFileRecord* record = GetRowRecord(static_cast<long>(i));
        if (record == nullptr)
            continue;
        if (memo.selected.count(record) != 0)
            SetItemState(static_cast<long>(i), wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
        if (record == memo.focused && focusRow < 0)
            focusRow = static_cast<long>(i);
    }
    if (focusRow >= 0)
        SetItemState(focusRow, wxLIST_STATE_FOCUSED, wxLIST_STATE_FOCUSED);
}

void LSkorrelFileExplorerList::Fill(const std::vector<WSFileRecord*>& records, WSFileStorage& store,
                                    bool forceSort)
{
    wxBusyCursor wait;
    // The selection and the focus belong to entries, not to row numbers: they follow their
    // records into the new rows (and are gone with them).
    const SelectionMemo memo = CaptureSelection();
    ClearSelectionAndFocus();
    m_rowsShowWholeStore = false;
    EnsureEntries(store);
    m_rows.clear();
    if (records.empty() || records.size() >= static_cast<size_t>(ROW_LIMIT))
    {
        SyncItemCount();
        return;
    }
    m_rows.reserve(records.size());
    size_t hint = 0;
    for (WSFileRecord* record : records)
    {
        if (!record || RowHidden(*record) || record->GetPath() == u".")
            continue;
        int entry = EntryIndexOf(record, hint);
        if (entry < 0)
            entry = AddEntry(*record, store);
        m_rows.push_back(Row{entry, {}});
    }
    SyncItemCount();
    SortByColumn(-1, forceSort);
    RestoreSelection(memo);
}

void LSkorrelFileExplorerList::PopulateFromStorage(WSFileStorage& store)
{
    std::vector<WSFileRecord*> records(store.begin(), store.end());
    Fill(records, store, false);
    m_rowsShowWholeStore = true;
}

void LSkorrelFileExplorerList::PopulateFromRecords(const std::vector<WSFileRecord*>& records,
                                                   WSFileStorage& store)
{
    Fill(records, store, true);
}

bool LSkorrelFileExplorerList::StoredFolderRecords(const WSFileStorage& store,
                                                   std::vector<WSFileRecord*>& folders) const
{
    // Entries are made from the store's records in store order; one entry a record means the
    // entries are those records.
    if (!m_entriesValid || m_entriesFolder != store.GetFolder() || m_entries.size() != store.size())
        return false;
    for (const Entry& entry : m_entries)
        if (entry.folder)
            folders.push_back(entry.record);
    return true;
}

bool LSkorrelFileExplorerList::WouldShowTheSameRows(const WSFileStorage& store,
                                                    const std::u16string& pattern) const
{
    // A pattern of stars finds every entry with a text; filled from the whole store, sorted
    // ascending, the list would be filled again with what it shows.
    if (pattern.empty() || pattern.find_first_not_of(u'*') != std::u16string::npos)
        return false;
    if (!m_rowsShowWholeStore || !m_entriesValid || m_entriesFlat != flatList ||
        m_entriesFolder != store.GetFolder() || (sortState & 1) != 0)
        return false;
    return std::none_of(m_entries.begin(), m_entries.end(),
                        [](const Entry& entry) { return entry.text.empty(); });
}

std::vector<WSFileRecord*> LSkorrelFileExplorerList::FindMatches(WSFileStorage& store,
                                                                 const std::u16string& pattern)
{
    EnsureEntries(store);
    const std::u16string folded = WildcardFold(pattern);
    // Stars alone match every text that is not empty: no text needs folding for them.
    const bool everything = pattern.find_first_not_of(u'*') == std::u16string::npos && !pattern.empty();
    std::vector<WSFileRecord*> matches;
    size_t hint = 0;
    for (WSFileRecord* record : store)
    {
        if (!record)
            continue;
        int index = EntryIndexOf(record, hint);
        if (index < 0)
            index = AddEntry(*record, store);
        Entry& entry = m_entries[index];
        bool match = false;
        if (everything)
        {
            match = !entry.text.empty();
        }
        else if (!entry.text.empty())
        {
            if (entry.folded.empty())
                entry.folded = WildcardFold(entry.text);
            match = WildcardMatchFolded(entry.folded, folded);
        }
        if (!match)
            if (const ExplorerFileInfo* info = FindFileInfo(record))
            {
                std::vector<std::u16string> candidates = SearchCandidates(entry.text, info);
                candidates.erase(candidates.begin());
                match = SearchMatches(candidates, pattern);
            }
        if (match)
            matches.push_back(record);
    }
    return matches;
}

void LSkorrelFileExplorerList::SortByColumn(int column, bool force)
{
    const ExplorerSortPlan plan = PlanSortByColumn(sortKeys, sortState, column, force);
    if (!plan.sort)
        return;
    sortState = plan.newState;

    // The selection and the focus follow their rows.
    const SelectionMemo memo = CaptureSelection();
    ClearSelectionAndFocus();

    const bool onlyEntries =
        std::all_of(m_rows.begin(), m_rows.end(), [](const Row& row) { return row.entry >= 0; });
    if (plan.compareMode && onlyEntries)
    {
        // The rows in the order of all entries: a sorted part of the entries is the part of the
        // sorted entries.
        std::vector<int> count(m_entries.size(), 0);
        for (const Row& row : m_rows)
            ++count[row.entry];
        std::vector<Row> sorted;
        sorted.reserve(m_rows.size());
        for (int entry : m_entryOrders.Order(*plan.compareMode))
            for (; count[entry] > 0; --count[entry])
                sorted.push_back(Row{entry, {}});
        m_rows = std::move(sorted);
    }
    else if (plan.compareMode)
    {
        const ExplorerSortMode mode = *plan.compareMode;
        std::stable_sort(m_rows.begin(), m_rows.end(), [this, mode](const Row& a, const Row& b) {
            return CompareFileRecordsConsistent(a.entry >= 0 ? m_entries[a.entry].record : nullptr,
                                                b.entry >= 0 ? m_entries[b.entry].record : nullptr, mode) < 0;
        });
    }
    else
    {
        const long sortColumn = plan.column;
        const bool descending = plan.descending;
        std::vector<std::pair<wxString, size_t>> keys;
        keys.reserve(m_rows.size());
        for (size_t i = 0; i < m_rows.size(); ++i)
            keys.emplace_back(OnGetItemText(static_cast<long>(i), sortColumn), i);
        std::stable_sort(keys.begin(), keys.end(), [descending](const auto& a, const auto& b) {
            const int order = a.first.CmpNoCase(b.first);
            return descending ? order > 0 : order < 0;
        });
        std::vector<Row> sorted;
        sorted.reserve(m_rows.size());
        for (const auto& key : keys)
            sorted.push_back(std::move(m_rows[key.second]));
        m_rows = std::move(sorted);
    }

    RestoreSelection(memo);
    if (GetColumnCount() > plan.column)
    {
        ShowSortIndicator(plan.column, !plan.descending);
        MakeRoomForTheSortArrow(plan.column);
    }
    Refresh();
}

void LSkorrelFileExplorerList::MakeRoomForTheSortArrow(int sortColumn)
{
    // The header draws the sort arrow at the right end of its column, over the label of a
    // right-aligned one: blanks after that label keep it clear of the arrow.
    wxString room;
    for (wxCoord width = 0, height = 0; width < 16;)
    {
        room += wxS(' ');
        GetTextExtent(room, &width, &height);
        if (room.length() > 16)
            break;
    }
    for (int column = 0; column < GetColumnCount(); ++column)
    {
        wxListItem item;
        item.SetMask(wxLIST_MASK_TEXT | wxLIST_MASK_FORMAT);
        if (!GetColumn(column, item) || item.GetAlign() != wxLIST_FORMAT_RIGHT)
            continue;
        wxString label = item.GetText();
        label.Trim(true);
        if (column == sortColumn)
            label += room;
        if (label != item.GetText())
        {
            item.SetText(label);
            item.SetMask(wxLIST_MASK_TEXT);
            SetColumn(column, item);
        }
    }
}

// ---- rows

const LSkorrelFileExplorerList::Entry* LSkorrelFileExplorerList::RowEntry(long row) const
{
    if (row < 0 || static_cast<size_t>(row) >= m_rows.size() || m_rows[row].entry < 0)
        return nullptr;
    return &m_entries[m_rows[row].entry];
}

WSFileRecord* LSkorrelFileExplorerList::GetRowRecord(long row) const
{
    const Entry* entry = RowEntry(row);
    return entry ? entry->record : nullptr;
}

std::u16string LSkorrelFileExplorerList::GetRowText(long row) const
{
    if (row < 0 || static_cast<size_t>(row) >= m_rows.size())
        return std::u16string();
    const Entry* entry = RowEntry(row);
    return entry ? entry->text : m_rows[row].text;
}

int LSkorrelFileExplorerList::GetRowImage(long row) const
{
    const Entry* entry = RowEntry(row);
    return entry ? entry->image : -1;
}

int LSkorrelFileExplorerList::GetRowValidImage(long row) const
{
    const Entry* entry = RowEntry(row);
    return entry ? entry->validImage : -1;
}

bool LSkorrelFileExplorerList::IsRowCut(long row) const
{
    const Entry* entry = RowEntry(row);
    return entry && entry->cut;
}

std::vector<WSFileRecord*> LSkorrelFileExplorerList::GetRowRecords() const
{
    std::vector<WSFileRecord*> records;
    records.reserve(m_rows.size());
    for (long row = 0; row < static_cast<long>(m_rows.size()); ++row)
        records.push_back(GetRowRecord(row));
    return records;
}

std::vector<std::pair<int, WSFileRecord*>> LSkorrelFileExplorerList::GetSelectedRecords()
{
    std::vector<std::pair<int, WSFileRecord*>> selection;
    const int count = GetSelectedItemCount();
    long row = -1;
    for (int i = 0; i < count; ++i)
    {
        row = GetNextItem(row, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED);
        if (row < 0)
            break;
        selection.emplace_back(static_cast<int>(row), GetRowRecord(row));
    }
    return selection;
}

void LSkorrelFileExplorerList::DeleteAllRows()
{
    m_rowsShowWholeStore = false;
    m_rows.clear();
    SyncItemCount();
}

void LSkorrelFileExplorerList::SyncItemCount()
{
    // A new row count drops the selection of the rows that were there.
    if (GetItemCount() != static_cast<long>(m_rows.size()))
    {
        if (GetItemCount() > 0)
            SetItemState(-1, 0, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
        SetItemCount(static_cast<long>(m_rows.size()));
    }
    Refresh();
}

void LSkorrelFileExplorerList::InsertTextRow(int row, const std::u16string& text)
{
    row = std::clamp(row, 0, static_cast<int>(m_rows.size()));
    m_rowsShowWholeStore = false;
    m_rows.insert(m_rows.begin() + row, Row{-1, text});
    SyncItemCount();
}

void LSkorrelFileExplorerList::SetRowText(int row, const std::u16string& text)
{
    if (row < 0 || static_cast<size_t>(row) >= m_rows.size() || m_rows[row].entry >= 0)
        return;
    m_rows[row].text = text;
    RefreshItem(row);
}

void LSkorrelFileExplorerList::LockList()
{
    if (m_listLock)
        m_listLock->Lock();
}

void LSkorrelFileExplorerList::UnlockList()
{
    if (m_listLock)
        m_listLock->Unlock();
}

// ---- extra information

void LSkorrelFileExplorerList::ClearFileInfoMap()
{
    m_fileInfos.clear();
}

ExplorerFileInfo* LSkorrelFileExplorerList::FindFileInfo(WSFileRecord* record) const
{
    auto found = m_fileInfos.find(record);
    return found == m_fileInfos.end() ? nullptr : found->second.get();
}

void LSkorrelFileExplorerList::SetFileInfo(WSFileRecord* record, std::unique_ptr<ExplorerFileInfo> info)
{
    m_fileInfos[record] = std::move(info);
}

// ---- the virtual list's cells

wxString LSkorrelFileExplorerList::OnGetItemText(long item, long column) const
{
    if (item < 0 || static_cast<size_t>(item) >= m_rows.size())
        return wxString();
    const Entry* entry = RowEntry(item);
    if (column == 0)
        return GridToWxString(entry ? entry->text : m_rows[item].text);
    if (!entry)
        return wxString();
    const WSFileRecord& record = *entry->record;
    if (column == 2)
        return IsRegularRow(record) ? GridToWxString(FormatFileSize(record.size)) : wxString();
    if (column == 3)
        return IsRegularRow(record) ? GridToWxString(FormatLocaleDateTime(record.modified)) : wxString();
    if (column >= 4 && column <= 12)
    {
        const ExplorerFileInfo* info = FindFileInfo(entry->record);
        if (!info)
            return wxString();
        const std::optional<std::u16string> text = InfoColumnTexts(*info)[column - 4];
        return text ? GridToWxString(*text) : wxString();
    }
    return wxString();
}

int LSkorrelFileExplorerList::OnGetItemColumnImage(long item, long column) const
{
    const Entry* entry = RowEntry(item);
    if (!entry)
        return -1;
    if (column == 0)
        return entry->image >= 0 ? entry->image : EXPLORER_IMAGE_BLANK;
    if (column == 1)
        return entry->validImage;
    if (column == 13)
    {
        const ExplorerFileInfo* info = FindFileInfo(entry->record);
        return info && info->markColumn13 ? EXPLORER_IMAGE_MARK : -1;
    }
    return -1;
}

int LSkorrelFileExplorerList::OnGetItemImage(long item) const
{
    return OnGetItemColumnImage(item, 0);
}

wxItemAttr* LSkorrelFileExplorerList::OnGetItemAttr(long item) const
{
    return IsRowCut(item) ? &m_cutAttr : nullptr;
}

void LSkorrelFileExplorerList::OnDeleteKey()
{
    if (ExplorerServices* services = ExplorerServices::Current(); services && services->GetList() == this)
        services->DeleteSelectedExplorerItems();
    else
        DeleteSelectedFiles();
}
