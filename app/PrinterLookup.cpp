#include "PrinterLookup.h"

#include <chrono>
#include <thread>

#include <wx/cmndata.h>
#include <wx/crt.h>
#include <wx/print.h>

#include "CMessageBoxInterface.h"
#include "StderrLine.h"
#include "ToolkitSymbol.h"

namespace {

// The toolkit's printer listing, looked up in the toolkit already loaded by the GUI library.
using PrinterFunc = int (*)(void* printer, void* data);
using DestroyFunc = void (*)(void* data);
using EnumerateFunc = void (*)(PrinterFunc func, void* data, DestroyFunc destroy, int wait);
using NameFunc = const char* (*)(void* printer);
using FlagFunc = int (*)(void* printer);
using IterationFunc = int (*)(void* context, int mayBlock);

struct Toolkit
{
    EnumerateFunc enumerate = nullptr;
    NameFunc name = nullptr;
    FlagFunc isVirtual = nullptr;
    FlagFunc isDefault = nullptr;
    IterationFunc iteration = nullptr;

    bool Ok() const { return enumerate && name && isVirtual && isDefault && iteration; }
};

const Toolkit& GetToolkit()
{
    static const Toolkit toolkit = [] {
        Toolkit t;
        t.enumerate = ToolkitSymbol<EnumerateFunc>("gtk_enumerate_printers");
        t.name = ToolkitSymbol<NameFunc>("gtk_printer_get_name");
        t.isVirtual = ToolkitSymbol<FlagFunc>("gtk_printer_is_virtual");
        t.isDefault = ToolkitSymbol<FlagFunc>("gtk_printer_is_default");
        t.iteration = ToolkitSymbol<IterationFunc>("g_main_context_iteration");
        return t;
    }();
    return toolkit;
}

// Shared by the listing's callbacks and the waiting loop. The listing may go on after the wait
// has given up, so it frees this itself when it ends (the destroy callback); a listing that never
// ends leaves it behind.
struct Search
{
    std::string wanted;
    std::string wantedFound;
    std::string defaultPrinter;
    std::string firstPrinter;
    bool finished = false;
    bool abandoned = false;
};

int OnPrinter(void* printer, void* data)
{
    auto* search = static_cast<Search*>(data);
    const Toolkit& toolkit = GetToolkit();
    if (search->abandoned || toolkit.isVirtual(printer))
        return search->abandoned ? 1 : 0;
    const char* name = toolkit.name(printer);
    if (!name || !*name)
        return 0;
    if (!search->wanted.empty())
    {
        if (search->wanted != name)
            return 0;
        search->wantedFound = name;
        return 1;
    }
    if (toolkit.isDefault(printer))
    {
        search->defaultPrinter = name;
        return 1;
    }
    if (search->firstPrinter.empty())
        search->firstPrinter = name;
    return 0;
}

void OnListingEnd(void* data)
{
    auto* search = static_cast<Search*>(data);
    if (search->abandoned)
        delete search;
    else
        search->finished = true;
}

} // namespace

PrinterLookup FindPrinter(const std::string& wanted, int timeoutMs)
{
    PrinterLookup lookup;
    const Toolkit& toolkit = GetToolkit();
    if (!toolkit.Ok())
        return lookup;

    auto* search = new Search;
    search->wanted = wanted;
    toolkit.enumerate(&OnPrinter, search, &OnListingEnd, 0);
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!search->finished && std::chrono::steady_clock::now() < end)
    {
        if (!toolkit.iteration(nullptr, 0))
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }

    std::string found = !wanted.empty()                   ? search->wantedFound
                        : !search->defaultPrinter.empty() ? search->defaultPrinter
                                                          : search->firstPrinter;
    if (!found.empty())
    {
        lookup.result = PrinterLookupResult::Found;
        lookup.printer = found;
    }
    else
    {
        lookup.result = wanted.empty() ? PrinterLookupResult::NoPrinter : PrinterLookupResult::NotFound;
    }
    if (search->finished)
        delete search;
    else
        search->abandoned = true;
    return lookup;
}

bool PrintWithoutDialog(wxWindow* parent, const std::function<std::unique_ptr<wxPrintout>()>& makePrintout,
                        const wxPrintData& printData, const wxString& printer, const wxString& what,
                        int timeoutMs, bool toStderr)
{
    auto report = [toStderr](const wxString& text) {
        if (toStderr)
            WriteStderrLine(text);
        else
            AppMessageBox(text, wxOK | wxICON_ERROR);
    };

    // The toolkit's print operation would wait minutes for a printer that no service lists.
    wxString target = printer;
    PrinterLookup lookup = FindPrinter(printer.utf8_string(), timeoutMs);
    switch (lookup.result)
    {
    case PrinterLookupResult::Found:
        target = wxString::FromUTF8(lookup.printer);
        break;
    case PrinterLookupResult::NoPrinter:
        report(wxString::Format("No printer is available: \"%s\" was not printed.", what));
        return false;
    case PrinterLookupResult::NotFound:
        report(wxString::Format("The printer \"%s\" was not found: \"%s\" was not printed.", printer, what));
        return false;
    case PrinterLookupResult::Unavailable:
        break; // the print operation looks for the printer itself
    }

    std::unique_ptr<wxPrintout> printout = makePrintout();
    if (!printout)
        return false;
    wxPrintDialogData data(printData);
    if (!target.empty())
        data.GetPrintData().SetPrinterName(target);
    wxPrinter wxprinter(&data);
    if (wxprinter.Print(parent, printout.get(), false))
        return true;
    if (wxPrinter::GetLastError() == wxPRINTER_ERROR)
        report(wxString::Format("\"%s\" could not be printed.", what));
    return false;
}
