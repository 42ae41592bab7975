// The explorer window's control rectangles as plain arithmetic: where OnCreate puts every
// control for a text height, and where OnSize moves them for a client size. The window only
// applies what these functions return.
#pragma once

struct ExplorerRect
{
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    int Right() const { return x + width; }
    int Bottom() const { return y + height; }
    bool operator==(const ExplorerRect&) const = default;
};

// Where the controls stand right after creation, for the text height H of the path box's font.
struct ExplorerCreationLayout
{
    int rowHeight = 24; // e = max(H + 6, 24): the bottom of the path box
    ExplorerRect backButton;
    ExplorerRect forwardButton;
    ExplorerRect pathBox;
    ExplorerRect upButton;
    ExplorerRect fromDocumentButton;
    ExplorerRect resetButton;
    ExplorerRect flatListCheck;
    ExplorerRect searchBox;
    ExplorerRect list;
};

ExplorerCreationLayout ComputeExplorerCreationLayout(int textHeight);

// What OnSize reads from the controls before it moves them.
struct ExplorerSizeInput
{
    int clientWidth = 0;
    int clientHeight = 0;
    ExplorerRect pathBox;            // its current rectangle
    int fromDocumentButtonWidth = 0; // its current width
    ExplorerRect flatListCheck;
    int searchBoxHeight = 0;
    bool hasList = true;
};

struct ExplorerSizeLayout
{
    ExplorerRect fromDocumentButton;
    ExplorerRect upButton;
    ExplorerRect pathBox;
    ExplorerRect searchBox;
    ExplorerRect resetButton;
    bool hasList = false;
    ExplorerRect list;
};

ExplorerSizeLayout ComputeExplorerSizeLayout(const ExplorerSizeInput& input);
