// Helpers on path and file-name text, with POSIX rules: "/" is the separator, a path is
// absolute when it starts with "/", and the root is "/".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// False for a null or empty path, an absolute path and a URL with something behind its
// scheme ("http:x", "https:x", "ftp:x"); true otherwise.
bool IsRelativePath(const char16_t* path);

// True when the path names something that exists: a relative path is taken from the current
// folder. URLs give false (there is no network access here).
bool IsShellParsablePath(const char16_t* path);

// "n Bytes" below 1024, "n KB" up to 10 MB inclusive, "n MB" above.
std::u16string FormatFileSize(int64_t byteCount);

// Matches a text against a pattern of '*' and '?', ignoring case. A '*' jumps to the first
// occurrence of the literal run behind it, never to a later one.
bool WildcardMatch(const std::u16string& text, const std::u16string& pattern);
// The two halves of WildcardMatch, for callers that match many texts: the case folding of a text
// or pattern, and the match of a folded text against a folded pattern.
std::u16string WildcardFold(const std::u16string& text);
bool WildcardMatchFolded(std::u16string_view text, std::u16string_view pattern);

// Trims blanks and tabs at both ends and removes trailing '/' characters (the root "/" stays);
// lower-cases the whole text when asked.
void NormalizePath(std::u16string& path, bool toLower);

// Splits at the last '/': returns the file name and sets `folder` to what lies before it,
// with its trailing '/'. No '/' gives the whole path as the name and an empty folder.
std::u16string SplitPath(const char16_t* path, std::u16string& folder);
// The same on a UTF-8 path, as the file system takes it.
std::string SplitPath(const std::string& path, std::string& folder);

// True when the text begins with a URL scheme that this system knows ("http:", "file:", ...).
bool IsUrlPath(const std::u16string& path);
