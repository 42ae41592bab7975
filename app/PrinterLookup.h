// Which printer a print without a dialog goes to. The toolkit's own print operation waits for
// every print backend to list its printers before it starts, which takes minutes when no
// printing service answers; this lookup asks the same backends but gives up after a time limit.
// GUI thread only (it runs the toolkit's events while it waits).
#pragma once

#include <string>

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
