// The file list's entry orders: a table of hand-picked cases, one rule each, and a twin check
// against a plain stable sort with a comparator written from the rules, over thousands of
// generated entries in every mode.
#include "ExplorerSortKeys.h"

#include <algorithm>
#include <cstdint>
#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include <unicode/uchar.h>
#include <unicode/ustring.h>

namespace {

using M = ExplorerSortMode;

// Every enumerator, and values outside them as the comparison takes them.
const int ALL_MODES[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, -1, -7, 12, 99};

ExplorerSortMode Mode(int value)
{
    return static_cast<ExplorerSortMode>(value);
}

std::string Utf8(const std::u16string& text)
{
    std::string out(text.size() * 3 + 1, '\0');
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strToUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &length, text.data(),
                       static_cast<int32_t>(text.size()), 0xFFFD, nullptr, &status);
    out.resize(U_SUCCESS(status) ? static_cast<size_t>(length) : 0);
    return out;
}

// An entry as the list knows its record.
struct Record
{
    std::u16string path;
    bool parent = false;
    bool folder = false;
    int64_t added = 0;
    int64_t modified = 0;
    int64_t size = 0;
    bool regular = false; // a regular file row (not a folder, a top-level item or the parent entry)
    bool checked = false; // has a check result
    bool flagC = false;
    bool valid = false;
};

ExplorerSortEntry SortEntryOf(const Record& record)
{
    ExplorerSortEntry entry;
    entry.path = record.path;
    entry.parent = record.parent;
    entry.folder = record.folder;
    entry.timeAdded = record.added;
    entry.modified = record.modified;
    entry.size = record.size;
    entry.checkRank = ExplorerCheckRank(record.regular, record.checked, record.flagC, record.valid);
    return entry;
}

// ---- the reference: what the orders must be, written out plainly

// Paths ignoring case, code unit by code unit, each lowered on its own; a path that is the start of
// another comes first.
int ComparePaths(const std::u16string& a, const std::u16string& b)
{
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i)
    {
        const UChar32 x = u_tolower(a[i]);
        const UChar32 y = u_tolower(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// The check state's rules in turn: regular rows last, checked after unchecked, flagC set after
// clear, and with flagC set, valid after invalid.
std::tuple<bool, bool, bool, bool> CheckOrder(const Record& r)
{
    return {r.regular, r.checked, r.checked && r.flagC, r.checked && r.flagC && r.valid};
}

// True when `a` stands before `b`: the parent entry first, then the mode's rule.
bool Before(const Record& a, const Record& b, int mode)
{
    if (a.parent != b.parent)
        return a.parent;
    if (a.parent)
        return false;
    if (mode < 0)
        mode = 5;
    switch (mode)
    {
    case 0:
        return ComparePaths(a.path, b.path) < 0;
    case 1:
        return ComparePaths(b.path, a.path) < 0;
    case 2:
        return a.folder != b.folder ? a.folder : ComparePaths(a.path, b.path) < 0;
    case 3:
        return a.folder != b.folder ? b.folder : ComparePaths(b.path, a.path) < 0;
    case 4:
        return a.added < b.added;
    case 5:
        return a.added > b.added;
    case 6:
        return a.modified < b.modified;
    case 7:
        return a.modified > b.modified;
    case 8:
        return a.size < b.size;
    case 9:
        return a.size > b.size;
    case 10:
        return CheckOrder(a) < CheckOrder(b);
    case 11:
        return CheckOrder(a) > CheckOrder(b);
    default:
        return false;
    }
}

// Equal entries keep their order.
std::vector<int> ReferenceOrder(const std::vector<Record>& records, int mode)
{
    std::vector<int> order(records.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = static_cast<int>(i);
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return Before(records[a], records[b], mode); });
    return order;
}

// ---- the rules, one case each

struct Named
{
    std::u16string name; // below the folder "/data"; ".." is the parent entry
    bool folder = false;
    int64_t size = 0;
    int64_t modified = 0;
    int check = 0; // 0 unchecked, 1 checked without flagC, 2 flagC invalid, 3 flagC valid
    bool regular = true;
};

Record RecordOf(const Named& named)
{
    Record record;
    record.path = named.name.front() == u'/' ? named.name : u"/data/" + named.name;
    record.parent = named.name == u"..";
    record.folder = named.folder || record.parent;
    record.size = named.size;
    record.modified = named.modified;
    record.regular = named.regular && !record.folder;
    record.checked = named.check > 0;
    record.flagC = named.check >= 2;
    record.valid = named.check == 3;
    return record;
}

TEST(ExplorerSortKeys, EachRuleInAHandPickedCase)
{
    struct Case
    {
        const char* rule;
        ExplorerSortMode mode;
        std::vector<Named> entries; // in entry order
        std::vector<std::u16string> expected;
    };
    const Named dir{u"Zdir", true};
    const Named sub{u"a", true};
    const Case cases[] = {
        {"folders first, then names",
         M::FoldersFirstPathAscending,
         {{u"b.txt"}, dir, {u"A.txt"}, sub, {u".."}},
         {u"..", u"a", u"Zdir", u"A.txt", u"b.txt"}},
        {"files first, names descending",
         M::FilesFirstPathDescending,
         {{u"b.txt"}, dir, {u"A.txt"}, sub, {u".."}},
         {u"..", u"b.txt", u"A.txt", u"Zdir", u"a"}},
        {"the parent entry first also by path alone",
         M::PathDescending,
         {{u"z"}, {u".."}, {u"a"}},
         {u"..", u"z", u"a"}},
        {"digits compare as characters, not as numbers",
         M::PathAscending,
         {{u"file9"}, {u"file10"}, {u"file2"}, {u"9.csv"}, {u"10.csv"}},
         {u"10.csv", u"9.csv", u"file10", u"file2", u"file9"}},
        {"case is ignored; equal names keep their order",
         M::FoldersFirstPathAscending,
         {{u"B"}, {u"b"}, {u"a"}, {u"REPORT.csv"}, {u"report.CSV"}},
         {u"a", u"B", u"b", u"REPORT.csv", u"report.CSV"}},
        {"equal names keep their order descending too",
         M::FilesFirstPathDescending,
         {{u"B"}, {u"b"}, {u"a"}},
         {u"B", u"b", u"a"}},
        {"the extension is part of the name: '-' < '.' < '/' < '_'",
         M::PathAscending,
         {{u"a_b"}, {u"a.txt"}, {u"a"}, {u"a-b"}, {u"a/c"}, {u"a.b.c"}},
         {u"a", u"a-b", u"a.b.c", u"a.txt", u"a/c", u"a_b"}},
        {"a name that starts another comes first",
         M::PathAscending,
         {{u"abcd"}, {u"abc"}, {u"ab"}},
         {u"ab", u"abc", u"abcd"}},
        {"letters beyond ASCII lowered one by one",
         M::PathAscending,
         {{u"\u00c9mile"},
          {u"zeta"},
          {u"\u00e9mile2"},
          {u"\u0130x"},
          {u"iz"},
          {u"ia"},
          {u"\u03a9"},
          {u"\u03c9"}},
         {u"ia", u"\u0130x", u"iz", u"zeta", u"\u00c9mile", u"\u00e9mile2", u"\u03a9", u"\u03c9"}},
        {"the Kelvin sign is a k; a Deseret capital (two units) is not lowered",
         M::PathAscending,
         {{u"\u212ax"}, {u"kx"}, {u"\U00010428"}, {u"\U00010400"}, {u"\uffff"}},
         {u"\u212ax", u"kx", u"\U00010400", u"\U00010428", u"\uffff"}},
        {"paths outside the folder compare whole",
         M::PathAscending,
         {{u"/other/b"}, {u"b"}, {u"/data"}},
         {u"/data", u"b", u"/other/b"}},
        {"size smallest first; folders are 0; equal sizes keep their order",
         M::SizeSmallestFirst,
         {{u"big", false, 1LL << 40}, {u"x", false, 7}, dir, {u"y", false, 7}, {u"..", false, 99}},
         {u"..", u"Zdir", u"x", u"y", u"big"}},
        {"size largest first, the parent entry still first",
         M::SizeLargestFirst,
         {{u"x", false, 7}, {u"big", false, 1LL << 40}, {u"y", false, 7}, {u".."}, {u"neg", false, -1}},
         {u"..", u"big", u"x", u"y", u"neg"}},
        {"modified oldest first",
         M::ModifiedOldestFirst,
         {{u"c", false, 0, 30}, {u"a", false, 0, 10}, {u"b", false, 0, 30}, {u"d", false, 0, -5}},
         {u"d", u"a", u"c", u"b"}},
        {"modified newest first",
         M::ModifiedNewestFirst,
         {{u"c", false, 0, 30}, {u"a", false, 0, 10}, {u"b", false, 0, 30}, {u"d", false, 0, -5}},
         {u"c", u"b", u"a", u"d"}},
        {"check state: not regular, unchecked, no flagC, invalid, valid",
         M::CheckState,
         {{u"v", false, 0, 0, 3},
          {u"i", false, 0, 0, 2},
          {u"n", false, 0, 0, 1},
          {u"u"},
          {u"tc", false, 0, 0, 3, false},
          {u"t", false, 0, 0, 0, false},
          {u"u2"},
          {u"n2", false, 0, 0, 1}},
         {u"t", u"tc", u"u", u"u2", u"n", u"n2", u"i", u"v"}},
        {"check state reversed; equal states keep their order",
         M::CheckStateReversed,
         {{u"v", false, 0, 0, 3},
          {u"i", false, 0, 0, 2},
          {u"n", false, 0, 0, 1},
          {u"u"},
          {u"tc", false, 0, 0, 3, false},
          {u"t", false, 0, 0, 0, false},
          {u"u2"},
          {u"n2", false, 0, 0, 1}},
         {u"v", u"i", u"n", u"n2", u"u", u"u2", u"tc", u"t"}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.rule);
        std::vector<Record> records;
        for (const Named& named : c.entries)
            records.push_back(RecordOf(named));
        ExplorerSortKeys keys;
        keys.SetFolder(u"/data");
        for (const Record& record : records)
            keys.Add(SortEntryOf(record));
        std::vector<std::u16string> names;
        for (int index : keys.Order(c.mode))
        {
            const std::u16string& path = records[index].path;
            names.push_back(path.rfind(u"/data/", 0) == 0 ? path.substr(6) : path);
        }
        EXPECT_EQ(names, c.expected);
        // The table agrees with the reference too.
        EXPECT_EQ(keys.Order(c.mode), ReferenceOrder(records, static_cast<int>(c.mode)));
    }
}

// ---- the twin over generated entries

class Generator
{
public:
    explicit Generator(unsigned seed)
        : m_random(seed)
    {}

    int Below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_random); }
    bool Chance(int percent) { return Below(100) < percent; }

    // A name of letters in both cases, digits, separators, dots and extensions; with `wide`
    // also letters beyond Latin-1 and characters of two code units.
    std::u16string Name(bool latin1, bool wide)
    {
        static const char16_t* const LATIN1[] = {u"\u00e9", u"\u00c9", u"\u00df",
                                                 u"\u00e4", u"\u00c4", u"\u00ff"};
        static const char16_t* const WIDE[] = {u"\u0130",     u"\u0131",     u"\u03a9",     u"\u03c9",
                                               u"\u212a",     u"\u0414",     u"\u0434",     u"\u4e2d",
                                               u"\u01c5",     u"\u1e9e",     u"\u03a3",     u"\u03c2",
                                               u"\U0001f600", u"\U00010400", u"\U00010428", u"\u0178"};
        static const char16_t* const EXTENSIONS[] = {u".csv",    u".CSV", u".txt", u".Txt",
                                                     u".tar.gz", u".",    u""};
        std::u16string name;
        const int parts = 1 + Below(4);
        for (int p = 0; p < parts; ++p)
        {
            switch (Below(wide ? 7 : latin1 ? 6 : 5))
            {
            case 0:
            case 1:
                for (int n = 1 + Below(4); n > 0; --n)
                    name += static_cast<char16_t>((Chance(50) ? u'a' : u'A') + Below(Chance(70) ? 3 : 26));
                break;
            case 2:
                name += std::u16string(u"0123456789").substr(Below(10), 1 + Below(3));
                break;
            case 3:
                name += u"-_. ~"[Below(5)];
                break;
            case 4:
                name += EXTENSIONS[Below(7)];
                break;
            case 5:
                name += LATIN1[Below(6)];
                break;
            default:
                name += WIDE[Below(16)];
                break;
            }
        }
        return name;
    }

    int64_t Number()
    {
        static const int64_t EDGES[] = {0,
                                        1,
                                        -1,
                                        4096,
                                        int64_t(1) << 40,
                                        std::numeric_limits<int64_t>::max(),
                                        std::numeric_limits<int64_t>::min()};
        return Chance(20) ? EDGES[Below(7)] : Below(40);
    }

    // One listing: below `folder` (sometimes in sub folders, now and then outside it), with the
    // parent entry or not, and names, sizes, times and check states that often repeat.
    std::vector<Record> Listing(const std::u16string& folder, int count)
    {
        const bool latin1 = Chance(60);
        const bool wide = latin1 && Chance(50);
        const int outside = Chance(25) ? 3 : 0;
        // A start that all names share (the keys drop what every key starts with).
        const std::u16string common = Chance(30) ? Name(false, false) + u"_" : std::u16string();
        std::u16string base = folder;
        if (base.empty() || base.back() != u'/')
            base += u'/';
        std::vector<Record> records;
        for (int i = 0; i < count; ++i)
        {
            Record record;
            if (!records.empty() && Chance(15))
            {
                // A repeat: the same keys, the name in the same or another case.
                record = records[Below(static_cast<int>(records.size()))];
                if (Chance(50))
                    for (size_t c = record.path.rfind(u'/') + 1; c < record.path.size(); ++c)
                        if (record.path[c] < 0x80)
                            record.path[c] = static_cast<char16_t>(Chance(50) ? u_toupper(record.path[c])
                                                                              : u_tolower(record.path[c]));
                records.push_back(record);
                continue;
            }
            std::u16string name = common + Name(latin1, wide);
            if (Chance(20))
                name = Name(latin1, wide) + u"/" + name; // a flat list's entry of a sub folder
            record.path = (Below(100) < outside ? u"/elsewhere/" : base) + name;
            record.folder = Chance(25);
            record.added = Number();
            record.modified = Number();
            record.size = record.folder ? 0 : Number();
            record.regular = !record.folder && Chance(90);
            record.checked = Chance(50);
            record.flagC = Chance(50);
            record.valid = Chance(50);
            records.push_back(record);
        }
        // The parent entry, anywhere in entry order; rarely two.
        for (int parents = Chance(70) ? 1 + (Chance(5) ? 1 : 0) : 0; parents > 0; --parents)
        {
            Record parent;
            parent.path = base + u"..";
            parent.parent = true;
            parent.folder = true;
            parent.added = Number();
            parent.modified = Number();
            parent.checked = Chance(30);
            const auto at = records.begin() + Below(static_cast<int>(records.size()) + 1);
            records.insert(at, parent);
        }
        return records;
    }

private:
    std::mt19937 m_random;
};

// The first place where two orders differ, readable.
std::string FirstDifference(const std::vector<Record>& records, const std::vector<int>& got,
                            const std::vector<int>& expected)
{
    if (got.size() != expected.size())
        return "sizes " + std::to_string(got.size()) + " and " + std::to_string(expected.size());
    for (size_t i = 0; i < got.size(); ++i)
        if (got[i] != expected[i])
            return "position " + std::to_string(i) + ": entry " + std::to_string(got[i]) + " \"" +
                   Utf8(records[got[i]].path) + "\" instead of entry " + std::to_string(expected[i]) + " \"" +
                   Utf8(records[expected[i]].path) + "\"";
    return "none";
}

TEST(ExplorerSortKeys, TwinOfAPlainStableSortOverGeneratedListings)
{
    const std::u16string FOLDERS[] = {u"/data/set", u"/data/set/", u"", u"/"};
    size_t entries = 0;
    for (unsigned seed = 1; seed <= 60; ++seed)
    {
        Generator generate(seed);
        const std::u16string folder = FOLDERS[generate.Below(4)];
        // Now and then an empty or tiny listing; every third one of thousands.
        const int count =
            seed % 10 == 0 ? generate.Below(3) : 50 + generate.Below(seed % 3 == 0 ? 4000 : 600);
        const std::vector<Record> records = generate.Listing(folder, count);
        entries += records.size();

        // As the list does: entries added, the folder set; now and then more entries come after
        // orders were made (a search adds records the listing did not have).
        ExplorerSortKeys keys;
        const size_t early = generate.Chance(30) ? records.size() / 2 : records.size();
        for (size_t i = 0; i < early; ++i)
            keys.Add(SortEntryOf(records[i]));
        keys.SetFolder(folder);
        if (early < records.size())
        {
            keys.Order(Mode(generate.Chance(50) ? 2 : 8));
            for (size_t i = early; i < records.size(); ++i)
                keys.Add(SortEntryOf(records[i]));
        }
        ASSERT_EQ(keys.size(), records.size());
        for (int mode : ALL_MODES)
        {
            const std::vector<int> expected = ReferenceOrder(records, mode);
            const std::vector<int>& got = keys.Order(Mode(mode));
            ASSERT_EQ(got, expected) << "seed " << seed << " mode " << mode << ", first difference at "
                                     << FirstDifference(records, got, expected);
            // Asked again: the same order.
            EXPECT_EQ(&keys.Order(Mode(mode)), &got);
        }
        keys.Clear();
        EXPECT_EQ(keys.size(), 0u);
        EXPECT_TRUE(keys.Order(M::PathAscending).empty());
    }
    EXPECT_GT(entries, 30000u);
}

TEST(ExplorerSortKeys, CheckRanksFollowTheRules)
{
    // Every combination of the four facts: the ranks order them as the rules do.
    std::vector<Record> all;
    for (int bits = 0; bits < 16; ++bits)
    {
        Record r;
        r.regular = bits & 1;
        r.checked = bits & 2;
        r.flagC = bits & 4;
        r.valid = bits & 8;
        all.push_back(r);
    }
    for (const Record& a : all)
        for (const Record& b : all)
        {
            const int rankA = ExplorerCheckRank(a.regular, a.checked, a.flagC, a.valid);
            const int rankB = ExplorerCheckRank(b.regular, b.checked, b.flagC, b.valid);
            EXPECT_EQ(rankA < rankB, CheckOrder(a) < CheckOrder(b));
            EXPECT_EQ(rankA == rankB, CheckOrder(a) == CheckOrder(b));
        }
}

} // namespace
