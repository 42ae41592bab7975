#include "ExplorerSortKeys.h"

#include <algorithm>
#include <utility>

#include <unicode/uchar.h>

namespace {

bool IsPathMode(ExplorerSortMode mode)
{
    const int value = static_cast<int>(mode);
    return value >= 0 && value <= 3;
}

} // namespace

int ExplorerCheckRank(bool regularRow, bool checked, bool flagC, bool valid)
{
    int rank = 0;
    if (checked)
        rank = !flagC ? 1 : (valid ? 3 : 2);
    return (regularRow ? 4 : 0) + rank;
}

void ExplorerSortKeys::SetFolder(std::u16string folder)
{
    if (folder == m_folder)
        return;
    m_folder = std::move(folder);
    m_pathKeys.clear();
}

void ExplorerSortKeys::Clear()
{
    m_entries.clear();
    m_orders.clear();
    m_pathKeys.clear();
    m_keyBytes.clear();
}

void ExplorerSortKeys::Add(const ExplorerSortEntry& entry)
{
    m_entries.push_back(entry);
    m_orders.clear();
    m_pathKeys.clear();
}

const std::vector<int>& ExplorerSortKeys::Order(ExplorerSortMode mode)
{
    auto found = m_orders.find(mode);
    if (found != m_orders.end())
        return found->second;
    std::vector<int> order(m_entries.size());
    if (IsPathMode(mode))
        SortByPath(mode, order);
    else
        SortByNumber(mode, order);
    return m_orders.emplace(mode, std::move(order)).first->second;
}

void ExplorerSortKeys::MakePathKeys()
{
    // The path orders compare the paths' characters lowered one by one, as the record comparison
    // does. Each lowered path is made once, as bytes that compare in the same order (one byte a
    // character when every character fits, else three, big-endian), without the folder that all
    // paths start with; its first eight bytes are kept as a number.
    std::u16string prefix;
    if (!m_folder.empty())
        prefix = m_folder.back() == u'/' ? m_folder : m_folder + u'/';
    auto lower = [](char16_t unit) -> uint32_t {
        if (unit < 0x80)
            return unit >= u'A' && unit <= u'Z' ? unit + 32u : unit;
        return static_cast<uint32_t>(u_tolower(unit));
    };
    // One pass in the common case: every path below the folder, every lowered character in one
    // byte. A path outside the folder, or a character that needs more, starts the keys again
    // without the folder, or three bytes wide.
    size_t common = prefix.size();
    size_t width = 1;
    m_keyBytes.reserve(m_entries.size() * 24);
    for (bool again = true; again;)
    {
        again = false;
        m_keyBytes.clear();
        m_pathKeys.assign(m_entries.size(), PathKey());
        for (size_t i = 0; i < m_entries.size() && !again; ++i)
        {
            const std::u16string_view path = m_entries[i].path;
            if (common != 0 && path.substr(0, prefix.size()) != prefix)
            {
                common = 0;
                again = true;
                break;
            }
            PathKey& key = m_pathKeys[i];
            key.offset = static_cast<uint32_t>(m_keyBytes.size());
            for (size_t c = std::min(common, path.size()); c < path.size(); ++c)
            {
                const uint32_t value = lower(path[c]);
                if (width == 3)
                {
                    m_keyBytes.push_back(static_cast<char>((value >> 16) & 0xFF));
                    m_keyBytes.push_back(static_cast<char>((value >> 8) & 0xFF));
                }
                else if (value >= 0x100)
                {
                    width = 3;
                    again = true;
                    break;
                }
                m_keyBytes.push_back(static_cast<char>(value & 0xFF));
            }
            key.length = static_cast<uint32_t>(m_keyBytes.size() - key.offset);
        }
    }
    // The bytes that every key (but the parent entry's) starts with decide nothing either.
    size_t shared = std::string::npos;
    const PathKey* first = nullptr;
    for (size_t i = 0; i < m_entries.size() && shared != 0; ++i)
    {
        if (m_entries[i].parent)
            continue;
        const PathKey& key = m_pathKeys[i];
        if (!first)
        {
            first = &key;
            shared = key.length;
            continue;
        }
        size_t same = 0;
        const size_t limit = std::min<size_t>(shared, key.length);
        while (same < limit && m_keyBytes[first->offset + same] == m_keyBytes[key.offset + same])
            ++same;
        shared = same;
    }
    if (shared == std::string::npos)
        shared = 0;
    // Whole characters only, so that the remaining bytes still start at a character.
    shared -= shared % width;
    for (size_t i = 0; i < m_entries.size(); ++i)
    {
        PathKey& key = m_pathKeys[i];
        if (!m_entries[i].parent)
        {
            key.offset += static_cast<uint32_t>(shared);
            key.length -= static_cast<uint32_t>(shared);
        }
        key.head = 0;
        for (uint32_t b = 0; b < 8; ++b)
            key.head = (key.head << 8) |
                       (b < key.length ? static_cast<unsigned char>(m_keyBytes[key.offset + b]) : 0u);
    }
}

void ExplorerSortKeys::SortByPath(ExplorerSortMode mode, std::vector<int>& order)
{
    if (m_pathKeys.size() != m_entries.size())
        MakePathKeys();
    using M = ExplorerSortMode;
    const bool ascending = mode == M::PathAscending || mode == M::FoldersFirstPathAscending;
    // What the order looks at, side by side: the parent entry first (entries in their order),
    // then (folders first, files first) the group, then the lowered path, then the entries'
    // order, as a stable sort keeps equal keys.
    struct Item
    {
        uint64_t head;
        uint32_t index;
        uint32_t group;
    };
    std::vector<Item> items(m_entries.size());
    for (size_t i = 0; i < m_entries.size(); ++i)
    {
        const ExplorerSortEntry& entry = m_entries[i];
        uint32_t group = 1;
        if (entry.parent)
            group = 0;
        else if (mode == M::FoldersFirstPathAscending)
            group = entry.folder ? 1 : 2;
        else if (mode == M::FilesFirstPathDescending)
            group = entry.folder ? 2 : 1;
        items[i] = Item{m_pathKeys[i].head, static_cast<uint32_t>(i), group};
    }
    const std::string_view bytes(m_keyBytes);
    std::sort(items.begin(), items.end(), [this, ascending, bytes](const Item& x, const Item& y) {
        if (x.group != y.group)
            return x.group < y.group;
        if (x.group == 0)
            return x.index < y.index;
        if (x.head != y.head)
            return ascending ? x.head < y.head : x.head > y.head;
        const PathKey& a = m_pathKeys[x.index];
        const PathKey& b = m_pathKeys[y.index];
        const std::string_view left = bytes.substr(a.offset, a.length);
        const std::string_view right = bytes.substr(b.offset, b.length);
        const int byPath = ascending ? left.compare(right) : right.compare(left);
        return byPath != 0 ? byPath < 0 : x.index < y.index;
    });
    for (size_t i = 0; i < items.size(); ++i)
        order[i] = static_cast<int>(items[i].index);
}

void ExplorerSortKeys::SortByNumber(ExplorerSortMode mode, std::vector<int>& order) const
{
    // The parent entry first, then the mode's number, then the entries' order.
    using M = ExplorerSortMode;
    if (static_cast<int>(mode) < 0)
        mode = M::NewestAddedFirst;
    int64_t ExplorerSortEntry::*field = nullptr;
    switch (mode)
    {
    case M::OldestAddedFirst:
    case M::NewestAddedFirst:
        field = &ExplorerSortEntry::timeAdded;
        break;
    case M::ModifiedOldestFirst:
    case M::ModifiedNewestFirst:
        field = &ExplorerSortEntry::modified;
        break;
    case M::SizeSmallestFirst:
    case M::SizeLargestFirst:
        field = &ExplorerSortEntry::size;
        break;
    default:
        break;
    }
    const bool ascending = mode != M::NewestAddedFirst && mode != M::ModifiedNewestFirst &&
                           mode != M::SizeLargestFirst && mode != M::CheckStateReversed;
    const bool byCheck = mode == M::CheckState || mode == M::CheckStateReversed;
    struct Item
    {
        int64_t key;
        uint32_t index;
        uint32_t group;
    };
    std::vector<Item> items(m_entries.size());
    for (size_t i = 0; i < m_entries.size(); ++i)
    {
        const ExplorerSortEntry& entry = m_entries[i];
        const int64_t key = field ? entry.*field : byCheck ? entry.checkRank : 0;
        items[i] = Item{key, static_cast<uint32_t>(i), entry.parent ? 0u : 1u};
    }
    std::sort(items.begin(), items.end(), [ascending](const Item& x, const Item& y) {
        if (x.group != y.group)
            return x.group < y.group;
        if (x.group != 0 && x.key != y.key)
            return ascending ? x.key < y.key : x.key > y.key;
        return x.index < y.index;
    });
    for (size_t i = 0; i < items.size(); ++i)
        order[i] = static_cast<int>(items[i].index);
}
