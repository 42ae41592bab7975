#include "PathHelpers.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

#include <unicode/ustring.h>

#include "TextConvert.h"

namespace {
// Lower case by the root locale's full case mapping.
std::u16string ToLower(const std::u16string& text)
{
    if (text.empty())
        return text;
    std::u16string lower(text.size(), u'\0');
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = u_strToLower(lower.data(), static_cast<int32_t>(lower.size()), text.data(),
                                  static_cast<int32_t>(text.size()), "", &status);
    if (status == U_BUFFER_OVERFLOW_ERROR)
    {
        lower.assign(static_cast<size_t>(length), u'\0');
        status = U_ZERO_ERROR;
        length =
            u_strToLower(lower.data(), length, text.data(), static_cast<int32_t>(text.size()), "", &status);
    }
    if (U_FAILURE(status))
        return text;
    lower.resize(static_cast<size_t>(length));
    return lower;
}

bool StartsWith(std::u16string_view text, std::u16string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

std::u16string Widen(const char* ascii)
{
    std::u16string text;
    for (; *ascii; ++ascii)
        text.push_back(static_cast<char16_t>(*ascii));
    return text;
}
} // namespace

bool IsUrlPath(const std::u16string& path)
{
    static const std::u16string_view schemes[] = {u"http:",   u"https:",  u"ftp:",  u"ftps:", u"sftp:",
                                                  u"file:",   u"mailto:", u"news:", u"nntp:", u"telnet:",
                                                  u"gopher:", u"ldap:",   u"smb:",  u"about:"};
    const std::u16string head = ToLower(path.substr(0, 8));
    for (std::u16string_view scheme : schemes)
    {
        if (StartsWith(head, scheme))
            return true;
    }
    return false;
}

bool IsRelativePath(const char16_t* path)
{
    if (!path || !*path)
        return false;
    const std::u16string lower = ToLower(path);
    if (lower[0] == u'/')
        return false;
    // A scheme alone, with nothing behind it, names no URL.
    if ((lower.size() > 5 && StartsWith(lower, u"http:")) ||
        (lower.size() > 6 && StartsWith(lower, u"https:")) ||
        (lower.size() > 4 && StartsWith(lower, u"ftp:")))
        return false;
    return true;
}

bool IsShellParsablePath(const char16_t* path)
{
    std::u16string full = path ? path : u"";
    if (IsUrlPath(full))
        return false;
    std::string utf8 = Utf16ToUtf8(full);
    if (IsRelativePath(path))
    {
        if (char* folder = getcwd(nullptr, 0))
        {
            std::string joined = folder;
            std::free(folder);
            if (joined.empty() || joined.back() != '/')
                joined.push_back('/');
            utf8 = joined + utf8;
        }
    }
    if (utf8.empty())
        return false;
    struct stat info;
    return stat(utf8.c_str(), &info) == 0;
}

std::u16string FormatFileSize(int64_t byteCount)
{
    char text[48];
    if (byteCount < 1024)
        std::snprintf(text, sizeof text, "%lld Bytes", static_cast<long long>(byteCount));
    else if (byteCount <= 10485760)
        std::snprintf(text, sizeof text, "%lld KB", static_cast<long long>(byteCount >> 10));
    else
        std::snprintf(text, sizeof text, "%lld MB", static_cast<long long>(byteCount >> 20));
    return Widen(text);
}

bool WildcardMatch(const std::u16string& text, const std::u16string& pattern)
{
    return WildcardMatchFolded(ToLower(text), ToLower(pattern));
}

std::u16string WildcardFold(const std::u16string& text)
{
    return ToLower(text);
}

bool WildcardMatchFolded(std::u16string_view t, std::u16string_view p)
{
    while (!t.empty() && !p.empty())
    {
        if (p[0] == u'*')
        {
            p.remove_prefix(1);
            if (p.empty())
                return true;
            const std::u16string_view run = p.substr(0, p.find_first_of(u"*?"));
            if (run.empty())
                continue;
            const size_t found = t.find(run);
            if (found == std::u16string_view::npos)
                return false;
            t.remove_prefix(found);
        }
        else
        {
            if (p[0] != u'?' && p[0] != t[0])
                return false;
            p.remove_prefix(1);
            t.remove_prefix(1);
        }
    }
    if (p == u"*")
        p = std::u16string_view();
    return t.empty() && p.empty();
}

void NormalizePath(std::u16string& path, bool toLower)
{
    if (path.empty())
        return;
    const bool url = IsUrlPath(path);
    const size_t first = path.find_first_not_of(u" \t");
    if (first == std::u16string::npos)
    {
        path.clear();
        return;
    }
    const size_t last = path.find_last_not_of(u" \t");
    path = path.substr(first, last - first + 1);

    size_t end = path.find_last_not_of(u'/');
    if (end == std::u16string::npos)
        path = url ? std::u16string() : std::u16string(u"/"); // the root keeps its separator
    else
        path.resize(end + 1);
    if (toLower)
        path = ToLower(path);
}

std::u16string SplitPath(const char16_t* path, std::u16string& folder)
{
    folder.clear();
    if (!path || !*path)
        return std::u16string();
    const std::u16string_view p = path;
    const size_t i = p.rfind(u'/');
    if (i == std::u16string_view::npos)
        return std::u16string(p);
    folder.assign(p.substr(0, i + 1));
    return std::u16string(p.substr(i + 1));
}

std::string SplitPath(const std::string& path, std::string& folder)
{
    folder.clear();
    const size_t i = path.rfind('/');
    if (i == std::string::npos)
        return path;
    folder = path.substr(0, i + 1);
    return path.substr(i + 1);
}
