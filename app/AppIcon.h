// The application's icon (a sheet of rows and columns under a magnifying glass), in the sizes
// the desktop asks for, from PNG data that the program carries. GUI thread only.
#pragma once

#include <vector>

#include <wx/bitmap.h>
#include <wx/iconbndl.h>

// Every size, for a window's icons.
wxIconBundle AppIcons();
// The icon at `size` pixels: the drawn size when there is one, else the next larger scaled down.
wxBitmap AppIconBitmap(int size);
std::vector<int> AppIconSizes();
