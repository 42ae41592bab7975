#include "ExplorerServices.h"

#include <atomic>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <gio/gio.h>
#include <langinfo.h>
#include <system_error>

#include "ExplorerPathCodec.h"
#include "ExplorerRowText.h"
#include "TextConvert.h"

namespace {
std::atomic<ExplorerServices*> g_current{nullptr};

std::u16string Widen(const std::string& text)
{
    return Utf8ToUtf16(text);
}
} // namespace

// ---- the "Modified" column

int ShortDateOrder(const std::string& shortDateFormat, std::string& separator)
{
    // Expand the combined fields first.
    std::string format;
    for (std::size_t i = 0; i < shortDateFormat.size(); ++i)
    {
        if (shortDateFormat[i] == '%' && i + 1 < shortDateFormat.size())
        {
            const char c = shortDateFormat[i + 1];
            if (c == 'D')
            {
                format += "%m/%d/%y";
                ++i;
                continue;
            }
            if (c == 'F')
            {
                format += "%Y-%m-%d";
                ++i;
                continue;
            }
            format += shortDateFormat.substr(i, 2);
            ++i;
            continue;
        }
        format.push_back(shortDateFormat[i]);
    }

    std::size_t day = std::string::npos;
    std::size_t month = std::string::npos;
    std::size_t year = std::string::npos;
    bool blankSeen = false;
    separator.clear();
    for (std::size_t i = 0; i < format.size(); ++i)
    {
        if (format[i] == '%' && i + 1 < format.size())
        {
            std::size_t j = i + 1;
            while (j < format.size() &&
                   (format[j] == 'E' || format[j] == 'O' || format[j] == '-' || format[j] == '_' ||
                    format[j] == '0' || format[j] == '^' || format[j] == '#'))
                ++j;
            if (j >= format.size())
                break;
            const char c = format[j];
            if ((c == 'd' || c == 'e') && day == std::string::npos)
                day = i;
            else if ((c == 'm' || c == 'b' || c == 'B' || c == 'h') && month == std::string::npos)
                month = i;
            else if ((c == 'y' || c == 'Y' || c == 'C' || c == 'G') && year == std::string::npos)
                year = i;
            i = j;
            continue;
        }
        if (format[i] == ' ' || format[i] == '\t')
        {
            blankSeen = true;
            continue;
        }
        if (separator.empty())
        {
            // The whole character: a multi-byte one with all its continuation bytes.
            std::size_t end = i + 1;
            if ((static_cast<unsigned char>(format[i]) & 0xC0) == 0xC0)
                while (end < format.size() && (static_cast<unsigned char>(format[end]) & 0xC0) == 0x80)
                    ++end;
            separator = format.substr(i, end - i);
            i = end - 1;
        }
    }
    if (day == std::string::npos || month == std::string::npos || year == std::string::npos)
        return -1;
    // Fields kept apart by blanks only: a blank keeps them apart in the text too.
    if (separator.empty() && blankSeen)
        separator.assign(1, ' ');
    if (month < day && day < year)
        return 0;
    if (day < month && month < year)
        return 1;
    if (year < month && month < day)
        return 2;
    return -1;
}

std::string DateTimeFormatForOrder(int order, const std::string& separator)
{
    switch (order)
    {
    case 0:
        return "%m" + separator + "%d" + separator + "%Y %X";
    case 1:
        return "%d" + separator + "%m" + separator + "%Y %X";
    case 2:
        return "%Y" + separator + "%m" + separator + "%d %X";
    default:
        return {};
    }
}

std::u16string FormatLocaleDateTimeWith(int64_t time, const std::string& shortDateFormat)
{
    std::string separator;
    const std::string format = DateTimeFormatForOrder(ShortDateOrder(shortDateFormat, separator), separator);
    if (format.empty())
        return {};
    const time_t seconds = static_cast<time_t>(time);
    std::tm local{};
    if (localtime_r(&seconds, &local) == nullptr)
        return {};
    char text[128];
    const std::size_t length = std::strftime(text, sizeof text, format.c_str(), &local);
    return Widen(std::string(text, length));
}

std::u16string FormatLocaleDateTime(const int64_t& time)
{
    return FormatLocaleDateTimeWith(time, nl_langinfo(D_FMT));
}

std::u16string ExplorerEntryCountText(std::size_t count)
{
    return Widen(std::to_string(count) + " entries found");
}

// ---- trash

std::vector<std::u16string> PathsToDelete(const std::vector<std::pair<int, WSFileRecord*>>& selection)
{
    std::vector<std::u16string> paths;
    for (const auto& [row, record] : selection)
    {
        (void)row;
        if (record == nullptr || record->isTopLevelShellItem)
            continue;
        const std::u16string& path = record->GetPath();
        if (path.empty() || IsParentEntryPath(path))
            continue;
        paths.push_back(path);
    }
    return paths;
}

std::size_t MoveToTrash(const std::vector<std::u16string>& paths, ExplorerNotifier* notifier)
{
    std::size_t done = 0;
    std::u16string failures;
    for (const std::u16string& path : paths)
    {
        const std::string native = ExplorerPathToNative(path);
        GFile* file = g_file_new_for_path(native.c_str());
        GError* error = nullptr;
        const gboolean trashed = g_file_trash(file, nullptr, &error);
        g_object_unref(file);
        if (trashed)
        {
            ++done;
            continue;
        }
        const bool unsupported =
            error != nullptr && g_error_matches(error, G_IO_ERROR, G_IO_ERROR_NOT_SUPPORTED);
        const std::u16string reason = Widen(error != nullptr ? error->message : "unknown error");
        if (error != nullptr)
            g_error_free(error);
        if (unsupported && notifier != nullptr &&
            notifier->ConfirmPermanentDelete(u"\"" + path +
                                             u"\" cannot be moved to the trash. Delete it permanently?"))
        {
            std::error_code ec;
            std::filesystem::remove_all(std::filesystem::path(native), ec);
            if (!ec)
            {
                ++done;
                continue;
            }
            failures += u"Cannot delete \"" + path + u"\": " + Widen(ec.message()) + u"\n";
            continue;
        }
        if (!unsupported)
            failures += u"Cannot move \"" + path + u"\" to the trash: " + reason + u"\n";
    }
    if (!failures.empty() && notifier != nullptr)
    {
        failures.pop_back();
        notifier->ShowError(failures);
    }
    return done;
}

// ---- the services

ExplorerServices::ExplorerServices()
{
    ExplorerServices* none = nullptr;
    g_current.compare_exchange_strong(none, this);
}

ExplorerServices::~ExplorerServices()
{
    Shutdown();
    ExplorerServices* self = this;
    g_current.compare_exchange_strong(self, nullptr);
}

ExplorerServices* ExplorerServices::Current()
{
    return g_current.load();
}

void ExplorerServices::ShowExplorerEntryCount()
{
    const std::size_t count = m_store.GetPublishedCount();
    if (m_list == nullptr)
        return;
    m_list->LockList();
    const std::u16string text = ExplorerEntryCountText(count);
    const int rows = m_list->GetRowCount();
    if (rows == 1)
        m_list->InsertTextRow(1, text);
    else if (rows == 2)
        m_list->SetRowText(1, text);
    m_list->UnlockList();
}

void ExplorerNotifier::ShowOutputLine(const std::u16string& text)
{
    const std::string line = ExplorerPathToNative(text) + "\n";
    std::fputs(line.c_str(), stderr);
}

std::u16string UnreadFolderText(const std::u16string& path, const std::u16string& reason)
{
    return u"Could not read folder " + path + u": " + reason;
}

void ExplorerServices::ReportUnreadFolders(const WSFileStorage& store)
{
    for (const WSFileStorage::UnreadFolder& folder : store.GetUnreadFolders())
    {
        const std::u16string text = UnreadFolderText(folder.path, folder.reason);
        if (m_notifier != nullptr)
            m_notifier->ShowOutputLine(text);
        else
            std::fputs((ExplorerPathToNative(text) + "\n").c_str(), stderr);
    }
}

void ExplorerServices::DeleteSelectedExplorerItems()
{
    if (m_list == nullptr)
        return;
    m_list->LockList();
    const std::vector<std::u16string> paths = PathsToDelete(m_list->GetSelectedRecords());
    if (!paths.empty())
        MoveToTrash(paths, m_notifier);
    m_list->UnlockList();
}

void ExplorerServices::StartFolderWatcher(const std::u16string& activeDocumentPath,
                                          std::vector<std::u16string> extraFolders)
{
    WSFileStorageAccessGuard guard(m_store);
    if (m_watcher.HasWatcher())
        return;
    m_watcher.Start(
        ComposeWatchedFolders(guard.Get().GetFolder(), std::move(extraFolders), activeDocumentPath),
        m_watcherTarget);
}

void ExplorerServices::StopFolderWatcher()
{
    m_watcher.Stop();
}

void ExplorerServices::Shutdown()
{
    m_watcher.Stop();
}
