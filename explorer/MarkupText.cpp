#include "MarkupText.h"

#include <algorithm>
#include <array>
#include <string>

#include <wx/dc.h>
#include <wx/font.h>
#include <wx/gdicmn.h>
#include <wx/settings.h>

#include "MarkupTokenizer.h"

namespace {

constexpr int STYLE_BOLD = 1;
constexpr int STYLE_ITALIC = 2;
constexpr int STYLE_UNDERLINE = 4;
constexpr int STYLE_SUPERSCRIPT = 8;
constexpr int STYLE_SUBSCRIPT = 16;
constexpr int COLOUR_STACK_SIZE = 8;

// Shared by every call, as the renderer's contract says; the depth restarts at 0 per call.
std::array<wxColour, COLOUR_STACK_SIZE> g_colourStack{wxColour(0, 0, 0), wxColour(0, 0, 0), wxColour(0, 0, 0),
                                                      wxColour(0, 0, 0), wxColour(0, 0, 0), wxColour(0, 0, 0),
                                                      wxColour(0, 0, 0), wxColour(0, 0, 0)};
int g_colourDepth = 0;

void PushColour(wxDC& dc, const wxColour& colour)
{
    if (g_colourDepth < COLOUR_STACK_SIZE)
        g_colourStack[g_colourDepth++] = dc.GetTextForeground();
    dc.SetTextForeground(colour);
}

void PopColour(wxDC& dc)
{
    if (g_colourDepth > 0)
        dc.SetTextForeground(g_colourStack[--g_colourDepth]);
    else
        dc.SetTextForeground(g_colourStack[0]);
}

int StyleBit(MarkupTag tag)
{
    switch (tag)
    {
    case MarkupTag::Bold:
    case MarkupTag::Strong:
        return STYLE_BOLD;
    case MarkupTag::Italic:
    case MarkupTag::Emphasis:
        return STYLE_ITALIC;
    case MarkupTag::Underline:
        return STYLE_UNDERLINE;
    case MarkupTag::Superscript:
        return STYLE_SUPERSCRIPT;
    case MarkupTag::Subscript:
        return STYLE_SUBSCRIPT;
    default:
        return 0;
    }
}

wxFont FontForStyle(const wxFont& base, int style)
{
    if (!base.IsOk())
        return wxFont();
    wxFont font(base);
    font.SetWeight((style & STYLE_BOLD) ? wxFONTWEIGHT_BOLD : wxFONTWEIGHT_NORMAL);
    font.SetStyle((style & STYLE_ITALIC) ? wxFONTSTYLE_ITALIC : wxFONTSTYLE_NORMAL);
    font.SetUnderlined((style & STYLE_UNDERLINE) != 0);
    if (style & (STYLE_SUPERSCRIPT | STYLE_SUBSCRIPT))
    {
        const wxSize pixels = base.GetPixelSize();
        if (pixels.y > 0)
            font.SetPixelSize(wxSize(0, std::max(1, pixels.y * 7 / 10)));
        else
            font.SetFractionalPointSize(base.GetFractionalPointSize() * 7 / 10);
    }
    return font;
}

} // namespace

unsigned long MarkupColourStackBase()
{
    const wxColour& c = g_colourStack[0];
    return static_cast<unsigned long>(c.Red()) | (static_cast<unsigned long>(c.Green()) << 8) |
           (static_cast<unsigned long>(c.Blue()) << 16);
}

int DrawMarkupText(wxDC* dc, const wxString* textIn, int count, wxRect* rect, int format)
{
    if (!dc || !textIn)
        return 0;
    std::wstring all = textIn->ToStdWstring();
    if (count >= 0 && static_cast<size_t>(count) < all.size())
        all.resize(static_cast<size_t>(count));
    const std::wstring_view text(all);

    int originX = 0;
    int originY = 0;
    int width = 0;
    if (rect)
    {
        originX = rect->x;
        originY = rect->y;
        width = rect->width;
    }
    else
    {
        width = dc->GetSize().x - originX;
    }
    int lineWidthLimit = std::max(0, width);

    const wxFont baseFont = dc->GetFont();
    const wxColour savedColour = dc->GetTextForeground();
    std::array<wxFont, 32> fonts;
    std::array<bool, 32> made{};
    fonts[0] = baseFont;
    made[0] = true;
    wxCoord unused = 0;
    wxCoord lineHeight = 0;
    dc->GetTextExtent(wxString::FromUTF8("\xC3\x85y"), &unused, &lineHeight);

    int y = 0;
    int x = 0;
    int widest = 0;
    int style = 0;
    int selectedStyle = -1;
    int blankWidth = 0;
    bool pendingSpace = false;
    g_colourDepth = 0;

    size_t position = 0;
    while (position < text.size())
    {
        const MarkupToken token = NextMarkupToken(text, position, pendingSpace);
        if (token.kind == MarkupTokenKind::End)
            break;
        position = token.next;
        const std::wstring_view piece = text.substr(token.start, token.length);

        if (token.kind == MarkupTokenKind::IgnoredEndTag)
            continue;
        if (token.kind == MarkupTokenKind::StartTag || token.kind == MarkupTokenKind::EndTag)
        {
            const bool start = token.kind == MarkupTokenKind::StartTag;
            if (const int bit = StyleBit(token.tag))
            {
                style = start ? (style | bit) : (style & ~bit);
            }
            else if (token.tag == MarkupTag::LineBreak)
            {
                if (start && !(format & MARKUP_SINGLELINE))
                {
                    y += lineHeight;
                    x = 0;
                }
            }
            else if (token.tag == MarkupTag::Paragraph)
            {
                if (start && !(format & MARKUP_SINGLELINE))
                {
                    if (token.start != 0)
                        y += lineHeight * 3 / 2;
                    x = 0;
                }
            }
            else if (token.tag == MarkupTag::Font)
            {
                if (start)
                {
                    unsigned long colour = 0;
                    if (ParseMarkupFontColour(piece, colour))
                        PushColour(*dc, wxColour(static_cast<unsigned char>(colour & 0xFF),
                                                 static_cast<unsigned char>((colour >> 8) & 0xFF),
                                                 static_cast<unsigned char>((colour >> 16) & 0xFF)));
                }
                else
                {
                    PopColour(*dc);
                }
            }
            continue;
        }

        // A word.
        if (style != selectedStyle)
        {
            if (!made[style])
            {
                fonts[style] = FontForStyle(baseFont, style);
                made[style] = true;
            }
            dc->SetFont(fonts[style].IsOk() ? fonts[style] : wxSystemSettings::GetFont(wxSYS_ANSI_VAR_FONT));
            selectedStyle = style;
            wxCoord blankHeight = 0;
            wxCoord blank = 0;
            dc->GetTextExtent(wxS(" "), &blank, &blankHeight);
            blankWidth = blank;
        }
        const wxString word(piece.data(), piece.size());
        wxCoord wordWidth = 0;
        wxCoord wordHeight = 0;
        dc->GetTextExtent(word, &wordWidth, &wordHeight);
        lineWidthLimit = std::max<int>(lineWidthLimit, wordWidth);
        if (pendingSpace)
            x += blankWidth;
        if (x + wordWidth > lineWidthLimit && pendingSpace)
        {
            if (format & MARKUP_WORDBREAK)
            {
                y += lineHeight;
                x = 0;
            }
            else
            {
                lineWidthLimit = x + wordWidth;
            }
        }
        if (!(format & MARKUP_CALCRECT))
        {
            const bool upwards = originY < 0;
            const int top = upwards ? originY - y : originY + y;
            const int lineTop = upwards ? top - lineHeight : top;
            const wxRect box(originX + x, lineTop, std::max(0, lineWidthLimit - x), lineHeight);
            const int wordTop = (style & STYLE_SUBSCRIPT) ? box.y + box.height - wordHeight : box.y;
            {
                wxDCClipper clip(*dc, box);
                dc->DrawText(word, box.x, wordTop);
            }
            // The underline runs on under the blank in front of the word.
            if (pendingSpace && (style & STYLE_UNDERLINE) && x >= blankWidth)
            {
                wxDCClipper clip(*dc, wxRect(box.x - blankWidth, box.y, blankWidth, box.height));
                dc->DrawText(wxS(" "), box.x - blankWidth, wordTop);
            }
        }
        x += wordWidth;
        widest = std::max(widest, x);
        pendingSpace = false;
    }

    dc->SetFont(baseFont);
    dc->SetTextForeground(savedColour);

    if ((format & MARKUP_CALCRECT) && rect)
    {
        rect->width = widest;
        rect->height = y + lineHeight;
    }
    return y;
}
