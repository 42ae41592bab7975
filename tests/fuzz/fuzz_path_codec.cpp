// libFuzzer target: the explorer's path codec. Every byte string (a file name as the file system
// has it) must come back byte for byte from its UTF-16 form; the UTF-16 form holds no lone
// surrogate; and a UTF-16 string read from the input must encode to bytes that decode to it,
// with lone surrogates as U+FFFD (unless it holds characters of the range that stands for raw
// bytes, U+100000..U+1000FF: those become the bytes, which may then read as other characters).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "ExplorerPathCodec.h"

namespace {
[[noreturn]] void Wrong(const char* what)
{
    std::fprintf(stderr, "path codec: %s\n", what);
    std::abort();
}

bool IsLead(char16_t c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}
bool IsTrail(char16_t c)
{
    return c >= 0xDC00 && c <= 0xDFFF;
}

void CheckPairs(const std::u16string& text)
{
    for (size_t i = 0; i < text.size(); ++i)
    {
        if (IsLead(text[i]) && i + 1 < text.size() && IsTrail(text[i + 1]))
            ++i;
        else if (IsLead(text[i]) || IsTrail(text[i]))
            Wrong("a lone surrogate in a decoded name");
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 4096)
        return 0;
    const std::string native(reinterpret_cast<const char*>(data), size);
    const std::u16string path = ExplorerPathFromNative(native);
    CheckPairs(path);
    if (ExplorerPathToNative(path) != native)
        Wrong("bytes that do not come back");

    // The other way: the input's bytes as UTF-16 units.
    std::u16string wide;
    for (size_t i = 0; i + 1 < size; i += 2)
        wide.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    std::u16string expected;
    for (size_t i = 0; i < wide.size(); ++i)
    {
        if (IsLead(wide[i]) && i + 1 < wide.size() && IsTrail(wide[i + 1]))
        {
            if (wide[i] == 0xDBC0 && wide[i + 1] < 0xDD00)
                return 0; // a raw byte
            expected += wide[i];
            expected += wide[++i];
        }
        else
        {
            expected += IsLead(wide[i]) || IsTrail(wide[i]) ? u'\uFFFD' : wide[i];
        }
    }
    const std::string bytes = ExplorerPathToNative(wide);
    if (ExplorerPathFromNative(bytes) != expected)
        Wrong("a name that does not come back from its bytes");
    return 0;
}
