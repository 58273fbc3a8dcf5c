#include "NonRegularFile.h"

#include <sys/stat.h>

namespace mirvok::test {

bool MakeNonRegularFile(const std::string& path) {
    return ::mkfifo(path.c_str(), 0600) == 0;
}

}  // namespace mirvok::test
