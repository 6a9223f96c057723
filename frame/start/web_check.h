#pragma once
// The web check pages of section "Dupl" of the UI texts: the duplicity check
// ("dup") and the two interaction checks ("kik", "kid").  Key kind + "1" is
// the page address (cut before its first "?"), key kind + "2" the start of
// the query that carries a value ("!"-texts mean none).

#include <string>
#include <string_view>

// Opens the page of `kind`.  Browser mode opens the bare address and shows
// "Chyby.NoBrowser" with the result when that fails; direct mode opens the
// address with the query and `extra` (data code page, percent-encoded as
// UTF-8) appended.  A missing or empty address is never opened: the
// "Chyby.NoBrowser" box is shown and the result is 2.  Returns the shell
// result (above 32 means opened).
int OpenWebCheck(bool browserMode, std::string_view kind, std::string_view extra);

// The address direct mode opens; empty when the kind has no address.
std::string WebCheckAddress(std::string_view kind, std::string_view extra);
