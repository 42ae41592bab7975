// What both halves of csvq-bench-gui share: a run of csvq-bench for the figure to compare
// against, the start of the viewer's application under a private home, and an event pump.
#pragma once

#include <string>

// Runs a csvq-bench command line and returns the "seconds" of its JSON object, or a negative
// value when it did not run or printed none.
double BenchGuiCommandSeconds(const std::string& commandLine);

class CCSVQuibboAppApp;

// Makes a private temporary home (configuration, runtime and data folders) named after
// `tempName` ("/tmp/NAME-XXXXXX"), stores its path in `home`, installs the viewer's application
// object and starts the toolkit. Null, with a line on stderr, when there is no display.
CCSVQuibboAppApp* BenchGuiStartApp(const char* tempName, char** argv, std::string& home);

// Ends what BenchGuiStartApp started and removes the temporary home.
void BenchGuiEndApp(CCSVQuibboAppApp* app, const std::string& home);

// Runs pending and idle events for `ms` milliseconds.
void BenchGuiPump(int ms);

// Peak resident set size of this process in bytes (VmHWM), or -1.
long long BenchGuiPeakRssBytes();
// Resident set size of this process now in bytes (VmRSS), or -1.
long long BenchGuiRssBytes();
