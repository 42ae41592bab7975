#include "AppFonts.h"

#include <cstdlib>

#include <wx/fontenum.h>
#include <wx/settings.h>
#include <wx/window.h>

wxFont F1, F2, F3, F4, F5, F6;

namespace {

FontDescription g_f6;

wxFontWeight ToWxWeight(int weight)
{
    if (weight >= 700)
        return wxFONTWEIGHT_BOLD;
    if (weight >= 500)
        return wxFONTWEIGHT_MEDIUM;
    return wxFONTWEIGHT_NORMAL;
}

} // namespace

std::array<FontDescription, 6> MakeAppFontDescriptions(int h)
{
    return {{{"MS Shell Dlg", h - 2, 400, false},
             {"MS Shell Dlg", h + 2, 500, false},
             {"Segoe UI", h + 2, 500, false},
             {"Segoe UI", h + 2, 700, false},
             {"MS Shell Dlg", h, 700, false},
             {"Lucida Sans Unicode", h, 400, false}}};
}

std::string ResolveFontFace(const std::string& face)
{
    // wx makes a font invalid when it is given a face that the system lacks.
    if (!face.empty() && wxFontEnumerator::IsValidFacename(wxString::FromUTF8(face)))
        return face;
    for (const char* fallback : {"DejaVu Sans", "Noto Sans", "Liberation Sans"})
        if (wxFontEnumerator::IsValidFacename(fallback))
            return fallback;
    return std::string(wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT).GetFaceName().utf8_string());
}

wxFont MakeFont(const FontDescription& description)
{
    wxFont font = wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT);
    std::string face = ResolveFontFace(description.face);
    if (!face.empty())
        font.SetFaceName(wxString::FromUTF8(face));
    font.SetPixelSize(wxSize(0, std::max(std::abs(description.height), 1)));
    font.SetWeight(ToWxWeight(description.weight));
    font.SetStyle(description.italic ? wxFONTSTYLE_ITALIC : wxFONTSTYLE_NORMAL);
    return font;
}

int FontPointSize(const FontDescription& description, int pixelsPerInch)
{
    if (description.height > 0)
        return pixelsPerInch > 0
                   ? static_cast<int>((static_cast<long long>(description.height) * 72 + pixelsPerInch / 2) /
                                      pixelsPerInch)
                   : description.height;
    return -description.height;
}

void CreateAppFonts()
{
    // The cell height of the system font of the original platform at 96 DPI, scaled to this
    // display.
    int h = wxWindow::FromDIP(16, nullptr);
    auto descriptions = MakeAppFontDescriptions(h);
    F1 = MakeFont(descriptions[0]);
    F2 = MakeFont(descriptions[1]);
    F5 = MakeFont(descriptions[4]);
    F3 = MakeFont(descriptions[2]);
    F4 = MakeFont(descriptions[3]);
    F6 = MakeFont(descriptions[5]);
    g_f6 = descriptions[5];
    g_f6.face = ResolveFontFace(g_f6.face);
}

const FontDescription& GetF6Description()
{
    return g_f6;
}
