#include "AppIcon.h"

#include <iterator>

#include <wx/image.h>
#include <wx/imagpng.h>

#include "AppIconData.h"

namespace {

wxBitmap FromPng(const AppIconPng& png)
{
    if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG))
        wxImage::AddHandler(new wxPNGHandler);
    return wxBitmap::NewFromPNGData(png.data, png.length);
}

} // namespace

wxIconBundle AppIcons()
{
    wxIconBundle bundle;
    for (const AppIconPng& png : kAppIconPngs)
    {
        wxIcon icon;
        icon.CopyFromBitmap(FromPng(png));
        bundle.AddIcon(icon);
    }
    return bundle;
}

wxBitmap AppIconBitmap(int size)
{
    const AppIconPng* best = nullptr;
    for (const AppIconPng& png : kAppIconPngs)
        if (png.size >= size && (!best || png.size < best->size))
            best = &png;
    if (!best)
        best = &kAppIconPngs[std::size(kAppIconPngs) - 1];
    wxBitmap bitmap = FromPng(*best);
    if (best->size == size || !bitmap.IsOk())
        return bitmap;
    return wxBitmap(bitmap.ConvertToImage().Scale(size, size, wxIMAGE_QUALITY_HIGH));
}

std::vector<int> AppIconSizes()
{
    std::vector<int> sizes;
    for (const AppIconPng& png : kAppIconPngs)
        sizes.push_back(png.size);
    return sizes;
}
