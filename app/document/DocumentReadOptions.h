// The read options of one document: field separator and encoding, exchanged by value between the
// document and the Properties pane.
#pragma once

#include <cstdint>

struct DocumentReadOptions
{
    // SeparatorKind: 0 semicolon, 1 comma, 2 tab; any other value reads as semicolon.
    int32_t separator = 0;
    // Row of the encoding table whose code page decodes the file; 0 is "UTF-8".
    int32_t encodingIndex = 0;

    bool operator==(const DocumentReadOptions&) const = default;
};
