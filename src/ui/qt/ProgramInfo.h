#pragma once
// What `mirvok --help` and `mirvok --version` print instead of opening the
// window. The window's command line is otherwise one path, blanks included,
// so these words count only when they stand alone.

#include <string>
#include <vector>

namespace mirvok {

enum class InfoRequest { None, Help, Version };

// `args` without the program name.
InfoRequest InfoRequestOf(const std::vector<std::string>& args);

// The usage text, naming the settings file the window would use.
std::string WindowHelpText(const std::string& iniPath);

// "mirvok 9.0.1".
std::string WindowVersionText();

}  // namespace mirvok
