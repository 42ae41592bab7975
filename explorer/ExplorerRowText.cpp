#include "ExplorerRowText.h"

#include <unicode/uchar.h>

#include "PathHelpers.h"

namespace {

bool StartsWith(const std::u16string& text, const std::u16string& prefix)
{
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

} // namespace

bool IsParentEntryPath(const std::u16string& path)
{
    return path.size() > 2 && path.compare(path.size() - 3, 3, u"/..") == 0;
}

std::u16string RecordDisplayText(const std::u16string& path, const std::u16string& displayName,
                                 bool isTopLevelShellItem, const std::u16string& folder, bool flat)
{
    if (flat)
    {
        if (IsParentEntryPath(path))
            return u"..";
        if (!folder.empty())
        {
            const std::u16string prefix = folder.back() == u'/' ? folder : folder + u"/";
            if (path.size() > prefix.size() && StartsWith(path, prefix))
                return path.substr(prefix.size());
        }
        return path;
    }

    std::u16string text = displayName.empty() ? path : displayName;
    if (isTopLevelShellItem || text == u"/")
        return text;
    const size_t slash = text.rfind(u'/');
    if (slash != std::u16string::npos && slash + 1 < text.size())
        text.erase(0, slash + 1);
    return text;
}

std::u16string RowTextExtension(const std::u16string& rowText)
{
    const size_t dot = rowText.rfind(u'.');
    if (dot == std::u16string::npos)
        return std::u16string();
    // Lower-cased as the icon cache's keys are (not only A to Z: "ÄXT" is "äxt").
    std::u16string extension = rowText.substr(dot + 1);
    for (char16_t& c : extension)
        c = static_cast<char16_t>(u_tolower(c));
    return extension;
}

int ValidImageFor(const ValidationFacts* facts)
{
    if (!facts)
        return EXPLORER_IMAGE_NONE;
    const ValidationFacts& f = *facts;
    if (f.flagB)
        return f.flagD ? EXPLORER_IMAGE_ERROR_DETAIL : EXPLORER_IMAGE_WARNING;
    if (!f.flagC)
        return (f.messageCount != 0 || f.hasMessageText) ? EXPLORER_IMAGE_WARNING : EXPLORER_IMAGE_NONE;
    if (f.flagA)
    {
        if (f.messageCount == 0)
            return EXPLORER_IMAGE_VALID;
        return f.detailCount != 0 ? EXPLORER_IMAGE_INVALID : EXPLORER_IMAGE_NO_DETAIL;
    }
    return f.valid ? EXPLORER_IMAGE_VALID : EXPLORER_IMAGE_INVALID;
}

bool RowHiddenByFilters(const ExplorerRowFilters& filters, const ValidationFacts* facts)
{
    if (!facts)
        return false;
    if (!filters.showValid && facts->valid)
        return true;
    if (!filters.showInvalid && facts->completed && !facts->valid)
        return true;
    if (!filters.showWarnings && (facts->messageCount != 0 || facts->hasMessageText))
        return true;
    return false;
}

std::optional<std::u16string> NamespaceDeclarationsText(const ExplorerFileInfo& info)
{
    if (info.namespaceUris.empty() || info.namespaceUris.size() != info.namespacePrefixes.size())
        return std::nullopt;
    std::u16string text;
    for (size_t i = 0; i < info.namespaceUris.size(); ++i)
    {
        text += i == 0 ? u"xmlns:" : u" xmlns:";
        text += info.namespacePrefixes[i];
        text += u"=\"";
        text += info.namespaceUris[i];
        text += u"\"";
    }
    return text;
}

std::optional<std::u16string> QualifiedNameText(const ExplorerFileInfo& info)
{
    if (!info.hasQualifiedName)
        return std::nullopt;
    if (info.namePrefix.empty())
        return info.localName;
    return info.namePrefix + u":" + info.localName;
}

std::vector<std::optional<std::u16string>> InfoColumnTexts(const ExplorerFileInfo& info)
{
    auto first = [](const std::vector<std::u16string>& values) {
        return values.empty() ? std::u16string() : values.front();
    };
    return {
        info.column4Text,
        first(info.column5Values),
        first(info.column6Values),
        info.hasColumn7Text ? info.column7Text : std::u16string(),
        NamespaceDeclarationsText(info),
        info.column9Text,
        info.column10Text,
        QualifiedNameText(info),
        info.column12Text,
    };
}

std::u16string MakeSearchPattern(const std::u16string& text)
{
    if (text.find_first_of(u"*?") != std::u16string::npos)
        return text;
    return u"*" + text + u"*";
}

std::vector<std::u16string> SearchCandidates(const std::u16string& rowText, const ExplorerFileInfo* info)
{
    std::vector<std::u16string> candidates{rowText};
    if (!info)
        return candidates;
    if (!info->column5Values.empty())
        candidates.push_back(info->column5Values.front());
    if (!info->column6Values.empty())
        candidates.push_back(info->column6Values.front());
    if (info->hasColumn7Text)
        candidates.push_back(info->column7Text);
    if (std::optional<std::u16string> declarations = NamespaceDeclarationsText(*info))
        candidates.push_back(*declarations);
    candidates.push_back(info->column9Text);
    candidates.push_back(info->column10Text);
    candidates.push_back(info->column12Text);
    return candidates;
}

bool SearchMatches(const std::vector<std::u16string>& candidates, const std::u16string& pattern)
{
    for (const std::u16string& candidate : candidates)
        if (!candidate.empty() && WildcardMatch(candidate, pattern))
            return true;
    return false;
}
