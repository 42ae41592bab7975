// The application-side services of the explorer: the one file store, the navigation state, the
// folder watcher, the progress row of a listing, deleting the selected entries to the trash, and
// the date text of the "Modified" column. The application owns one ExplorerServices for its whole
// life; the explorer's windows reach it through ExplorerServices::Current().
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "ExplorerCommands.h"
#include "FolderWatcher.h"
#include "LAppInterface.h"
#include "WSFileStorage.h"

// ---- the "Modified" column

// The order of day, month and year in a short-date format such as "%m/%d/%y" (0 month first,
// 1 day first, 2 year first) and its separator (the first character that is neither a field nor
// a blank); -1 when the format has not all three fields.
int ShortDateOrder(const std::string& shortDateFormat, std::string& separator);
// The date-and-time format for an order and separator ("%m/%d/%Y %X" for 0 and "/"); empty for
// an order other than 0, 1 and 2.
std::string DateTimeFormatForOrder(int order, const std::string& separator);
// A time (seconds since 1970) as local date and time in the given short-date convention; empty
// when the convention has no usable order.
std::u16string FormatLocaleDateTimeWith(int64_t time, const std::string& shortDateFormat);
// The same in the user's locale (the C library's short-date format of LC_TIME).
std::u16string FormatLocaleDateTime(const int64_t& time);

// ---- the progress row

// "%d entries found" with the count.
std::u16string ExplorerEntryCountText(std::size_t count);

// ---- what the services need from the window side and from the user

// The explorer's file list, as the services use it. Implemented by the list window; GUI thread.
class ExplorerListAccess
{
public:
    virtual ~ExplorerListAccess() = default;
    // The list's own lock (taken around the services' work on the list).
    virtual void LockList() = 0;
    virtual void UnlockList() = 0;
    virtual int GetRowCount() = 0;
    // Inserts a row with a text, no image and no record.
    virtual void InsertTextRow(int row, const std::u16string& text) = 0;
    virtual void SetRowText(int row, const std::u16string& text) = 0;
    // The selected rows, in list order, with their records (null for rows without one).
    virtual std::vector<std::pair<int, WSFileRecord*>> GetSelectedRecords() = 0;
};

// Messages and questions to the user (a message box in the viewer; a recorder in tests).
class ExplorerNotifier
{
public:
    virtual ~ExplorerNotifier() = default;
    virtual void ShowError(const std::u16string& text) = 0;
    // Asks before something is deleted for good; false (the default answer) keeps it.
    virtual bool ConfirmPermanentDelete(const std::u16string& text) = 0;
    // A line for the log (the viewer's Output pane); by default a line on the standard error.
    virtual void ShowOutputLine(const std::u16string& text);
};

// ---- folders a listing could not read
// "Could not read folder <path>: <reason>".
std::u16string UnreadFolderText(const std::u16string& path, const std::u16string& reason);

// ---- trash

// The paths of the selected rows that a delete takes: rows with a record that is not a top-level
// item, whose path is not empty and is not a parent entry; files and folders alike, in row order.
std::vector<std::u16string> PathsToDelete(const std::vector<std::pair<int, WSFileRecord*>>& selection);

// Moves the entries to the desktop's trash (GIO, the freedesktop trash layout under
// $XDG_DATA_HOME). An entry that the trash cannot take is deleted for good only when the notifier
// confirms it; every failure is reported through the notifier. Returns the number of entries
// moved or deleted.
std::size_t MoveToTrash(const std::vector<std::u16string>& paths, ExplorerNotifier* notifier);

// ---- the services

class ExplorerServices
{
public:
    // The first one made becomes Current() until it is destroyed.
    ExplorerServices();
    ~ExplorerServices();
    ExplorerServices(const ExplorerServices&) = delete;
    ExplorerServices& operator=(const ExplorerServices&) = delete;

    // The services of this process, or null.
    static ExplorerServices* Current();

    WSFileStorageThreadSafeAccess& GetFileStorageAccess() { return m_store; }
    ExplorerNavigationState& GetNavigationState() { return m_navigation; }

    // The explorer list that the progress row and the delete work on (null: none exists).
    void SetList(ExplorerListAccess* list) { m_list = list; }
    ExplorerListAccess* GetList() const { return m_list; }
    void SetNotifier(ExplorerNotifier* notifier) { m_notifier = notifier; }
    ExplorerNotifier* GetNotifier() const { return m_notifier; }
    // Where the folder watcher sends its commands (the application's main window).
    void SetWatcherTarget(ExplorerCommandSink* target) { m_watcherTarget = target; }

    // The progress row: with exactly one row in the list, inserts row 1 "%d entries found" with
    // the store's published count; with exactly two, replaces row 1's text; otherwise nothing.
    // Never waits for the listing worker.
    void ShowExplorerEntryCount();

    // Reports every folder that the store's last listing could not read, one line each, through
    // the notifier (or the log without one).
    void ReportUnreadFolders(const WSFileStorage& store);
    // Moves the selected entries of the list to the trash in one operation. The list and the
    // store are not updated.
    void DeleteSelectedExplorerItems();

    // Starts a folder watcher on the store's folder and the extra folders (plus the folder of the
    // active document when a path is given), unless one exists.
    void StartFolderWatcher(const std::u16string& activeDocumentPath,
                            std::vector<std::u16string> extraFolders);
    // Stops the watcher, if any; returns at once.
    void StopFolderWatcher();
    FolderWatcher& GetFolderWatcher() { return m_watcher; }

    // Ends every thread of the services (at exit, before the main window dies).
    void Shutdown();

private:
    ExplorerNavigationState m_navigation;
    WSFileStorageThreadSafeAccess m_store;
    FolderWatcher m_watcher;
    ExplorerListAccess* m_list = nullptr;
    ExplorerNotifier* m_notifier = nullptr;
    ExplorerCommandSink* m_watcherTarget = nullptr;
};
