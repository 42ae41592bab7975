// Renaming an entry from the file list's label editor, on the file system's byte paths. The new
// name goes into the entry's folder; when it names an existing folder there, the entry moves
// into that folder. Nothing existing is ever overwritten.
#pragma once

#include <string>

enum class RenameCheck
{
    Ok,
    EmptyName, // nothing typed, or the edit was cancelled
    BadName,   // "/" inside, or "." or ".."
    NoFolder,  // the path has no '/' to put the name behind
};

// The path the entry gets: its folder (up to and including the last '/') and the new name.
RenameCheck RenameTargetFor(const std::string& path, const std::string& newName, std::string& target);

struct RenameOutcome
{
    bool moved = false;
    std::string newPath; // where the entry is now, when it moved
    int error = 0;       // errno of the refusal; EEXIST when the target exists
};

// Moves source to target, or into target when target is an existing folder (other than the
// source itself); fails with EEXIST rather than replace anything.
RenameOutcome RenameEntryNoReplace(const std::string& source, const std::string& target);
