// Extra per-file information the file list can show in columns 4 to 13 and search: texts a
// checker attached to a file. Nothing in the viewer produces one, so the list's map of them
// stays empty there.
#pragma once

#include <string>
#include <vector>

struct ExplorerFileInfo
{
    virtual ~ExplorerFileInfo() = default;

    std::u16string column4Text;
    std::vector<std::u16string> namespacePrefixes;
    std::vector<std::u16string> namespaceUris;
    bool hasColumn7Text = false;
    std::u16string column7Text;
    std::vector<std::u16string> column5Values;
    std::vector<std::u16string> column6Values;
    bool hasQualifiedName = false;
    std::u16string namePrefix;
    std::u16string localName;
    std::u16string column9Text;
    std::u16string column10Text;
    std::u16string column12Text;
    bool markColumn13 = false;
};
