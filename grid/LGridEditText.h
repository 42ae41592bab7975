// Line breaks of the in-place editor's text. Box texts carry CR LF between lines; the text
// control holds plain LF, as GTK does.
#pragma once

#include <string>

// Every line break (CR LF, lone LF, lone CR) becomes CR LF.
std::u16string GridUnifyLineBreaks(const std::u16string& text);
// Every line break becomes a lone LF: the form the editor control holds.
std::u16string GridToEditorLineBreaks(const std::u16string& text);
