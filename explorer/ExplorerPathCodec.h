// File names as the file system has them (bytes) and as the explorer shows and stores them
// (UTF-16). A byte that is not part of valid UTF-8 becomes the private-use character
// U+100000 + byte, as wxWidgets' UTF-8 conversion with MAP_INVALID_UTF8_TO_PUA does, so that
// every name comes back byte for byte.
#pragma once

#include <string>

std::u16string ExplorerPathFromNative(const std::string& native);
std::string ExplorerPathToNative(const std::u16string& path);
