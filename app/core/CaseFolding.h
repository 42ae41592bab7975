// The case folding of find next with match case off: simple per-character lower-casing (u_tolower,
// one code point to one), so that a folded text is never longer than the text. The Row details
// pane should fold with it too, so that the hit find next reports is the one the pane selects.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Appends the lower-cased text to out.
void AppendLowerCase(const char16_t* text, size_t length, std::u16string& out);
std::u16string ToLowerCase(const std::u16string& text);

// Sets, in a bitmap of 65,536 bits (8,192 bytes), every unit that a folded text may hold target
// for: the units that lower-case to it, and those the per-unit table does not settle (surrogates,
// NUL, units whose lower case lies outside the basic plane). A field without any of them cannot
// hold a needle that starts with target.
void MarkUnitsFoldingTo(char16_t target, std::vector<uint8_t>& bitmap);
