// The explorer's file store: file and folder entries with their size, dates, attributes and icon
// keys, the listed folder, the per-extension icon cache, and the owner-tracked lock that every
// user of the store takes. Window-free: icons are opaque objects that the window side makes.
#pragma once

#include <atomic>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ExplorerSortKeys.h"

struct stat;

// ---- attribute bits of a record (the classic file attribute values)

constexpr uint32_t EXPLORER_ATTRIBUTE_READONLY = 0x01;
constexpr uint32_t EXPLORER_ATTRIBUTE_HIDDEN = 0x02;
constexpr uint32_t EXPLORER_ATTRIBUTE_DIRECTORY = 0x10;

// ---- check results

// A check result attached to a file. Nothing in this system makes one; the list reads these members.
class ValidationResult
{
public:
    virtual ~ValidationResult() = default;
    virtual int GetMessageCount() const { return 0; }

    bool completed = false;
    bool flagA = false;
    bool flagB = false;
    bool flagC = false;
    bool flagD = false;
    bool valid = false;
    std::u16string messageText;
    uint32_t detailCount = 0;
};

// ---- icons

// A small (16×16) icon picture. The window side derives from it (around a wxIcon); the store only
// owns and hands them on.
class ExplorerIcon
{
public:
    virtual ~ExplorerIcon() = default;
};

// Where icons come from: the window side implements it over the desktop's icon theme, tests with a
// fake. Called only on the thread that holds the store, never by the listing worker.
class ExplorerIconProvider
{
public:
    virtual ~ExplorerIconProvider() = default;
    // The small icon of a file, or null. `shareKey` is set to a key under which every file that
    // gives the same key shows the same picture (for example all executables), or left empty
    // when the icon is the file's own.
    virtual std::unique_ptr<ExplorerIcon> FetchIcon(const std::u16string& path, std::u16string& shareKey) = 0;
};

// The store's shared small-icon list (index 0 is the folder icon, put there by the window side).
class ExplorerImageList
{
public:
    virtual ~ExplorerImageList() = default;
    // Appends a copy of the picture; returns its index, or -1 when it could not be added.
    virtual int Append(const ExplorerIcon& icon) = 0;
    virtual int GetImageCount() const = 0;
};

// What kind of picture a record asks for; decided by the worker without touching any picture.
enum class ExplorerIconKind : uint8_t
{
    None,       // no icon work (icons off, the parent entry)
    Folder,     // image 0 of the shared list
    Extension,  // the cached picture of its lower-cased extension
    Executable, // an "exe" file: never cached by extension
    Own         // no extension: the file's own picture (shared under the provider's key)
};

class WSFileStorage;

// ---- one entry

class WSFileRecord
{
public:
    WSFileRecord();
    virtual ~WSFileRecord();
    WSFileRecord(const WSFileRecord&) = delete;
    WSFileRecord& operator=(const WSFileRecord&) = delete;

    const std::u16string& GetPath() const { return path; }
    void SetPath(const std::u16string& text) { path = text; }
    const std::u16string& GetDisplayName() const { return displayName; }
    uint32_t GetAttributes() const { return attributes; }
    ValidationResult* GetValidation() const { return validation.get(); }
    ValidationResult* GetInfoValidation() const { return infoValidation.get(); }
    int64_t& GetModified() { return modified; }
    int64_t& GetTimeAdded() { return timeAdded; }
    void SetTimeAdded(int64_t time) { timeAdded = time; }
    void SetTags(int32_t first, int32_t second)
    {
        tag1 = first;
        tag2 = second;
    }
    // The entries below a folder (made on first use; only a nested listing fills it).
    WSFileStorage& GetChildren();
    bool HasChildren() const { return children != nullptr; }

    // Fills folder flag, size, modified time, attributes, display name and icon kind from the
    // file system (lstat-free: a link shows what it points to; a dangling link shows as itself).
    // The parent entry (a path ending in "/..") becomes a folder without touching the file system.
    // False when the file could not be examined; what could be filled stays.
    bool FillShellInfo(bool withIcons);
    // The same from a stat result already at hand; `name` is the entry's file name.
    void FillFromStat(const struct stat& info, const std::u16string& name, bool withIcons);

    // Neither a folder nor a top-level item, with a path that is not empty and is not a parent entry.
    bool IsRegularFileRow() const;
    // The parent entry of a listing: a folder whose path ends in "/..".
    bool IsParentEntry() const;

    // The record's own icon, owned by the record (executables and files without extension get one
    // when icons are resolved).
    ExplorerIcon* GetIcon() const { return icon.get(); }
    void SetIcon(std::unique_ptr<ExplorerIcon> picture, const std::u16string& shareKey);
    const std::u16string& GetIconShareKey() const { return iconShareKey; }

    uint16_t kind = 0;
    std::u16string path;
    std::u16string displayName;
    bool isFolder = false;
    bool isTopLevelShellItem = false;
    bool isExecutable = false; // an executable regular file
    ExplorerIconKind iconKind = ExplorerIconKind::None;
    int64_t size = 0;
    int64_t timeAdded = 0;
    int32_t tag1 = -1;
    int32_t tag2 = -1;
    std::vector<int32_t> extraValues;
    std::u16string extraText;
    int64_t extraValue = 0;
    int64_t modified = 0;
    uint32_t attributes = 0;
    uint16_t extraFlags = 0;
    std::unique_ptr<ValidationResult> validation;
    std::unique_ptr<ValidationResult> infoValidation;

private:
    std::unique_ptr<ExplorerIcon> icon;
    std::u16string iconShareKey;
    std::unique_ptr<WSFileStorage> children;
};

// ---- the store

class WSFileStorage
{
public:
    using Records = std::list<WSFileRecord*>;
    using ExtensionIcons = std::map<std::u16string, int>;

    WSFileStorage();
    virtual ~WSFileStorage();
    WSFileStorage(const WSFileStorage&) = delete;
    WSFileStorage& operator=(const WSFileStorage&) = delete;

    // Adds an entry for a path: with a pattern, only when the name (after the last '/') matches it
    // (`WildcardMatch`); with shell information, filled from the file system (the record is
    // added whether or not that succeeds). Returns the record, or null when the pattern refused it.
    WSFileRecord* AddFile(const std::u16string& path, bool withShellInfo, int32_t tag1 = -1,
                          int32_t tag2 = -1, const std::u16string* namePattern = nullptr);
    // Deletes the records when asked, then forgets them.
    void Clear(bool deleteRecords);

    Records::iterator begin() { return m_records.begin(); }
    Records::iterator end() { return m_records.end(); }
    Records::const_iterator begin() const { return m_records.begin(); }
    Records::const_iterator end() const { return m_records.end(); }
    std::size_t size() const { return m_records.size(); }
    bool empty() const { return m_records.empty(); }

    const std::u16string& GetFolder() const { return m_folder; }
    void SetFolder(const std::u16string& folder) { m_folder = folder; }
    bool GetWithIcons() const { return m_withIcons; }
    void SetWithIcons(bool withIcons) { m_withIcons = withIcons; }
    int GetListingState() const { return m_listingState; }
    void SetListingState(int state) { m_listingState = state; }

    // The folders that the last listing could not read (in full), with the reason, in the order
    // met. Cleared with the records.
    struct UnreadFolder
    {
        std::u16string path;
        std::u16string reason;
    };
    void AddUnreadFolder(const std::u16string& path, const std::u16string& reason)
    {
        m_unreadFolders.push_back({path, reason});
    }
    const std::vector<UnreadFolder>& GetUnreadFolders() const { return m_unreadFolders; }

    // The shared small-icon list (set by the window side; null until then) and the extension cache.
    ExplorerImageList* GetImageList() const { return m_imageList; }
    void SetImageList(ExplorerImageList* imageList) { m_imageList = imageList; }
    ExtensionIcons& GetExtensionIcons() { return m_extensionIcons; }
    // Images of icons shared under a provider's key (executables, files without extension): one
    // image per key, however many rows show it.
    ExtensionIcons& GetSharedIcons() { return m_sharedIcons; }

    // The image index of a file's extension. A cached extension gives its index and no icon.
    // Otherwise the icon is fetched; with both a list and a cache and an extension other than
    // "exe" it is appended once and cached (icon back to null); else -1 with the icon set.
    // No extension: -1 and no icon.
    // `shareKey` (may be null) receives the provider's share key of a returned icon.
    static int GetIconIndexForFile(const std::u16string& path, ExplorerIconProvider& provider,
                                   ExplorerImageList* imageList, ExtensionIcons* extensionIcons,
                                   std::unique_ptr<ExplorerIcon>& icon, std::u16string* shareKey = nullptr);

    // The icon work that the listing worker leaves to the thread that may touch pictures: for
    // every record (in store order) whose icon kind asks for it, fills the extension cache or gives
    // the record its own icon. Call with the store held, before rows are inserted.
    void ResolveIcons(ExplorerIconProvider& provider);

    // The image a row of this record shows: a folder 0; a record with its own icon the image of
    // its share key (appended once per key; an unshared icon is appended each time); otherwise the
    // cached image of the row text's extension while the store holds fewer than 100000 records;
    // else -1.
    int ImageIndexForRow(WSFileRecord& record, const std::u16string& rowText);

private:
    Records m_records;
    int m_listingState = 0;
    std::u16string m_folder;
    std::u16string m_extraText;
    std::vector<UnreadFolder> m_unreadFolders;
    bool m_withIcons = true;
    ExplorerImageList* m_imageList = nullptr;
    ExtensionIcons m_extensionIcons;
    ExtensionIcons m_sharedIcons;
    // The record count, readable without the lock (see WSFileStorageThreadSafeAccess::GetPublishedCount).
    std::atomic<std::size_t> m_publishedCount{0};

    friend class WSFileStorageThreadSafeAccess;
};

// The list-view comparison of two records: negative puts `lhs` first, in the order of the mode
// (see ExplorerSortMode; values outside its enumerators: negative ones newest added first, above
// CheckStateReversed 0). The parent entry comes first in every mode. The numeric modes never
// return 0 (equal keys give +1 in both orders), so sort through `SortFileRecords`, not with this as
// a strict order.
int CompareFileRecords(const WSFileRecord* lhs, const WSFileRecord* rhs, ExplorerSortMode mode);

// Sorts records in a mode: a stable sort in which two records stand in order when the
// comparison puts the left one first and not the right one.
void SortFileRecords(std::vector<WSFileRecord*>& records, ExplorerSortMode mode);
// The consistent form of the comparison: -1, 0 or +1, antisymmetric (0 where both orders say +1).
int CompareFileRecordsConsistent(const WSFileRecord* lhs, const WSFileRecord* rhs, ExplorerSortMode mode);
// What the file list's orders read of a record (its path is the record's own): sorted by
// ExplorerSortKeys, records stand as `SortFileRecords` puts them.
ExplorerSortEntry SortEntryOf(const WSFileRecord& record);

// ---- the lock

// The store together with its lock. The lock is owner-tracked and does not count: `Lock` by the
// thread that holds the store returns at once, `Lock` by another thread waits, `Unlock` by the
// holder releases it however often it was locked, `Unlock` by anyone else does nothing.
class WSFileStorageThreadSafeAccess
{
public:
    WSFileStorageThreadSafeAccess() = default;
    virtual ~WSFileStorageThreadSafeAccess();
    WSFileStorageThreadSafeAccess(const WSFileStorageThreadSafeAccess&) = delete;
    WSFileStorageThreadSafeAccess& operator=(const WSFileStorageThreadSafeAccess&) = delete;

    void Lock();
    void Unlock();
    // True while some thread holds the store.
    bool IsLocked() const;
    // True when the calling thread holds it.
    bool IsHeldByCurrentThread() const;
    // The store; locks it first when the calling thread does not hold it.
    WSFileStorage& GetStorage();

    // The store's record count, published by every add and clear: readable at any time without the
    // lock (progress display while the worker holds the store for its walk).
    std::size_t GetPublishedCount() const
    {
        return m_storage.m_publishedCount.load(std::memory_order_relaxed);
    }

private:
    WSFileStorage m_storage;
    std::mutex m_mutex;
    std::atomic<std::thread::id> m_owner{};
};

// Holds the store for its scope.
class WSFileStorageAccessGuard
{
public:
    explicit WSFileStorageAccessGuard(WSFileStorageThreadSafeAccess& access)
        : m_access(&access)
    {
        m_access->Lock();
    }
    ~WSFileStorageAccessGuard() { m_access->Unlock(); }
    WSFileStorageAccessGuard(const WSFileStorageAccessGuard&) = delete;
    WSFileStorageAccessGuard& operator=(const WSFileStorageAccessGuard&) = delete;

    WSFileStorage& Get() { return m_access->GetStorage(); }

private:
    WSFileStorageThreadSafeAccess* m_access;
};
