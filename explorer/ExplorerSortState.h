// The file list's sort state machine: which column a sort request sorts, in which direction,
// with which comparison mode, and the state it leaves behind. The state is the current column's
// sort key with bit 0 set for descending.
#pragma once

#include <optional>
#include <vector>

#include "ExplorerSortKeys.h"

struct ExplorerSortPlan
{
    bool sort = false; // false: the request does nothing
    int column = -1;
    bool descending = false;
    std::optional<ExplorerSortMode> compareMode; // the record comparison's mode; none: by the cells' texts
    int newState = 0;
    bool operator==(const ExplorerSortPlan&) const = default;
};

// The comparison mode of a sort key and direction; none for a key without one.
std::optional<ExplorerSortMode> CompareModeForSortKey(int key, bool descending);

// column -1 re-sorts the current column. A click on the current column while it is ascending
// (not forced) turns it descending; everything else sorts ascending.
ExplorerSortPlan PlanSortByColumn(const std::vector<int>& sortKeys, int sortState, int column, bool force);
