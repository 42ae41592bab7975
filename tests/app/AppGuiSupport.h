// Shared pieces of the window tests: recorded message boxes, CSV files (the event pumping is
// GuiTestPump.h's).
#pragma once

#include <chrono>
#include <fstream>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

#include <wx/app.h>
#include <wx/utils.h>

#include "CMessageBoxInterface.h"
#include "GuiTestPump.h"

class RecordingMessageBoxes : public CMessageBoxInterface
{
public:
    int ShowMessageBox(const wxString& text, long style) override
    {
        texts.push_back(text);
        styles.push_back(style);
        return wxOK;
    }
    std::vector<wxString> texts;
    std::vector<long> styles;
};

extern RecordingMessageBoxes g_messageBoxes;
inline std::string g_testHome;

// A CSV file of `records` lines "r<n>;<n>;value <n>" under the test home; returns its path.
inline std::string WriteCsv(const std::string& name, int records, const std::string& separator = ";")
{
    std::string path = g_testHome + "/" + name;
    std::ofstream out(path, std::ios::binary);
    for (int n = 1; n <= records; ++n)
        out << "r" << n << separator << n << separator << "value " << n << "\n";
    return path;
}
