// Puts a text on the clipboard as Unicode text. A clipboard that cannot be opened is left alone
// without a message. GUI thread only.
#pragma once

#include <wx/string.h>

void CopyTextToClipboard(const wxString& text);
