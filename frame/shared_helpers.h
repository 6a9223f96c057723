#pragma once
// Small helpers shared by the whole program: messages, formatting, encoders.

#include <string>
#include <string_view>

// Two upper-case hexadecimal digits per byte, high nibble first.
std::string HexOfBytes(std::string_view bytes);

// The bytes of a hexadecimal text, two digits per byte, either letter case.
// A trailing odd digit is ignored.  A character that is not a hexadecimal
// digit makes the whole text invalid: the result is false and `out` is left
// empty, so callers can keep their previous value.
bool BytesOfHex(std::string_view hex, std::string& out);
