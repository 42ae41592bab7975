#include "PropertyLayout.h"

PropertyLayout ComputePropertyLayout(int h)
{
    int m = h / 2;
    PropertyLayout layout{};
    layout.spacing = m;
    layout.group = {10, m, 220, m + 6 * h};
    layout.semicolon = {20, m + h, 200, 2 * m + 2 * h};
    layout.comma = {20, 2 * m + 2 * h, 200, 3 * m + 3 * h};
    layout.tabulator = {20, 3 * m + 3 * h, 200, 4 * m + 4 * h};
    layout.label = {228, m, 340, m + 2 + h};
    layout.list = {228, m + 2 + h, 340, m + 2 + 3 * h};
    layout.apply = {20, m + 6 * h + 4, 100, 2 * m + 7 * h + 4};
    return layout;
}

int EncodingListWidth(int clientWidth, int listLeft)
{
    return clientWidth - listLeft - 4;
}
