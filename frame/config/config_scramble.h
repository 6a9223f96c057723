#pragma once
// The scrambled form of the proxy settings in the configuration file.

#include <string>
#include <string_view>

// The proxy values' scrambled form: letters, digits, "-" and "_" only, keyed
// by a text (the executable's name and the installation base).  A text that
// was not scrambled under the same key reads as empty.
std::string ScrambleSetting(std::string_view plain, std::string_view key);
std::string UnscrambleSetting(std::string_view scrambled, std::string_view key);
// The key of an installation: the executable's name (lower case, without
// ".exe") and the folder above the program folder.
std::string ScrambleKeyFor(std::string_view executableName, std::string_view programFolder);
