#pragma once
// CtrlText: the program's rich-text byte string, and its one tokenizer and
// one writer.
//
// A CtrlText is a counted byte string of items:
//   - a run of text bytes 32..255 (Kamenický; 127 is a hard blank),
//   - a one-byte code 0..15,
//   - a code 16..31 followed by parameter pairs.  A pair is a low byte L and
//     a high byte H holding the 12-bit value L + 256 * (H mod 16); a high
//     byte below 16 means another pair follows, so the last pair's high byte
//     is 16..31.
// String parameters are runs of pairs holding two 6-bit characters each
// (Pack6 / Unpack6 in datastore/packed_text.h).
//
// The tokenizer reports syntax only: what a code means belongs to its
// consumer (layout, HTML, help, classification).  It reports a code 0 like
// any other code and goes on; stopping there is the consumer's choice.  A
// code whose pairs run past the end of the text is reported as one
// truncated item and ends the walk, so nothing reads past the buffer.
//
// No global state: any number of tokenizers and writers may run at once.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

enum class CtrlItemKind : uint8_t {
    Text,   // a run of bytes 32..255
    Code,   // a one-byte code 0..15
    Params, // a code 16..31 with its pairs
};

struct CtrlItem {
    CtrlItemKind kind = CtrlItemKind::Text;
    int offset = 0;         // of the item's first byte in the text
    int length = 0;         // bytes, the code byte and all pairs included
    uint8_t code = 0;       // the code byte (0 for text runs)
    bool truncated = false; // a Params item whose pairs run past the end

    bool IsText() const { return kind == CtrlItemKind::Text; }
    bool IsCode(uint8_t c) const { return kind != CtrlItemKind::Text && code == c; }
    int End() const { return offset + length; }
    // Whole pairs after the code byte (0 for text and one-byte codes).
    int PairCount() const { return kind == CtrlItemKind::Params ? (length - 1) / 2 : 0; }
};

// Walks a text item by item.
class CtrlTokenizer {
public:
    explicit CtrlTokenizer(std::string_view text, int start = 0);

    // The next item; false at the end of the text or after a truncated item.
    bool Next(CtrlItem& item);
    // The item Next would return, without moving on; false where Next would be.
    bool Peek(CtrlItem& item) const;
    // Where the next item starts.
    int Position() const { return pos_; }
    bool AtEnd() const { return pos_ >= static_cast<int>(text_.size()) || stopped_; }
    std::string_view Text() const { return text_; }

private:
    std::string_view text_;
    int pos_ = 0;
    bool stopped_ = false;
};

// The item starting at `pos` (false when pos is not inside the text).
bool CtrlItemAt(std::string_view text, int pos, CtrlItem& item);

// The 12-bit value of pair `index` (0-based) of a Params item; 0 for a pair
// the item does not hold whole.
int CtrlPairValue(std::string_view text, const CtrlItem& item, int index);
// All whole pairs' values.
std::vector<int> CtrlPairValues(std::string_view text, const CtrlItem& item);
// The string parameter that starts at pair `firstPair` of a Params item
// (codes 26 and 28: pair 0; code 25: pair 2), read within the item only.
std::string CtrlStringParam(std::string_view text, const CtrlItem& item, int firstPair = 0);

// The bytes of a text up to its first code 0 found item by item (a 0 inside
// a parameter pair does not end it), without that 0.
std::string_view CtrlTextUpToEnd(std::string_view text);
// The offset just after the last whole item of `text`: a cut there never
// splits a code.  With `limit`, the last whole item ending at or before it.
int CtrlLastWholeItemEnd(std::string_view text, int limit = -1);

// Appends items to a byte string.  Values are masked to 12 bits; a string
// parameter carries the bytes 32..95 (others are folded into that range,
// as the 6-bit packing does).
class CtrlTextWriter {
public:
    CtrlTextWriter() = default;
    explicit CtrlTextWriter(std::string initial) : out_(std::move(initial)) {}

    // Text bytes exactly as given (text-table values, composed pieces).
    CtrlTextWriter& Text(std::string_view bytes);
    // A data field: bytes below 32 become blanks, so a damaged field can
    // neither end the text nor start a code.
    CtrlTextWriter& Field(std::string_view bytes);
    // A one-byte code 0..15.
    CtrlTextWriter& Code(uint8_t code);
    // A code 16..31 with at least one 12-bit value.
    CtrlTextWriter& Code(uint8_t code, std::initializer_list<int> values);
    CtrlTextWriter& Code(uint8_t code, const std::vector<int>& values);
    // A code 16..31 with `values` first, then the string parameter (an empty
    // string is written as one pair that reads back empty).
    CtrlTextWriter& CodeString(uint8_t code, std::string_view text, std::initializer_list<int> values = {});
    CtrlTextWriter& CodeString(uint8_t code, std::string_view text, const std::vector<int>& values);
    // Bytes that are already CtrlText (a stored text, another writer's output).
    CtrlTextWriter& Raw(std::string_view bytes);

    const std::string& Bytes() const { return out_; }
    std::string& Buffer() { return out_; }
    std::string Take() { return std::move(out_); }
    size_t Size() const { return out_.size(); }

private:
    std::string out_;
};

// The bytes of one code with values, as the writer appends them.
std::string CtrlCodeBytes(uint8_t code, std::initializer_list<int> values);
