// The explorer's pictures on wxWidgets: the store's shared 16 x 16 image list (the folder icon at
// index 0, the check-result pictures at 1 to 9, file icons from 10 on) and the icon provider
// that finds a file's icon in the desktop's icon theme by its extension. GUI thread only.
#pragma once

#include <memory>

#include <wx/bitmap.h>
#include <wx/imaglist.h>

#include "WSFileStorage.h"

class WxExplorerIcon : public ExplorerIcon
{
public:
    explicit WxExplorerIcon(const wxBitmap& bitmap)
        : bitmap(bitmap)
    {}
    wxBitmap bitmap;
};

class WxExplorerImageList : public ExplorerImageList
{
public:
    // Makes the list with the folder icon at 0 and the nine check-result pictures behind it.
    WxExplorerImageList();

    int Append(const ExplorerIcon& icon) override;
    int GetImageCount() const override { return m_list.GetImageCount(); }

    wxImageList& GetWxImageList() { return m_list; }

    static wxBitmap FolderBitmap();

private:
    wxImageList m_list;
};

class WxExplorerIconProvider : public ExplorerIconProvider
{
public:
    // By extension from the icon theme; "exe" files share the executable picture; a file
    // without extension shares the plain file picture.
    std::unique_ptr<ExplorerIcon> FetchIcon(const std::u16string& path, std::u16string& shareKey) override;

private:
    // The plain file and executable pictures, taken from the art provider once: a listing asks
    // for them once per file without extension and per executable.
    const wxBitmap& PlainFileBitmap();
    const wxBitmap& ExecutableBitmap();

    wxBitmap m_plainFile;
    wxBitmap m_executable;
};
