#pragma once
// Something at a path that is no regular file and that a program must not
// read as one or replace: a named pipe on POSIX, a folder on Windows (which
// has no pipes in its file systems).

#include <string>

namespace mirvok::test {

bool MakeNonRegularFile(const std::string& path);

}  // namespace mirvok::test
