// What a command line asks the viewer to do. Pure: no window, no file access.
#pragma once

#include <string>
#include <vector>

enum class CommandLineAction
{
    Nothing,    // no switch, a bare file name, or a switch that is accepted and ignored
    Open,       // the open switch: forward the files to a running viewer, else open them here
    Print,      // print the file without a prompt, then exit
    PrintTo,    // print the file on the named printer, then exit
    Register,   // write the desktop entry, then exit
    Unregister, // remove the desktop entry, then exit
};

struct CommandLineDecision
{
    CommandLineAction action = CommandLineAction::Nothing;
    std::vector<std::string> files;
    std::string printerName;          // print-to only
    std::vector<std::string> ignored; // switches accepted and ignored, for the log
};

// Decides from the arguments after the program name. Switches start with "/", "-" or "--" and
// are compared without regard to case; file names are kept as given.
CommandLineDecision DecideCommandLine(const std::vector<std::string>& args);
