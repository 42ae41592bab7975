// The explorer's navigation rules as functions of plain values: the parent of a folder, the
// folder a double-click on an entry enters, the folder history's steps.
#pragma once

#include <optional>
#include <string>
#include <vector>

// A folder path with "." and ".." steps, doubled and final '/' taken out by its text alone (links
// are not followed): "/a/b/../c/." gives "/a/c"; ".." never climbs above the root; a relative
// path keeps the ".." it cannot resolve.
std::u16string NormalizeFolderPath(const std::u16string& path);

// The folder above a path, taken after NormalizeFolderPath: trailing '/' are ignored (the root stays "/"); no
// '/' gives the path unchanged, a last '/' at the start gives "/", otherwise the text before the last '/'.
std::u16string GetParentFolder(const std::u16string& path);

// The folder that opening a folder entry enters: the entry's path, except for the parent entry
// of a listing (".../.."), which enters the parent of the listed folder.
std::u16string FolderToEnter(const std::u16string& folderEntryPath);

// The folder history: entries only grow, duplicates stay; position -1 before the first entry.
struct ExplorerHistorySteps
{
    // Appends the folder at the end, whatever the position, and points at it.
    static void Record(std::vector<std::u16string>& history, int& position, const std::u16string& folder);
    // Moves the position one back (forward) and returns the entry to enter; nothing at the
    // first (last) entry or with an empty history.
    static std::optional<std::u16string> Back(const std::vector<std::u16string>& history, int& position);
    static std::optional<std::u16string> Forward(const std::vector<std::u16string>& history, int& position);
};
