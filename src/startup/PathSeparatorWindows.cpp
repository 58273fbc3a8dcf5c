#include "PathSeparator.h"

namespace mirvok {

char PathSeparator() {
    return '\\';
}

const char* PathSeparators() {
    return "\\/";
}

}  // namespace mirvok
