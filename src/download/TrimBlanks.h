#pragma once
// Paths and lines are compared without the blanks around them (spaces only:
// a tab or other white space is part of the text).

#include <string>

namespace mirvok {

std::string TrimBlanks(const std::string& text);

}  // namespace mirvok
