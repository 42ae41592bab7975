#include "Clipboard.h"

#include <wx/clipbrd.h>
#include <wx/dataobj.h>

void CopyTextToClipboard(const wxString& text)
{
    if (!wxTheClipboard->Open())
        return;
    wxTheClipboard->Clear();
    wxTheClipboard->SetData(new wxTextDataObject(text));
    wxTheClipboard->Close();
}
