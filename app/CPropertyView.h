// The "Properties" pane: the field separator and the encoding of the active document, applied
// with "Apply", which re-reads the document's file. GUI thread only.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include <wx/panel.h>

#include "DocumentReadOptions.h"
#include "PropertyLayout.h"

class wxRadioButton;
class wxChoice;
class wxButton;
class wxStaticBox;
class wxStaticText;

class CPropertyView : public wxPanel
{
public:
    CPropertyView(wxWindow* parent, wxWindowID id);

    // Shows a document's options and makes them the working copy.
    void SetSettings(const DocumentReadOptions& options);

    const DocumentReadOptions& GetWorkingOptions() const { return m_options; }

    // What "Apply" calls with the working options; the main frame routes it to the active
    // document. Without one set, Apply does nothing.
    using ApplyHandler = std::function<void(const DocumentReadOptions&)>;
    void SetApplyHandler(ApplyHandler handler) { m_applyHandler = std::move(handler); }

    // Simulates pressing "Apply" (the button's handler).
    void Apply();

    wxRadioButton* GetRadio(int separator) const { return m_radios.at(separator); }
    wxChoice* GetEncodingList() const { return m_encodingList; }
    wxButton* GetApplyButton() const { return m_apply; }

private:
    void AdjustLayout();
    void OnRadio(wxCommandEvent& event);
    void OnApply(wxCommandEvent& event);

    DocumentReadOptions m_options;
    int m_spacing = 8;
    wxStaticBox* m_group = nullptr;
    std::array<wxRadioButton*, 3> m_radios{};
    wxStaticText* m_label = nullptr;
    wxChoice* m_encodingList = nullptr;
    wxButton* m_apply = nullptr;
    ApplyHandler m_applyHandler;
};
