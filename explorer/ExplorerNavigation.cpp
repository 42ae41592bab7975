#include "ExplorerNavigation.h"

#include "ExplorerRowText.h"

#include <algorithm>

std::u16string GetParentFolder(const std::u16string& path)
{
    std::u16string folder = path;
    while (folder.size() > 1 && folder.back() == u'/')
        folder.pop_back();
    const size_t slash = folder.rfind(u'/');
    if (slash == std::u16string::npos)
        return folder;
    if (slash == 0)
        return u"/";
    return folder.substr(0, slash);
}

std::u16string FolderToEnter(const std::u16string& folderEntryPath)
{
    if (!IsParentEntryPath(folderEntryPath))
        return folderEntryPath;
    // "/.." is the parent entry of the root's listing ("//..") with one '/' less.
    const size_t folderLength = std::max<size_t>(folderEntryPath.size() - 3, 1);
    return GetParentFolder(folderEntryPath.substr(0, folderLength));
}

void ExplorerHistorySteps::Record(std::vector<std::u16string>& history, int& position, const std::u16string& folder)
{
    history.push_back(folder);
    position = static_cast<int>(history.size()) - 1;
}

std::optional<std::u16string> ExplorerHistorySteps::Back(const std::vector<std::u16string>& history, int& position)
{
    if (position <= 0 || position > static_cast<int>(history.size()))
        return std::nullopt;
    --position;
    return history[position];
}

std::optional<std::u16string> ExplorerHistorySteps::Forward(const std::vector<std::u16string>& history, int& position)
{
    const int count = static_cast<int>(history.size());
    if (count == 0 || position >= count - 1)
        return std::nullopt;
    ++position;
    return history[position];
}
