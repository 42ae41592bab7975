// Helpers shared by the line index, text file reader and CSV reader tests: a private temporary
// folder and byte strings written to files in it.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <unistd.h>

#include "LineIndex.h"

namespace scantest {
using Bytes = std::string;

class TempFolder
{
public:
    TempFolder()
    {
        char pattern[] = "/tmp/csvq-reading-XXXXXX";
        const char* made = mkdtemp(pattern);
        path = made ? made : "/tmp";
    }
    ~TempFolder()
    {
        std::error_code error;
        if (path != "/tmp")
            std::filesystem::remove_all(path, error);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // Writes the bytes to a file of that name in the folder and returns its path.
    std::string Write(const std::string& name, const Bytes& bytes) const
    {
        std::string file = path + "/" + name;
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return file;
    }

    std::string path;
};

inline IndexNode Node(uint64_t line, uint64_t offset, bool atBreak)
{
    return IndexNode(line, offset, atBreak);
}

// UTF-16 bytes of an ASCII/BMP text in the given byte order.
inline Bytes Utf16(const std::u16string& text, bool littleEndian)
{
    Bytes bytes;
    for (char16_t c : text)
    {
        char low = static_cast<char>(c & 0xFF);
        char high = static_cast<char>(c >> 8);
        if (littleEndian)
            bytes += {low, high};
        else
            bytes += {high, low};
    }
    return bytes;
}
} // namespace scantest

inline std::ostream& operator<<(std::ostream& out, const IndexNode& node)
{
    return out << "{" << node.line << "," << node.byteOffset << "," << (node.atLineBreak ? "T" : "F") << "}";
}
