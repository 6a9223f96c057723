#pragma once
// The markup of rich-text sources (demo documents, the Huffman samples, the
// help sources): UTF-8 text with the codes written in braces.
//
//   {n}            the one-byte code n (0..15)
//   {n:v}          code n (16..31) with one 12-bit value
//   {n:v1,v2,...}  with several values
//   {n:"TEXT"}     with a 6-bit string parameter (characters 32..95), which
//                  may follow values: {25:300,200,"PAR1"}
//   {{             a literal "{"
//
// Text goes into the data code page (Kamenický); a character it cannot carry
// and a control character are errors.  The one parser of this markup.

#include <functional>
#include <string>
#include <string_view>

#include "datastore/ctrl_text.h"

// Appends one piece of markup (no line structure) to `out`.  False with the
// reason in `error` (what was appended before the fault stays).
// `shorthand`, when given, is asked first for every brace item that is not a
// number ("b", "/" ...): it appends the item and returns true, or returns
// false to have it refused.
using CtrlMarkupShorthand = std::function<bool(std::string_view name, CtrlTextWriter& out)>;
bool AppendCtrlMarkup(std::string_view utf8, CtrlTextWriter& out, std::string& error,
                      const CtrlMarkupShorthand& shorthand = {});

// The lines of a source: a UTF-8 byte-order mark is skipped, line ends (LF
// or CR LF) dropped, lines starting with "//" (comments) left out; `each`
// gets the 1-based line number.
void ForEachSourceLine(std::string_view utf8,
                       const std::function<void(int line, std::string_view text)>& each);

// A whole source: a UTF-8 byte-order mark is skipped, lines starting with
// "//" and empty lines are dropped, line ends too.  A line starting with "@"
// goes to `directive`, which returns false (with its reason) for one it does
// not know; without one every such line is an error.  Each error is reported
// as (line, reason); the result is false after any.
using CtrlMarkupDirective = std::function<bool(std::string_view line, std::string& error)>;
using CtrlMarkupErrors = std::function<void(int line, const std::string& reason)>;
bool CtrlMarkupToText(std::string_view utf8, std::string& out, const CtrlMarkupErrors& onError,
                      const CtrlMarkupDirective& directive = {});
