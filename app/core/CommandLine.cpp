#include "CommandLine.h"

#include <algorithm>
#include <cctype>

namespace {

// The switch name of an argument without its prefix, lower-cased; empty when it is no switch.
// A lone "-" or "/" is a file name, as is an absolute POSIX path such as "/home/a.csv": a
// "/" prefix counts as a switch only when a known switch name follows.
std::string SwitchName(const std::string& arg)
{
    std::string name;
    if (arg.rfind("--", 0) == 0)
        name = arg.substr(2);
    else if (arg.size() > 1 && (arg[0] == '-' || arg[0] == '/'))
        name = arg.substr(1);
    else
        return {};
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return name;
}

bool IsKnownSwitch(const std::string& name)
{
    static const char* const known[] = {"dde",
                                        "open",
                                        "p",
                                        "print",
                                        "pt",
                                        "printto",
                                        "register",
                                        "regserver",
                                        "registerperuser",
                                        "regserverperuser",
                                        "unregister",
                                        "unregserver",
                                        "unregisterperuser",
                                        "unregserverperuser",
                                        "restartbyrestartmanager",
                                        "embedding",
                                        "automation"};
    for (const char* k : known)
        if (name == k)
            return true;
    return false;
}

} // namespace

CommandLineDecision DecideCommandLine(const std::vector<std::string>& args)
{
    CommandLineDecision decision;
    for (size_t i = 0; i < args.size(); ++i)
    {
        const std::string& arg = args[i];
        std::string name = SwitchName(arg);
        if (name.empty() || (arg[0] == '/' && !IsKnownSwitch(name)))
        {
            // A bare file name is not opened; it only serves a switch that takes files.
            if (decision.action == CommandLineAction::Open)
                decision.files.push_back(arg);
            continue;
        }
        if (name == "dde" || name == "open")
        {
            if (decision.action == CommandLineAction::Nothing)
                decision.action = CommandLineAction::Open;
        }
        else if (name == "p" || name == "print")
        {
            decision = CommandLineDecision{};
            decision.action = CommandLineAction::Print;
            if (i + 1 < args.size())
                decision.files.push_back(args[++i]);
            else
                decision.action = CommandLineAction::Nothing;
            return decision;
        }
        else if (name == "pt" || name == "printto")
        {
            decision = CommandLineDecision{};
            if (i + 1 < args.size())
            {
                decision.action = CommandLineAction::PrintTo;
                decision.files.push_back(args[++i]);
                if (i + 1 < args.size())
                    decision.printerName = args[++i];
                // The driver and port that may follow have no meaning here.
            }
            return decision;
        }
        else if (name.rfind("register", 0) == 0 || name.rfind("regserver", 0) == 0)
        {
            decision = CommandLineDecision{};
            decision.action = CommandLineAction::Register;
            return decision;
        }
        else if (name.rfind("unregister", 0) == 0 || name.rfind("unregserver", 0) == 0)
        {
            decision = CommandLineDecision{};
            decision.action = CommandLineAction::Unregister;
            return decision;
        }
        else
        {
            // Restart-manager restart, Embedding, Automation and anything unknown: accepted
            // and ignored.
            decision.ignored.push_back(arg);
        }
    }
    if (decision.action == CommandLineAction::Open && decision.files.empty())
        decision.action = CommandLineAction::Nothing;
    return decision;
}
