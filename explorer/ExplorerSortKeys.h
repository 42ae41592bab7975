// The orders of the explorer's file list: the entries of a listing sorted in a comparison mode,
// each order made once and kept until the entries change. The list gives each entry what the
// orders read of its record (path, folder and parent flags, times, size, check state); the
// orders are those of the record comparison (CompareFileRecords) sorted stably: equal keys keep
// the entries' order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

// The modes of the record comparison. The file list sorts in FoldersFirstPathAscending,
// FilesFirstPathDescending and ModifiedOldestFirst to CheckStateReversed. Paths compare ignoring
// case, character by character (no natural digit order, no special place for extensions). In
// every mode the parent entry comes first. A value outside the enumerators is read as the
// comparison always read it: a negative one as NewestAddedFirst, one above CheckStateReversed as
// "all equal".
enum class ExplorerSortMode : int
{
    PathAscending = 0,
    PathDescending = 1,
    FoldersFirstPathAscending = 2,
    FilesFirstPathDescending = 3,
    OldestAddedFirst = 4,
    NewestAddedFirst = 5,
    ModifiedOldestFirst = 6,
    ModifiedNewestFirst = 7,
    SizeSmallestFirst = 8,
    SizeLargestFirst = 9,
    CheckState = 10,
    CheckStateReversed = 11,
};

// The rank of a record's check state in CheckState order (0 to 7): records that are not regular
// file rows before regular ones; then unchecked before checked; then flagC clear before set; then,
// with flagC set, invalid before valid.
int ExplorerCheckRank(bool regularRow, bool checked, bool flagC, bool valid);

// What the orders read of one entry. The path is not copied: it must live as long as the entry.
struct ExplorerSortEntry
{
    std::u16string_view path;
    bool parent = false; // the listing's parent entry: first in every order
    bool folder = false;
    int64_t timeAdded = 0;
    int64_t modified = 0;
    int64_t size = 0;
    int checkRank = 0; // ExplorerCheckRank
};

class ExplorerSortKeys
{
public:
    // The folder that the entries' paths usually start with (may be empty). It only saves work:
    // the orders do not depend on it.
    void SetFolder(std::u16string folder);
    // Forgets the entries and their orders.
    void Clear();
    // Appends an entry (its index is the count before); orders made before do not hold it.
    void Add(const ExplorerSortEntry& entry);
    std::size_t size() const { return m_entries.size(); }

    // The entries' indexes in the order of a mode, made on the first call after a change.
    const std::vector<int>& Order(ExplorerSortMode mode);

private:
    // The path orders compare lowered paths as bytes (see MakePathKeys).
    void MakePathKeys();
    void SortByPath(ExplorerSortMode mode, std::vector<int>& order);
    void SortByNumber(ExplorerSortMode mode, std::vector<int>& order) const;

    // A lowered path for the path orders: its bytes in m_keyBytes, its first eight as a number.
    struct PathKey
    {
        uint64_t head = 0;
        uint32_t offset = 0;
        uint32_t length = 0;
    };

    std::u16string m_folder;
    std::vector<ExplorerSortEntry> m_entries;
    std::map<ExplorerSortMode, std::vector<int>> m_orders;
    std::vector<PathKey> m_pathKeys;
    std::string m_keyBytes;
};
