// The Row details pane's search, apart from the window: finds a text in the pane's UTF-8 text as
// find next finds it in the document's fields. With match case off both sides are lower-cased
// as find next lower-cases them (per character, beyond Latin too); the hit is returned as the
// byte range the pane selects.
#pragma once

#include <cstddef>
#include <string_view>

struct RowDetailsHit
{
    size_t start = 0; // byte offsets into the searched text
    size_t end = 0;
};

// The first occurrence of needle (UTF-8) in text (UTF-8); false when the needle is empty or does
// not occur. A byte that is not part of a well-formed UTF-8 sequence stands for itself as U+FFFD.
bool FindInRowDetailsText(std::string_view text, std::string_view needle, bool matchCase, RowDetailsHit& hit);
