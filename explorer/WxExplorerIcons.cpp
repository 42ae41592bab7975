#include "WxExplorerIcons.h"

#include <wx/artprov.h>
#include <wx/dcmemory.h>
#include <wx/generic/dirctrlg.h>

#include "ExplorerRowText.h"
#include "GridWxText.h"

namespace {

constexpr int ICON_SIZE = 16;

wxBitmap Art(const wxArtID& id)
{
    wxBitmap bitmap = wxArtProvider::GetBitmap(id, wxART_LIST, wxSize(ICON_SIZE, ICON_SIZE));
    if (!bitmap.IsOk() || bitmap.GetWidth() != ICON_SIZE || bitmap.GetHeight() != ICON_SIZE)
    {
        wxImage image = bitmap.IsOk() ? bitmap.ConvertToImage() : wxImage(ICON_SIZE, ICON_SIZE);
        if (!image.HasAlpha())
            image.InitAlpha();
        image.Rescale(ICON_SIZE, ICON_SIZE, wxIMAGE_QUALITY_HIGH);
        bitmap = wxBitmap(image);
    }
    return bitmap;
}

// A small round mark in a colour on a transparent ground.
wxBitmap Dot(const wxColour& colour, bool hollow)
{
    wxImage image(ICON_SIZE, ICON_SIZE);
    image.InitAlpha();
    for (int y = 0; y < ICON_SIZE; ++y)
        for (int x = 0; x < ICON_SIZE; ++x)
        {
            const int dx = 2 * x - (ICON_SIZE - 1);
            const int dy = 2 * y - (ICON_SIZE - 1);
            const int d2 = dx * dx + dy * dy;
            const bool in = hollow ? (d2 <= 64 && d2 >= 25) : d2 <= 64;
            image.SetRGB(x, y, colour.Red(), colour.Green(), colour.Blue());
            image.SetAlpha(x, y, in ? 255 : 0);
        }
    return wxBitmap(image);
}

} // namespace

wxBitmap WxExplorerImageList::FolderBitmap()
{
    return Art(wxART_FOLDER);
}

WxExplorerImageList::WxExplorerImageList()
    : m_list(ICON_SIZE, ICON_SIZE, true, 0)
{
    m_list.Add(FolderBitmap());                     // 0 folder
    m_list.Add(Art(wxART_TICK_MARK));               // 1 valid
    m_list.Add(Art(wxART_CROSS_MARK));              // 2 not valid
    m_list.Add(Art(wxART_ERROR));                   // 3 errors with details
    m_list.Add(Art(wxART_WARNING));                 // 4 warnings
    m_list.Add(Dot(wxColour(170, 170, 170), true)); // 5 not checked
    m_list.Add(Dot(wxColour(60, 110, 200), false)); // 6 marked
    m_list.Add(Dot(wxColour(40, 150, 60), false));  // 7 marked, valid
    m_list.Add(Dot(wxColour(200, 50, 40), false));  // 8 marked, not valid
    m_list.Add(Art(wxART_QUESTION));                // 9 not valid, no details
    wxImage blank(ICON_SIZE, ICON_SIZE);
    blank.InitAlpha();
    for (int y = 0; y < ICON_SIZE; ++y)
        for (int x = 0; x < ICON_SIZE; ++x)
            blank.SetAlpha(x, y, 0);
    m_list.Add(wxBitmap(blank)); // 10 empty
}

int WxExplorerImageList::Append(const ExplorerIcon& icon)
{
    const auto* picture = dynamic_cast<const WxExplorerIcon*>(&icon);
    if (!picture || !picture->bitmap.IsOk())
        return -1;
    return m_list.Add(picture->bitmap);
}

const wxBitmap& WxExplorerIconProvider::PlainFileBitmap()
{
    if (!m_plainFile.IsOk())
        m_plainFile = Art(wxART_NORMAL_FILE);
    return m_plainFile;
}

const wxBitmap& WxExplorerIconProvider::ExecutableBitmap()
{
    if (!m_executable.IsOk())
        m_executable = Art(wxART_EXECUTABLE_FILE);
    return m_executable;
}

std::unique_ptr<ExplorerIcon> WxExplorerIconProvider::FetchIcon(const std::u16string& path,
                                                                std::u16string& shareKey)
{
    shareKey.clear();
    const size_t slash = path.rfind(u'/');
    const std::u16string name = slash == std::u16string::npos ? path : path.substr(slash + 1);
    const std::u16string extension = RowTextExtension(name);
    if (extension.empty())
    {
        shareKey = u"\x01file";
        return std::make_unique<WxExplorerIcon>(PlainFileBitmap());
    }
    if (extension == u"exe")
    {
        shareKey = u"\x01exe";
        return std::make_unique<WxExplorerIcon>(ExecutableBitmap());
    }
    const int id = wxTheFileIconsTable->GetIconID(GridToWxString(extension));
    wxImageList* table = wxTheFileIconsTable->GetSmallImageList();
    if (!table || id < 0 || id >= table->GetImageCount())
        return std::make_unique<WxExplorerIcon>(PlainFileBitmap());
    return std::make_unique<WxExplorerIcon>(table->GetBitmap(id));
}
