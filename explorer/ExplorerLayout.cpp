#include "ExplorerLayout.h"

#include <algorithm>

namespace {

ExplorerRect FromEdges(int left, int top, int right, int bottom)
{
    return ExplorerRect{left, top, right - left, bottom - top};
}

} // namespace

ExplorerCreationLayout ComputeExplorerCreationLayout(int textHeight)
{
    const int h = textHeight;
    const int e = std::max(h + 6, 24);
    const int c = e + h;
    ExplorerCreationLayout layout;
    layout.rowHeight = e;
    layout.backButton = FromEdges(4, 4, 24, 24);
    layout.forwardButton = FromEdges(26, 4, 46, 24);
    layout.pathBox = FromEdges(52, 2, 500, e);
    layout.upButton = FromEdges(504, 3, 527, 26);
    layout.fromDocumentButton = FromEdges(524, 3, 547, 26);
    layout.resetButton = FromEdges(751, 3, 807, 28);
    layout.flatListCheck = FromEdges(4, e + 2, 180, e + h);
    layout.searchBox = FromEdges(4, c + 4, 610, c + 8 + h);
    layout.list = FromEdges(4, layout.searchBox.Bottom() + 2, 400, 200);
    return layout;
}

ExplorerSizeLayout ComputeExplorerSizeLayout(const ExplorerSizeInput& in)
{
    ExplorerSizeLayout out;
    const ExplorerRect& path = in.pathBox;
    const int p = path.height;

    out.fromDocumentButton = ExplorerRect{in.clientWidth - in.fromDocumentButtonWidth - 2, path.y, p, p};
    out.upButton = ExplorerRect{out.fromDocumentButton.x - p - 2, path.y, p, p};
    out.pathBox = ExplorerRect{path.x, path.y, std::max(0, out.upButton.x - path.x - 2), path.height};

    const int q = in.searchBoxHeight;
    out.searchBox = ExplorerRect{in.flatListCheck.x, in.flatListCheck.Bottom() + 6,
                                 std::max(0, in.clientWidth - q - 4), q};
    out.resetButton = ExplorerRect{out.searchBox.Right() + 1, out.searchBox.y, q, q};

    out.hasList = in.hasList;
    if (in.hasList)
    {
        const int top = out.searchBox.Bottom() + 4;
        out.list =
            ExplorerRect{1, top, std::max(0, in.clientWidth - 2), std::max(0, in.clientHeight - top - 1)};
    }
    return out;
}
