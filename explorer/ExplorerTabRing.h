// The explorer window's own Tab order: which control Tab and Shift+Tab move the focus to, and
// whether the target edit box gets its whole text selected.
#pragma once

enum class ExplorerControl
{
    Back,
    Forward,
    PathBox,
    Up,
    FromDocument,
    FlatListCheck,
    SearchBox,
    ResetButton,
    List,
    Other,
};

struct ExplorerTabStep
{
    ExplorerControl target = ExplorerControl::Other; // Other: the focus does not move
    bool selectAll = false;
    bool operator==(const ExplorerTabStep&) const = default;
};

ExplorerTabStep NextTabStop(ExplorerControl from, bool shift);
