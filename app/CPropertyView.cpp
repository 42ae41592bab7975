#include "CPropertyView.h"

#include <wx/button.h>
#include <wx/choice.h>
#include <wx/dcclient.h>
#include <wx/radiobut.h>
#include <wx/settings.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/utils.h>

#include "AppFonts.h"
#include "AppIds.h"
#include "EncodingTable.h"
#include "GridWxText.h"

namespace {

wxRect ToWx(const PropertyRect& r)
{
    return wxRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

} // namespace

CPropertyView::CPropertyView(wxWindow* parent, wxWindowID id)
    : wxPanel(parent, id)
{
    SetBackgroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE));
    int h = 16;
    if (F2.IsOk())
    {
        wxClientDC dc(this);
        dc.SetFont(F2);
        h = dc.GetCharHeight();
    }
    PropertyLayout layout = ComputePropertyLayout(h);
    m_spacing = layout.spacing;

    // Created in this order so that the radio buttons lie over the group box.
    m_group = new wxStaticBox(this, ID_PROPERTY_SEPARATOR_GROUP, "Separator",
                              ToWx(layout.group).GetPosition(), ToWx(layout.group).GetSize());
    m_radios[0] =
        new wxRadioButton(this, ID_PROPERTY_SEMICOLON, "Semicolon", ToWx(layout.semicolon).GetPosition(),
                          ToWx(layout.semicolon).GetSize(), wxRB_GROUP);
    m_radios[1] = new wxRadioButton(this, ID_PROPERTY_COMMA, "Comma", ToWx(layout.comma).GetPosition(),
                                    ToWx(layout.comma).GetSize());
    m_radios[2] = new wxRadioButton(this, ID_PROPERTY_TABULATOR, "Tabulator",
                                    ToWx(layout.tabulator).GetPosition(), ToWx(layout.tabulator).GetSize());
    m_radios[0]->SetValue(true);
    m_label = new wxStaticText(this, wxID_ANY, "Use encoding:", ToWx(layout.label).GetPosition(),
                               ToWx(layout.label).GetSize());
    m_encodingList = new wxChoice(this, ID_PROPERTY_ENCODING, ToWx(layout.list).GetPosition(),
                                  wxSize(ToWx(layout.list).GetWidth(), -1));
    if (F1.IsOk())
    {
        m_label->SetFont(F1);
        m_encodingList->SetFont(F1);
    }
    for (int32_t i = 0; i < kEncodingCount; ++i)
        m_encodingList->Append(GridToWxString(GetEncodingName(i)));
    m_apply = new wxButton(this, ID_PROPERTY_APPLY, "Apply", ToWx(layout.apply).GetPosition(),
                           ToWx(layout.apply).GetSize());

    for (int i = 0; i < 3; ++i)
        m_radios[i]->Bind(wxEVT_RADIOBUTTON, &CPropertyView::OnRadio, this);
    m_apply->Bind(wxEVT_BUTTON, &CPropertyView::OnApply, this);
    Bind(wxEVT_SIZE, [this](wxSizeEvent& event) {
        AdjustLayout();
        event.Skip();
    });
}

void CPropertyView::AdjustLayout()
{
    wxPoint pos = m_encodingList->GetPosition();
    int width = EncodingListWidth(GetClientSize().x, pos.x);
    if (width > 0)
        m_encodingList->SetSize(pos.x, pos.y, width, m_encodingList->GetSize().y);
}

void CPropertyView::SetSettings(const DocumentReadOptions& options)
{
    m_options = options;
    // A radio group always has one button on; a separator outside 0..2 cannot occur, and would
    // show the first.
    if (options.separator >= 0 && options.separator < 3)
        m_radios[options.separator]->SetValue(true);
    if (options.encodingIndex >= 0 && options.encodingIndex < kEncodingCount)
        m_encodingList->SetSelection(options.encodingIndex);
    else
        m_encodingList->SetSelection(wxNOT_FOUND);
}

void CPropertyView::OnRadio(wxCommandEvent& event)
{
    m_options.separator = event.GetId() - ID_PROPERTY_SEMICOLON;
}

void CPropertyView::OnApply(wxCommandEvent&)
{
    Apply();
}

void CPropertyView::Apply()
{
    int selection = m_encodingList->GetSelection();
    if (selection >= 0)
        m_options.encodingIndex = selection;
    if (!m_applyHandler)
        return;
    wxBusyCursor wait;
    m_applyHandler(m_options);
}
