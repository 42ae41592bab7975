// Shared pieces of the window tests: event pumping, recorded message boxes, CSV files.
#pragma once

#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <wx/app.h>
#include <wx/utils.h>

#include "CMessageBoxInterface.h"

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

// Lets the toolkit and wx process events, pending calls and idle work for about ms.
inline void Pump(int ms = 50)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    do
    {
        wxYield();
        if (wxTheApp)
        {
            wxTheApp->ProcessPendingEvents();
            wxTheApp->ProcessIdle();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    } while (std::chrono::steady_clock::now() < end);
}

// Pumps until the condition holds or the time is up; returns the condition.
inline bool PumpUntil(const std::function<bool()>& condition, int ms = 5000)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!condition())
    {
        if (std::chrono::steady_clock::now() > end)
            return false;
        Pump(10);
    }
    return true;
}

// A CSV file of `records` lines "r<n>;<n>;value <n>" under the test home; returns its path.
inline std::string WriteCsv(const std::string& name, int records, const std::string& separator = ";")
{
    std::string path = g_testHome + "/" + name;
    std::ofstream out(path, std::ios::binary);
    for (int n = 1; n <= records; ++n)
        out << "r" << n << separator << n << separator << "value " << n << "\n";
    return path;
}
