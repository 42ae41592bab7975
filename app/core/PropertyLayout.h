// Where the controls of the "Properties" pane go, from the height of its text: window-free
// arithmetic that the pane (CPropertyView) applies.
#pragma once

// Control rectangles of the pane for a text height h (left, top, right, bottom in pixels).
struct PropertyRect
{
    int left, top, right, bottom;
    bool operator==(const PropertyRect&) const = default;
};

struct PropertyLayout
{
    int spacing; // h / 2
    PropertyRect group, semicolon, comma, tabulator, label, list, apply;
};

PropertyLayout ComputePropertyLayout(int textHeight);

// Width of the encoding list for a client width: up to 4 pixels before the right edge.
int EncodingListWidth(int clientWidth, int listLeft);
