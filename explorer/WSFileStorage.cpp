#include "WSFileStorage.h"

#include <algorithm>
#include <ctime>
#include <sys/stat.h>
#include <unistd.h>

#include <unicode/uchar.h>

#include "ExplorerPathCodec.h"
#include "ExplorerRowText.h"
#include "PathHelpers.h"

namespace {
// The name after the last '/', or the whole text.
std::u16string NameOf(const std::u16string& path)
{
    const std::size_t slash = path.rfind(u'/');
    return slash == std::u16string::npos ? path : path.substr(slash + 1);
}

// The lower-cased text after the last '.' of a file name; empty without one. The same lowering
// as the rows' look-up, so that a row finds the image its extension was cached under.
std::u16string ExtensionOf(const std::u16string& name)
{
    return RowTextExtension(name);
}

// Seconds since 1970; 0 for a time whose local year lies before 1900.
int64_t ModifiedSeconds(time_t seconds)
{
    // 1900-01-02 UTC lies in the year 1900 or later in every time zone: only earlier times need
    // the local calendar.
    constexpr time_t kSurelyFrom1900 = -2208902400;
    if (seconds >= kSurelyFrom1900)
        return static_cast<int64_t>(seconds);
    std::tm local{};
    if (localtime_r(&seconds, &local) == nullptr || local.tm_year < 0)
        return 0;
    return static_cast<int64_t>(seconds);
}

bool IsWritableByUs(const struct stat& info)
{
    static const uid_t uid = geteuid();
    static const gid_t gid = getegid();
    if (uid == 0)
        return true;
    if (info.st_uid == uid)
        return (info.st_mode & S_IWUSR) != 0;
    if (info.st_gid == gid)
        return (info.st_mode & S_IWGRP) != 0;
    return (info.st_mode & S_IWOTH) != 0;
}

// Case-insensitive comparison of two paths, code unit by code unit.
int ComparePathsNoCase(const std::u16string& a, const std::u16string& b)
{
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i)
    {
        const UChar32 x = u_tolower(a[i]);
        const UChar32 y = u_tolower(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

int Ascending(int64_t lhs, int64_t rhs)
{
    return lhs < rhs ? -1 : 1;
}

int Descending(int64_t lhs, int64_t rhs)
{
    return lhs > rhs ? -1 : 1;
}

int CompareCheckState(const WSFileRecord& lhs, const WSFileRecord& rhs)
{
    const bool lhsRegular = lhs.IsRegularFileRow();
    const bool rhsRegular = rhs.IsRegularFileRow();
    if (lhsRegular != rhsRegular)
        return lhsRegular ? 1 : -1;
    const ValidationResult* a = lhs.GetValidation();
    const ValidationResult* b = rhs.GetValidation();
    if ((a == nullptr) != (b == nullptr))
        return a != nullptr ? 1 : -1;
    if (a == nullptr)
        return 0;
    if (a->flagC != b->flagC)
        return a->flagC ? 1 : -1;
    if (a->flagC && a->valid != b->valid)
        return a->valid ? 1 : -1;
    return 0;
}
} // namespace

// ---- WSFileRecord

WSFileRecord::WSFileRecord() = default;
WSFileRecord::~WSFileRecord() = default;

WSFileStorage& WSFileRecord::GetChildren()
{
    if (!children)
        children = std::make_unique<WSFileStorage>();
    return *children;
}

void WSFileRecord::SetIcon(std::unique_ptr<ExplorerIcon> picture, const std::u16string& shareKey)
{
    icon = std::move(picture);
    iconShareKey = shareKey;
}

bool WSFileRecord::IsParentEntry() const
{
    return isFolder && path.size() > 2 && IsParentEntryPath(path);
}

bool WSFileRecord::IsRegularFileRow() const
{
    return !isFolder && !isTopLevelShellItem && !path.empty() && !IsParentEntryPath(path);
}

void WSFileRecord::FillFromStat(const struct stat& info, const std::u16string& name, bool withIcons)
{
    displayName = name.empty() ? path : name;
    isFolder = S_ISDIR(info.st_mode);
    isExecutable = S_ISREG(info.st_mode) && (info.st_mode & (S_IXUSR | S_IXGRP | S_IXOTH)) != 0;
    size = isFolder ? 0 : static_cast<int64_t>(info.st_size);
    modified = ModifiedSeconds(info.st_mtim.tv_sec);
    attributes = 0;
    if (isFolder)
        attributes |= EXPLORER_ATTRIBUTE_DIRECTORY;
    if (!name.empty() && name[0] == u'.')
        attributes |= EXPLORER_ATTRIBUTE_HIDDEN;
    if (!IsWritableByUs(info))
        attributes |= EXPLORER_ATTRIBUTE_READONLY;
    if (!withIcons)
    {
        iconKind = ExplorerIconKind::None;
        return;
    }
    if (isFolder)
    {
        iconKind = ExplorerIconKind::Folder;
        return;
    }
    const std::u16string extension = ExtensionOf(name);
    if (extension.empty())
        iconKind = ExplorerIconKind::Own;
    else if (extension == u"exe")
        iconKind = ExplorerIconKind::Executable;
    else
        iconKind = ExplorerIconKind::Extension;
}

bool WSFileRecord::FillShellInfo(bool withIcons)
{
    if (IsParentEntryPath(path))
    {
        isFolder = true;
        return true;
    }
    isFolder = false;
    const std::string native = ExplorerPathToNative(path);
    struct stat info
    {};
    if (::stat(native.c_str(), &info) != 0 && ::lstat(native.c_str(), &info) != 0)
    {
        displayName = NameOf(path);
        return false;
    }
    FillFromStat(info, NameOf(path), withIcons);
    return true;
}

// ---- WSFileStorage

WSFileStorage::WSFileStorage() = default;

WSFileStorage::~WSFileStorage()
{
    Clear(true);
}

WSFileRecord* WSFileStorage::AddFile(const std::u16string& path, bool withShellInfo, int32_t tag1,
                                     int32_t tag2, const std::u16string* namePattern)
{
    if (namePattern != nullptr && !WildcardMatch(NameOf(path), *namePattern))
        return nullptr;
    auto record = std::make_unique<WSFileRecord>();
    record->kind = 5;
    record->path = path;
    record->timeAdded = static_cast<int64_t>(std::time(nullptr));
    record->SetTags(tag1, tag2);
    if (withShellInfo)
        record->FillShellInfo(m_withIcons);
    m_records.push_back(record.get());
    m_publishedCount.store(m_records.size(), std::memory_order_relaxed);
    return record.release();
}

void WSFileStorage::Clear(bool deleteRecords)
{
    if (deleteRecords)
    {
        for (WSFileRecord* record : m_records)
            delete record;
    }
    m_records.clear();
    m_unreadFolders.clear();
    m_publishedCount.store(0, std::memory_order_relaxed);
}

int WSFileStorage::GetIconIndexForFile(const std::u16string& path, ExplorerIconProvider& provider,
                                       ExplorerImageList* imageList, ExtensionIcons* extensionIcons,
                                       std::unique_ptr<ExplorerIcon>& icon, std::u16string* shareKey)
{
    icon.reset();
    if (shareKey != nullptr)
        shareKey->clear();
    const std::u16string extension = ExtensionOf(NameOf(path));
    if (extension.empty())
        return -1;
    const bool cached = imageList != nullptr && extensionIcons != nullptr;
    if (cached)
    {
        const auto hit = extensionIcons->find(extension);
        if (hit != extensionIcons->end())
            return hit->second;
    }
    std::u16string key;
    icon = provider.FetchIcon(path, key);
    if (cached && extension != u"exe")
    {
        const int index = icon ? imageList->Append(*icon) : -1;
        extensionIcons->emplace(extension, index);
        icon.reset();
        return index;
    }
    if (shareKey != nullptr && icon)
        *shareKey = key;
    return -1;
}

void WSFileStorage::ResolveIcons(ExplorerIconProvider& provider)
{
    for (WSFileRecord* record : m_records)
    {
        if (record == nullptr || record->GetIcon() != nullptr)
            continue;
        switch (record->iconKind)
        {
        case ExplorerIconKind::Extension:
        case ExplorerIconKind::Executable:
        {
            std::unique_ptr<ExplorerIcon> icon;
            std::u16string key;
            const int index =
                GetIconIndexForFile(record->path, provider, m_imageList, &m_extensionIcons, icon, &key);
            if (index < 0 && icon)
                record->SetIcon(std::move(icon), key);
            break;
        }
        case ExplorerIconKind::Own:
        {
            std::u16string key;
            std::unique_ptr<ExplorerIcon> icon = provider.FetchIcon(record->path, key);
            if (icon)
                record->SetIcon(std::move(icon), key);
            break;
        }
        case ExplorerIconKind::None:
        case ExplorerIconKind::Folder:
            break;
        }
        if (record->HasChildren())
        {
            WSFileStorage& children = record->GetChildren();
            children.SetImageList(m_imageList);
            children.ResolveIcons(provider);
        }
    }
}

int WSFileStorage::ImageIndexForRow(WSFileRecord& record, const std::u16string& rowText)
{
    if (record.isFolder && !record.isTopLevelShellItem)
        return EXPLORER_IMAGE_FOLDER;
    if (record.GetIcon() != nullptr)
    {
        if (m_imageList == nullptr)
            return -1;
        const std::u16string& key = record.GetIconShareKey();
        if (key.empty())
            return m_imageList->Append(*record.GetIcon());
        const auto hit = m_sharedIcons.find(key);
        if (hit != m_sharedIcons.end())
            return hit->second;
        const int index = m_imageList->Append(*record.GetIcon());
        m_sharedIcons.emplace(key, index);
        return index;
    }
    if (m_records.size() >= 100000)
        return -1;
    const std::u16string extension = RowTextExtension(rowText);
    const auto hit = m_extensionIcons.find(extension);
    return hit == m_extensionIcons.end() ? -1 : hit->second;
}

// ---- comparison

int CompareFileRecords(const WSFileRecord* lhs, const WSFileRecord* rhs, ExplorerSortMode mode)
{
    if (lhs == nullptr || rhs == nullptr)
        return 0;
    if (lhs->IsParentEntry())
        return -1;
    if (rhs->IsParentEntry())
        return 1;
    using M = ExplorerSortMode;
    if (static_cast<int>(mode) < 0 || mode == M::NewestAddedFirst)
        return Descending(lhs->timeAdded, rhs->timeAdded);
    switch (mode)
    {
    case M::PathAscending:
        return ComparePathsNoCase(lhs->path, rhs->path);
    case M::PathDescending:
        return ComparePathsNoCase(rhs->path, lhs->path);
    case M::FoldersFirstPathAscending:
        if (lhs->isFolder != rhs->isFolder)
            return lhs->isFolder ? -1 : 1;
        return ComparePathsNoCase(lhs->path, rhs->path);
    case M::FilesFirstPathDescending:
        if (lhs->isFolder != rhs->isFolder)
            return lhs->isFolder ? 1 : -1;
        return ComparePathsNoCase(rhs->path, lhs->path);
    case M::OldestAddedFirst:
        return Ascending(lhs->timeAdded, rhs->timeAdded);
    case M::ModifiedOldestFirst:
        return Ascending(lhs->modified, rhs->modified);
    case M::ModifiedNewestFirst:
        return Descending(lhs->modified, rhs->modified);
    case M::SizeSmallestFirst:
        return Ascending(lhs->size, rhs->size);
    case M::SizeLargestFirst:
        return Descending(lhs->size, rhs->size);
    case M::CheckState:
        return CompareCheckState(*lhs, *rhs);
    case M::CheckStateReversed:
        return -CompareCheckState(*lhs, *rhs);
    default:
        return 0;
    }
}

int CompareFileRecordsConsistent(const WSFileRecord* lhs, const WSFileRecord* rhs, ExplorerSortMode mode)
{
    const int forward = CompareFileRecords(lhs, rhs, mode);
    const int backward = CompareFileRecords(rhs, lhs, mode);
    if (forward < 0 && backward > 0)
        return -1;
    if (forward > 0 && backward < 0)
        return 1;
    return 0;
}

ExplorerSortEntry SortEntryOf(const WSFileRecord& record)
{
    const ValidationResult* validation = record.GetValidation();
    ExplorerSortEntry entry;
    entry.path = record.path;
    entry.parent = record.IsParentEntry();
    entry.folder = record.isFolder;
    entry.timeAdded = record.timeAdded;
    entry.modified = record.modified;
    entry.size = record.size;
    entry.checkRank = ExplorerCheckRank(record.IsRegularFileRow(), validation != nullptr,
                                        validation && validation->flagC, validation && validation->valid);
    return entry;
}

void SortFileRecords(std::vector<WSFileRecord*>& records, ExplorerSortMode mode)
{
    std::stable_sort(records.begin(), records.end(), [mode](const WSFileRecord* a, const WSFileRecord* b) {
        return CompareFileRecordsConsistent(a, b, mode) < 0;
    });
}

// ---- the lock

WSFileStorageThreadSafeAccess::~WSFileStorageThreadSafeAccess()
{
    if (IsHeldByCurrentThread())
        Unlock();
}

void WSFileStorageThreadSafeAccess::Lock()
{
    const std::thread::id me = std::this_thread::get_id();
    if (m_owner.load(std::memory_order_acquire) == me)
        return;
    m_mutex.lock();
    m_owner.store(me, std::memory_order_release);
}

void WSFileStorageThreadSafeAccess::Unlock()
{
    if (m_owner.load(std::memory_order_acquire) != std::this_thread::get_id())
        return;
    m_owner.store(std::thread::id(), std::memory_order_release);
    m_mutex.unlock();
}

bool WSFileStorageThreadSafeAccess::IsLocked() const
{
    return m_owner.load(std::memory_order_acquire) != std::thread::id();
}

bool WSFileStorageThreadSafeAccess::IsHeldByCurrentThread() const
{
    return m_owner.load(std::memory_order_acquire) == std::this_thread::get_id();
}

WSFileStorage& WSFileStorageThreadSafeAccess::GetStorage()
{
    if (!IsHeldByCurrentThread())
        Lock();
    return m_storage;
}
