// The painting of the viewer's row boxes with wx: the window-free row box (core/LCSVRowGridBox.h)
// lays itself out and hands its parts to the painter installed here. GUI thread only.
#pragma once

// Makes every row box paint on the wx DC of its draw passes; called once, before the first grid.
void InstallRowBoxPainter();
