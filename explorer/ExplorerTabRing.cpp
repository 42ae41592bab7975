#include "ExplorerTabRing.h"

namespace {

struct TabRingRow
{
    ExplorerControl from;
    ExplorerTabStep tab;
    ExplorerTabStep shiftTab;
};

using C = ExplorerControl;

constexpr TabRingRow TAB_RING[] = {
    {C::Back, {C::Forward, false}, {C::List, false}},
    {C::Forward, {C::PathBox, false}, {C::Back, false}},
    {C::PathBox, {C::Up, false}, {C::Forward, false}},
    {C::Up, {C::FromDocument, false}, {C::PathBox, false}},
    {C::FromDocument, {C::FlatListCheck, false}, {C::Up, false}},
    {C::FlatListCheck, {C::SearchBox, true}, {C::FromDocument, false}},
    {C::SearchBox, {C::ResetButton, false}, {C::FlatListCheck, false}},
    {C::ResetButton, {C::List, false}, {C::SearchBox, true}},
    {C::List, {C::PathBox, true}, {C::ResetButton, false}},
};

} // namespace

ExplorerTabStep NextTabStop(ExplorerControl from, bool shift)
{
    for (const TabRingRow& row : TAB_RING)
        if (row.from == from)
            return shift ? row.shiftTab : row.tab;
    return ExplorerTabStep{};
}
