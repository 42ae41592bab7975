#include "ExplorerSortState.h"

#include <cstddef>

std::optional<ExplorerSortMode> CompareModeForSortKey(int key, bool descending)
{
    using M = ExplorerSortMode;
    switch (key)
    {
    case 2:
        return descending ? M::FilesFirstPathDescending : M::FoldersFirstPathAscending;
    case 4:
        return descending ? M::CheckStateReversed : M::CheckState;
    case 6:
        return descending ? M::SizeLargestFirst : M::SizeSmallestFirst;
    case 8:
        return descending ? M::ModifiedNewestFirst : M::ModifiedOldestFirst;
    default:
        return std::nullopt;
    }
}

ExplorerSortPlan PlanSortByColumn(const std::vector<int>& sortKeys, int sortState, int column, bool force)
{
    ExplorerSortPlan plan;
    plan.newState = sortState;
    if (sortKeys.empty())
        return plan;
    int current = -1;
    for (std::size_t i = 0; i < sortKeys.size(); ++i)
        if (sortKeys[i] == (sortState & ~1))
        {
            current = static_cast<int>(i);
            break;
        }
    if (current < 0)
        return plan;

    const bool resort = column == -1;
    if (resort)
        column = current;
    if (column < 0 || column >= static_cast<int>(sortKeys.size()))
        return plan;

    const int key = sortKeys[column];
    plan.sort = true;
    plan.column = column;
    if (!resort && column == current && (sortState & 1) == 0 && !force)
    {
        plan.descending = true;
        plan.newState = sortState | 1;
    }
    else
    {
        plan.descending = false;
        plan.newState = key & ~1;
    }
    plan.compareMode = CompareModeForSortKey(key, plan.descending);
    return plan;
}
