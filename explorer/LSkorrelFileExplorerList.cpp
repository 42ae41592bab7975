#include "LSkorrelFileExplorerList.h"

#include <wx/app.h>
#include <wx/docview.h>
#include <wx/frame.h>
#include <wx/settings.h>
#include <wx/statusbr.h>
#include <wx/utils.h>

#include <algorithm>
#include <unordered_set>

#include "ExplorerRowText.h"
#include "ExplorerSortState.h"
#include "ExplorerWxText.h"
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
    return document ? FromWx(document->GetFilename()) : std::u16string();
}

} // namespace

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
}

LSkorrelFileExplorerList::~LSkorrelFileExplorerList()
{
    // The worker posts to this list: it ends before the list does.
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
    {
        // Rows point at records that the new listing deletes: they go first.
        wxBusyCursor wait;
        DeleteAllRows();
    }
    if (frame)
        frame->SetStatusText(wxS("Ready"));
    m_worker.Start(storeAccess, &m_sink, recurse, includeHidden);
    InsertTextRow(0, u"List is populated...");
}

void LSkorrelFileExplorerList::OnListingProgress(wxThreadEvent& event)
{
    if (!m_worker.AcceptsCommand(event.GetInt()))
        return;
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

    WSFileStorageThreadSafeAccess* storeAccess = appInterface ? appInterface->GetFileStorageAccess() : nullptr;
    ExplorerServices* services = ExplorerServices::Current();
    if (!storeAccess && services)
        storeAccess = &services->GetFileStorageAccess();
    if (!storeAccess)
        return;
    {
        WSFileStorageAccessGuard guard(*storeAccess);
        PopulateFromStorage(guard.Get());
    }
    {
        WSFileStorageAccessGuard guard(*storeAccess);
        if (m_explorer)
            m_explorer->OnStorageFilled(guard.Get());
    }
    if (services)
    {
        services->StopFolderWatcher();
        services->StartFolderWatcher(ActiveDocumentPath(), {});
    }
}

// ---- filling

std::u16string LSkorrelFileExplorerList::GetRecordDisplayText(const WSFileRecord& record, const WSFileStorage& store,
                                                             bool flat)
{
    return RecordDisplayText(record.path, record.displayName, record.isTopLevelShellItem, store.GetFolder(), flat);
}

bool LSkorrelFileExplorerList::RowHidden(const WSFileRecord& record) const
{
    const ValidationResult* validation = record.GetValidation();
    if (!validation)
        return false;
    const ValidationFacts facts = FactsOf(*validation);
    return RowHiddenByFilters(ExplorerRowFilters{showValid, showInvalid, showWarnings}, &facts);
}

void LSkorrelFileExplorerList::AppendRecordRow(WSFileRecord& record, const std::u16string& text, WSFileStorage& store)
{
    Row row;
    row.record = &record;
    row.text = text;
    row.image = store.ImageIndexForRow(record, text);
    row.cut = (record.GetAttributes() & EXPLORER_ATTRIBUTE_HIDDEN) != 0;
    if (IsRegularRow(record))
    {
        if (const ValidationResult* validation = record.GetValidation())
        {
            const ValidationFacts facts = FactsOf(*validation);
            row.validImage = ValidImageFor(&facts);
        }
        else
        {
            row.validImage = EXPLORER_IMAGE_UNCHECKED;
        }
    }
    m_rows.push_back(std::move(row));
}

void LSkorrelFileExplorerList::Fill(const std::vector<WSFileRecord*>& records, WSFileStorage& store, bool forceSort)
{
    wxBusyCursor wait;
    m_rows.clear();
    if (records.empty() || records.size() >= static_cast<size_t>(ROW_LIMIT))
    {
        SyncItemCount();
        return;
    }
    if (m_iconProvider)
        store.ResolveIcons(*m_iconProvider);
    m_rows.reserve(records.size());
    for (WSFileRecord* record : records)
    {
        if (!record || RowHidden(*record) || record->GetPath() == u".")
            continue;
        AppendRecordRow(*record, GetRecordDisplayText(*record, store, flatList), store);
    }
    SyncItemCount();
    SortByColumn(-1, forceSort);
}

void LSkorrelFileExplorerList::PopulateFromStorage(WSFileStorage& store)
{
    std::vector<WSFileRecord*> records(store.begin(), store.end());
    Fill(records, store, false);
}

void LSkorrelFileExplorerList::PopulateFromRecords(const std::vector<WSFileRecord*>& records, WSFileStorage& store)
{
    Fill(records, store, true);
}

void LSkorrelFileExplorerList::SortByColumn(int column, bool force)
{
    const ExplorerSortPlan plan = PlanSortByColumn(sortKeys, sortState, column, force);
    if (!plan.sort)
        return;
    sortState = plan.newState;

    // The selection follows its rows.
    std::vector<WSFileRecord*> selectedRecords;
    for (long row = GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED); row >= 0;
         row = GetNextItem(row, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED))
        if (m_rows[row].record)
            selectedRecords.push_back(m_rows[row].record);

    if (plan.compareMode >= 0)
    {
        const int mode = plan.compareMode;
        std::stable_sort(m_rows.begin(), m_rows.end(), [mode](const Row& a, const Row& b) {
            return CompareFileRecordsConsistent(a.record, b.record, mode) < 0;
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

    if (!selectedRecords.empty())
    {
        std::unordered_set<WSFileRecord*> wanted(selectedRecords.begin(), selectedRecords.end());
        for (size_t i = 0; i < m_rows.size(); ++i)
        {
            const bool selected = m_rows[i].record && wanted.count(m_rows[i].record) != 0;
            if (selected != (GetItemState(static_cast<long>(i), wxLIST_STATE_SELECTED) != 0))
                SetItemSelectedQuiet(static_cast<long>(i), selected);
        }
    }
    if (GetColumnCount() > plan.column)
        ShowSortIndicator(plan.column, !plan.descending);
    Refresh();
}

// ---- rows

WSFileRecord* LSkorrelFileExplorerList::GetRowRecord(long row) const
{
    return row >= 0 && static_cast<size_t>(row) < m_rows.size() ? m_rows[row].record : nullptr;
}

std::u16string LSkorrelFileExplorerList::GetRowText(long row) const
{
    return row >= 0 && static_cast<size_t>(row) < m_rows.size() ? m_rows[row].text : std::u16string();
}

int LSkorrelFileExplorerList::GetRowImage(long row) const
{
    return row >= 0 && static_cast<size_t>(row) < m_rows.size() ? m_rows[row].image : -1;
}

int LSkorrelFileExplorerList::GetRowValidImage(long row) const
{
    return row >= 0 && static_cast<size_t>(row) < m_rows.size() ? m_rows[row].validImage : -1;
}

bool LSkorrelFileExplorerList::IsRowCut(long row) const
{
    return row >= 0 && static_cast<size_t>(row) < m_rows.size() && m_rows[row].cut;
}

std::vector<WSFileRecord*> LSkorrelFileExplorerList::GetRowRecords() const
{
    std::vector<WSFileRecord*> records;
    records.reserve(m_rows.size());
    for (const Row& row : m_rows)
        records.push_back(row.record);
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
    m_rows.clear();
    SyncItemCount();
}

void LSkorrelFileExplorerList::SyncItemCount()
{
    // A shorter list drops the selection of rows that no longer exist.
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
    Row inserted;
    inserted.text = text;
    m_rows.insert(m_rows.begin() + row, std::move(inserted));
    SyncItemCount();
}

void LSkorrelFileExplorerList::SetRowText(int row, const std::u16string& text)
{
    if (row < 0 || static_cast<size_t>(row) >= m_rows.size())
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
    const Row& row = m_rows[item];
    if (column == 0)
        return ToWx(row.text);
    if (!row.record)
        return wxString();
    const WSFileRecord& record = *row.record;
    if (column == 2)
        return IsRegularRow(record) ? ToWx(FormatFileSize(record.size)) : wxString();
    if (column == 3)
        return IsRegularRow(record) ? ToWx(FormatLocaleDateTime(record.modified)) : wxString();
    if (column >= 4 && column <= 12)
    {
        const ExplorerFileInfo* info = FindFileInfo(row.record);
        if (!info)
            return wxString();
        const std::optional<std::u16string> text = InfoColumnTexts(*info)[column - 4];
        return text ? ToWx(*text) : wxString();
    }
    return wxString();
}

int LSkorrelFileExplorerList::OnGetItemColumnImage(long item, long column) const
{
    if (item < 0 || static_cast<size_t>(item) >= m_rows.size())
        return -1;
    const Row& row = m_rows[item];
    if (column == 0)
        return row.image;
    if (column == 1)
        return row.validImage;
    if (column == 13 && row.record)
    {
        const ExplorerFileInfo* info = FindFileInfo(row.record);
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
