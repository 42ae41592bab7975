// Which printer a print without a dialog goes to. The toolkit's own print operation waits for
// every print backend to list its printers before it starts, which takes minutes when no
// printing service answers; this lookup asks the same backends but gives up after a time limit.
// GUI thread only (it runs the toolkit's events while it waits).
#pragma once

#include <functional>
#include <memory>
#include <string>

#include <wx/string.h>

class wxPrintData;
class wxPrintout;
class wxWindow;

// How long printing without a dialog looks for its printer.
inline constexpr int kPrinterLookupMs = 5000;

enum class PrinterLookupResult
{
    Found,       // `printer` holds the name to print on
    NoPrinter,   // no printer (other than print-to-file) was listed in time
    NotFound,    // the wanted printer was not listed in time
    Unavailable, // the toolkit offers no printer listing
};

struct PrinterLookup
{
    PrinterLookupResult result = PrinterLookupResult::Unavailable;
    std::string printer;
};

// The printer named `wanted` (exactly), or with an empty name the default printer, else the first
// one listed. Print-to-file and other virtual printers do not count. Waits at most timeoutMs.
PrinterLookup FindPrinter(const std::string& wanted, int timeoutMs);

// Prints without a dialog on the named printer, or the default one with an empty name, after
// finding it within timeoutMs; the printout is made only once the printer is known (null: nothing
// to print, no message). Without such a printer, or when printing fails, the user is told in a
// message box, or with toStderr (a command-line action that ends the process, where no one could
// answer a box) in one line on the standard error instead; `what` names what was to be printed.
// Returns whether it printed.
bool PrintWithoutDialog(wxWindow* parent, const std::function<std::unique_ptr<wxPrintout>()>& makePrintout,
                        const wxPrintData& printData, const wxString& printer, const wxString& what,
                        int timeoutMs, bool toStderr);
