#include "CMessageBoxInterface.h"

#include <algorithm>
#include <utility>

#include <wx/app.h>
#include <wx/msgdlg.h>

namespace {

class WxMessageBoxes : public CMessageBoxInterface
{
public:
    int ShowMessageBox(const wxString& text, long style) override
    {
        wxWindow* parent = wxTheApp ? wxTheApp->GetTopWindow() : nullptr;
        return wxMessageBox(text, wxTheApp ? wxTheApp->GetAppDisplayName() : wxString("CSV Quibbo"), style,
                            parent);
    }
};

WxMessageBoxes g_defaultBoxes;
CMessageBoxInterface* g_boxes = nullptr;

} // namespace

CMessageBoxInterface& GetMessageBoxes()
{
    return g_boxes ? *g_boxes : g_defaultBoxes;
}

void SetMessageBoxes(CMessageBoxInterface* boxes)
{
    g_boxes = boxes;
}

namespace {

int g_showing = 0;
std::function<void()> g_afterBoxes;
CMessageBoxGathering* g_gathering = nullptr;

constexpr long kIcons = wxICON_ERROR | wxICON_WARNING | wxICON_INFORMATION | wxICON_QUESTION;

int Severity(long icon)
{
    return (icon & wxICON_ERROR) ? 3 : (icon & wxICON_WARNING) ? 2 : (icon & wxICON_INFORMATION) ? 1 : 0;
}

} // namespace

int AppMessageBox(const wxString& text, long style)
{
    // Only a box with OK alone can wait: its answer is known.
    if (g_gathering && (style & ~kIcons) == wxOK)
    {
        g_gathering->Add(text, style);
        return wxOK;
    }
    ++g_showing;
    int answer;
    try
    {
        answer = GetMessageBoxes().ShowMessageBox(text, style);
    }
    catch (...)
    {
        --g_showing;
        throw;
    }
    if (--g_showing == 0 && g_afterBoxes && wxTheApp)
        wxTheApp->CallAfter([]() {
            if (g_showing == 0 && g_afterBoxes)
                g_afterBoxes();
        });
    return answer;
}

bool IsMessageBoxShowing()
{
    return g_showing > 0;
}

void SetAfterMessageBoxes(std::function<void()> after)
{
    g_afterBoxes = std::move(after);
}

CMessageBoxGathering::CMessageBoxGathering()
    : m_outer(g_gathering)
{
    if (!m_outer)
        g_gathering = this;
}

CMessageBoxGathering::~CMessageBoxGathering()
{
    if (g_gathering == this)
        g_gathering = nullptr;
}

void CMessageBoxGathering::Add(const wxString& text, long style)
{
    m_texts.push_back(text);
    if (Severity(style & kIcons) > Severity(m_icon))
        m_icon = style & kIcons;
}

void CMessageBoxGathering::Show()
{
    if (m_outer || m_texts.empty())
        return;
    std::vector<wxString> texts = std::move(m_texts);
    m_texts.clear();
    long icon = std::exchange(m_icon, 0);
    // The box itself is not gathered.
    g_gathering = nullptr;
    try
    {
        AppMessageBox(JoinedText(texts), wxOK | icon);
    }
    catch (...)
    {
        g_gathering = this;
        throw;
    }
    g_gathering = this;
}

wxString CMessageBoxGathering::JoinedText(const std::vector<wxString>& texts)
{
    wxString joined;
    const size_t shown = std::min(texts.size(), kMaxShown);
    for (size_t i = 0; i < shown; ++i)
        joined << (i ? "\n" : "") << texts[i];
    if (texts.size() > shown)
        joined << wxString::Format("\n... and %zu more.", texts.size() - shown);
    return joined;
}
