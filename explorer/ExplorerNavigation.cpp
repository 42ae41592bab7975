#include "ExplorerNavigation.h"

#include <algorithm>

#include "ExplorerRowText.h"

std::u16string NormalizeFolderPath(const std::u16string& path)
{
    if (path.empty())
        return path;
    const bool absolute = path.front() == u'/';
    std::vector<std::u16string> steps;
    size_t start = 0;
    while (start <= path.size())
    {
        size_t end = path.find(u'/', start);
        if (end == std::u16string::npos)
            end = path.size();
        const std::u16string step = path.substr(start, end - start);
        if (step.empty() || step == u".")
        {}
        else if (step == u"..")
        {
            if (!steps.empty() && steps.back() != u"..")
                steps.pop_back();
            else if (!absolute)
                steps.push_back(step);
        }
        else
        {
            steps.push_back(step);
        }
        start = end + 1;
    }
    std::u16string folder = absolute ? u"/" : u"";
    for (size_t i = 0; i < steps.size(); ++i)
    {
        if (i > 0)
            folder += u'/';
        folder += steps[i];
    }
    return folder.empty() ? u"." : folder;
}

std::u16string GetParentFolder(const std::u16string& path)
{
    std::u16string folder = path.find(u'/') == std::u16string::npos ? path : NormalizeFolderPath(path);
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

void ExplorerHistorySteps::Record(std::vector<std::u16string>& history, int& position,
                                  const std::u16string& folder)
{
    history.push_back(folder);
    position = static_cast<int>(history.size()) - 1;
}

std::optional<std::u16string> ExplorerHistorySteps::Back(const std::vector<std::u16string>& history,
                                                         int& position)
{
    if (position <= 0 || position > static_cast<int>(history.size()))
        return std::nullopt;
    --position;
    return history[position];
}

std::optional<std::u16string> ExplorerHistorySteps::Forward(const std::vector<std::u16string>& history,
                                                            int& position)
{
    const int count = static_cast<int>(history.size());
    if (count == 0 || position >= count - 1)
        return std::nullopt;
    ++position;
    return history[position];
}
