#include "Console.h"

#include <unistd.h>

namespace mirvok::cli {

void PrepareConsole() {}

bool StandardErrorIsTerminal() {
    return isatty(STDERR_FILENO) != 0;
}

}  // namespace mirvok::cli
