#include "PathHelpers.h"

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

namespace {
std::string Narrow(const std::u16string& text)
{
    std::string out;
    for (char16_t c : text)
        out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return out;
}

TEST(PathHelpers, IsRelativePath)
{
    struct Case
    {
        const char16_t* path;
        bool relative;
    };
    const Case cases[] = {
        {u"a", true},
        {u"dir/file", true},
        {u"./x", true},
        {u"../x", true},
        {u"/", false},  // the root
        {u"/x", false}, // absolute, where Windows has "\x" relative to the drive
        {u"/home/u/x.csv", false},
        {u"//srv/x", false}, // no network form: still absolute
        {u"c:", true},       // not a drive: a plain name
        {u"C:\\x", true},    // a backslash is part of a name
        {u"http:x", false},
        {u"HTTP://host/x", false},
        {u"http:", true}, // the scheme alone names nothing
        {u"https:x", false},
        {u"https:", true},
        {u"ftp:x", false},
        {u"ftp:", true},
        {u"", false},
        {nullptr, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.relative, IsRelativePath(c.path)) << (c.path ? Narrow(c.path) : "null");
}

TEST(PathHelpers, FormatFileSize)
{
    struct Case
    {
        int64_t bytes;
        const char16_t* text;
    };
    const Case cases[] = {
        {0, u"0 Bytes"},
        {1023, u"1023 Bytes"},
        {1024, u"1 KB"},
        {2047, u"1 KB"},
        {10485760, u"10240 KB"},
        {10485761, u"10 MB"},
        {-5, u"-5 Bytes"},
        {5LL << 40, u"5242880 MB"}, // past 32 bits
        {INT64_MAX, u"8796093022207 MB"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.text, FormatFileSize(c.bytes)) << c.bytes;
}

TEST(PathHelpers, WildcardMatch)
{
    struct Case
    {
        const char16_t* text;
        const char16_t* pattern;
        bool match;
    };
    const Case cases[] = {
        {u"Report.CSV", u"*.csv", true},
        {u"a.csv.csv", u"*.csv", false}, // no backtracking to the second ".csv"
        {u"abc", u"a?c", true},
        {u"abc", u"abc*", true},
        {u"abc", u"a*", true},
        {u"", u"*", true},
        {u"", u"**", false},
        {u"abc", u"*?c", false}, // a '*' right before a '?' matches nothing
        {u"ac", u"*?c", true},
        {u"abc", u"", false},
        {u"", u"", true},
        {u"abc", u"abd", false},
        {u"abc", u"ab", false},
        {u"ab", u"abc", false},
        {u"data_2024.txt", u"*2024*", true},
        {u"x.tsv", u"*.csv", false},
        // Case is ignored beyond ASCII, by the root locale's rules.
        {u"\u0394\u0395\u039B\u03A4\u0391.CSV", u"\u03B4\u03B5\u03BB*", true},
        {u"\u0414\u0410\u041D\u041D\u042B\u0415.csv", u"\u0434\u0430\u043D\u043D\u044B\u0435.*", true},
        {u"\u00C4RGER.csv", u"\u00E4*", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.match, WildcardMatch(c.text, c.pattern))
            << Narrow(c.text) << " against " << Narrow(c.pattern);
}

TEST(PathHelpers, NormalizePath)
{
    struct Case
    {
        const char16_t* path;
        bool toLower;
        const char16_t* normal;
    };
    const Case cases[] = {
        {u" /Dir/Sub/ \t", true, u"/dir/sub"},
        {u" /Dir/Sub/ \t", false, u"/Dir/Sub"},
        {u"/", false, u"/"}, // the root stays the root, where Windows turns "C:\" into "C:"
        {u"///", false, u"/"},
        {u" / ", false, u"/"},
        {u"rel/dir//", false, u"rel/dir"},
        {u"a\\b\\", false, u"a\\b\\"}, // a backslash is part of a name
        {u"http://Host/x/", true, u"http://host/x"},
        {u"", true, u""},
        {u" \t ", false, u""},
        {u"/\u00C4/", true, u"/\u00E4"},
    };
    for (const Case& c : cases)
    {
        std::u16string path = c.path;
        NormalizePath(path, c.toLower);
        EXPECT_EQ(c.normal, path) << Narrow(c.path);
    }
}

TEST(PathHelpers, SplitPath)
{
    struct Case
    {
        const char16_t* path;
        const char16_t* name;
        const char16_t* folder;
    };
    const Case cases[] = {
        {u"/dir/file.csv", u"file.csv", u"/dir/"},
        {u"/", u"", u"/"},
        {u"file.csv", u"file.csv", u""},
        {u"/file", u"file", u"/"},
        {u"dir/x", u"x", u"dir/"},
        {u"/home/u/", u"", u"/home/u/"},
        {u"C:/dir/x", u"x", u"C:/dir/"},
        {u"C:\\dir\\file.csv", u"C:\\dir\\file.csv", u""}, // no separator on this system
        {u"//server", u"server", u"//"},
        {u"http://host/a/b.csv", u"b.csv", u"http://host/a/"},
        {u"", u"", u""},
        {nullptr, u"", u""},
    };
    for (const Case& c : cases)
    {
        std::u16string folder = u"stale";
        EXPECT_EQ(c.name, SplitPath(c.path, folder)) << (c.path ? Narrow(c.path) : "null");
        EXPECT_EQ(c.folder, folder) << (c.path ? Narrow(c.path) : "null");
    }

    std::string folder = "stale";
    EXPECT_EQ("x.csv", SplitPath(std::string("/home/\xC3\xA9t\xC3\xA9/x.csv"), folder));
    EXPECT_EQ("/home/\xC3\xA9t\xC3\xA9/", folder);
    EXPECT_EQ("name", SplitPath(std::string("name"), folder));
    EXPECT_EQ("", folder);
}

TEST(PathHelpers, IsShellParsablePathLooksAtTheFileSystem)
{
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("csvq_path_" + std::to_string(getpid()));
    std::filesystem::create_directories(folder / "sub");
    const std::filesystem::path file = folder / "sub" / "\xCE\xB1.csv";
    const int fd = open(file.c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    close(fd);

    const std::filesystem::path old = std::filesystem::current_path();
    std::filesystem::current_path(folder);
    const std::u16string absolute = std::filesystem::path(folder / "sub").u16string();
    EXPECT_TRUE(IsShellParsablePath(absolute.c_str()));
    EXPECT_TRUE(IsShellParsablePath(u"sub"));
    EXPECT_TRUE(IsShellParsablePath(u"sub/\u03B1.csv"));
    EXPECT_TRUE(IsShellParsablePath(u"/"));
    EXPECT_FALSE(IsShellParsablePath(u"missing"));
    EXPECT_FALSE(IsShellParsablePath(u"sub/missing.csv"));
    EXPECT_FALSE(IsShellParsablePath(u"http://localhost/"));
    EXPECT_FALSE(IsShellParsablePath(u"file:///"));
    EXPECT_FALSE(IsShellParsablePath(u""));
    EXPECT_FALSE(IsShellParsablePath(nullptr));
    std::filesystem::current_path(old);
    std::filesystem::remove_all(folder);
}
} // namespace
