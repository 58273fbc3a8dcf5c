#pragma once
// Looking a typed text up as a file name, as the file box and the download
// start do: the text may end in a pattern with "*" and "?", and the first
// ordinary file that matches is found.

#include <string>

namespace mirvok {

struct FileLookup {
    enum class Outcome { Found, NotFound, Failed };
    Outcome outcome = Outcome::NotFound;
    std::string name;  // the found file's name without its folder
};

// Normal files only (no folders). Wildcards count only in the last part of
// the path and match letters in either case; of several matches the first by
// name is taken. A folder that does not exist gives NotFound; one that
// cannot be read gives Failed.
FileLookup LookUpFile(const std::string& text);

// Whether an ordinary file is found under the text, wildcards included.
bool FileExists(const std::string& text);

}  // namespace mirvok
