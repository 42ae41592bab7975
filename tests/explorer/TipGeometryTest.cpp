// The tip balloon's shape and placement arithmetic.
#include "TipGeometry.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace {

TEST(TipGeometry, BodyPointerAndPlacement)
{
    struct Case
    {
        int textW, textH, iconW, iconH;
        int w, h;
    } cases[] = {
        {100, 15, 0, 0, 124, 35},   // text grown by 12 left and right, 10 top and bottom
        {100, 15, 16, 16, 145, 35}, // an icon adds its width and 5
        {10, 2, 16, 32, 55, 32},    // a body lower than the icon grows to the icon's height
        {0, 0, 0, 0, 24, 20},
    };
    for (const Case& c : cases)
    {
        const TipShape shape = ComputeTipShape(c.textW, c.textH, c.iconW, c.iconH);
        EXPECT_EQ(shape.bodyWidth, c.w);
        EXPECT_EQ(shape.bodyHeight, c.h);
        EXPECT_EQ(shape.windowWidth, c.w);
        EXPECT_EQ(shape.windowHeight, c.h + 25);
        EXPECT_EQ(shape.pointerTip, (TipPoint{c.w - 12, c.h + 15}));
        // The outline stays inside the window and reaches down to the pointer's tip.
        for (const TipPoint& p : shape.outline)
        {
            EXPECT_GE(p.x, 0);
            EXPECT_LE(p.x, shape.windowWidth);
            EXPECT_GE(p.y, 0);
            EXPECT_LE(p.y, shape.pointerTip.y);
        }
        EXPECT_NE(std::find(shape.outline.begin(), shape.outline.end(), shape.pointerTip),
                  shape.outline.end());

        // The window goes where the pointer's tip lands on the target.
        for (const TipPoint target : {TipPoint{400, 300}, TipPoint{5, 5}})
        {
            const TipPoint origin = TipWindowOrigin(shape, target);
            EXPECT_EQ(origin.x + shape.pointerTip.x, target.x);
            EXPECT_EQ(origin.y + shape.pointerTip.y, target.y);
        }
    }
    EXPECT_EQ(TipTextOrigin(0), (TipPoint{12, 10}));
    EXPECT_EQ(TipTextOrigin(16), (TipPoint{33, 10}));
}

} // namespace
