#pragma once
// Bytes as text: hexadecimal digits and Base64url.

#include <string>
#include <string_view>

// Two upper-case hexadecimal digits per byte, high nibble first.
std::string HexOfBytes(std::string_view bytes);

// The bytes of a hexadecimal text, two digits per byte, either letter case.
// A trailing odd digit is ignored.  A character that is not a hexadecimal
// digit makes the whole text invalid: the result is false and `out` is left
// empty, so callers can keep their previous value.
bool BytesOfHex(std::string_view hex, std::string& out);

// Base64url (RFC 4648: "A"-"Z", "a"-"z", "0"-"9", "-", "_") without padding.
std::string Base64UrlEncode(std::string_view bytes);
// The bytes of such a text; a character outside the alphabet makes it
// invalid (false).  Bits left over after the last whole byte are dropped.
bool Base64UrlDecode(std::string_view text, std::string& out);
