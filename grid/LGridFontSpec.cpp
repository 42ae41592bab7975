#include "LGridFontSpec.h"

#include <algorithm>

namespace {

// "At most -10": a height above -10 (smaller, or a positive cell height) becomes -10.
int AtMostMinusTen(int height)
{
    return height > -10 ? -10 : height;
}

} // namespace

LGridFontSpec LGridFontSpec::Italic() const
{
    LGridFontSpec spec = *this;
    spec.italic = true;
    spec.height = AtMostMinusTen(2 * height / 3);
    return spec;
}

LGridFontSpec LGridFontSpec::Small() const
{
    LGridFontSpec spec = *this;
    spec.height = AtMostMinusTen(3 * height / 4);
    return spec;
}

LGridFontSpec LGridFontSpec::Bold() const
{
    LGridFontSpec spec = *this;
    spec.weight = 600;
    return spec;
}

int GridRowHeightFromTextHeight(int textHeight)
{
    return std::max(1, textHeight + textHeight / 10);
}
