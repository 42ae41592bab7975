// UTF-8 ⇄ UTF-16 for texts that cross the reader's boundary (paths, system messages, log lines).
// Ill-formed input becomes U+FFFD; neither direction fails.
#pragma once

#include <string>

std::u16string Utf8ToUtf16(const std::string& text);
std::string Utf16ToUtf8(const std::u16string& text);
