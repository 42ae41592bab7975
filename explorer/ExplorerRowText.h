// What a file-list row shows and whether it shows at all, as functions of plain values: the
// row text of an entry, the picture of its "Valid" column, the row filters, the texts of the
// extra columns, and the search pattern with the texts a search looks at.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "ExplorerFileInfo.h"

// ---- image indices of the shared small-icon list

constexpr int EXPLORER_IMAGE_NONE = -1;
constexpr int EXPLORER_IMAGE_FOLDER = 0;
// 1 to 9 are the check-result pictures, 10 an empty one; file-type icons follow them.
constexpr int EXPLORER_IMAGE_VALID = 1;
constexpr int EXPLORER_IMAGE_INVALID = 2;
constexpr int EXPLORER_IMAGE_ERROR_DETAIL = 3;
constexpr int EXPLORER_IMAGE_WARNING = 4;
constexpr int EXPLORER_IMAGE_UNCHECKED = 5;
constexpr int EXPLORER_IMAGE_MARK = 6;
constexpr int EXPLORER_IMAGE_MARK_VALID = 7;
constexpr int EXPLORER_IMAGE_MARK_INVALID = 8;
constexpr int EXPLORER_IMAGE_NO_DETAIL = 9;
// An empty picture: a row without one of its own shows it, so that every name starts at the same x.
constexpr int EXPLORER_IMAGE_BLANK = 10;
constexpr int EXPLORER_FIRST_FILE_ICON_IMAGE = 11;

// ---- row text

// True for the parent entry of a listing: a path that ends in "/.." exactly (not "a..").
bool IsParentEntryPath(const std::u16string& path);

// The row text of an entry. Flat: the path relative to the listed folder ("..", for the parent
// entry); a path outside the folder shows whole. Not flat: the display name (the path when it
// has none), cut to its last component unless the entry is a top-level shell item.
std::u16string RecordDisplayText(const std::u16string& path, const std::u16string& displayName,
                                 bool isTopLevelShellItem, const std::u16string& folder, bool flat);

// The lower-cased extension of a row text (after its last '.'), empty when there is none.
std::u16string RowTextExtension(const std::u16string& rowText);

// ---- check results

// The parts of a check result that the list reads.
struct ValidationFacts
{
    int messageCount = 0;
    bool completed = false;
    bool flagA = false;
    bool flagB = false;
    bool flagC = false;
    bool flagD = false;
    bool valid = false;
    bool hasMessageText = false;
    unsigned detailCount = 0;
};

// The "Valid" column's picture for a check result; no result: none.
int ValidImageFor(const ValidationFacts* facts);

struct ExplorerRowFilters
{
    bool showValid = true;
    bool showInvalid = true;
    bool showWarnings = true;
};

// True when a filter hides a row with this check result (rows without one are never hidden).
bool RowHiddenByFilters(const ExplorerRowFilters& filters, const ValidationFacts* facts);

// ---- extra columns

// Column 8: xmlns:p="u" xmlns:q="v" ...; nothing when the arrays differ in size or are empty.
std::optional<std::u16string> NamespaceDeclarationsText(const ExplorerFileInfo& info);
// Column 11: prefix:local, or local alone; nothing without a qualified name.
std::optional<std::u16string> QualifiedNameText(const ExplorerFileInfo& info);
// The texts of columns 4 to 12 (index 0 = column 4); an unset optional leaves that column as it is.
std::vector<std::optional<std::u16string>> InfoColumnTexts(const ExplorerFileInfo& info);

// ---- search

// The typed text when it holds '*' or '?', else the text between two '*'.
std::u16string MakeSearchPattern(const std::u16string& text);
// The texts a search matches for an entry, in order: its row text, then the info texts.
std::vector<std::u16string> SearchCandidates(const std::u16string& rowText, const ExplorerFileInfo* info);
// True when a non-empty candidate matches the pattern.
bool SearchMatches(const std::vector<std::u16string>& candidates, const std::u16string& pattern);
