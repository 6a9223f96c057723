#pragma once
// A table-driven decoder of packed texts that gives exactly HuffDecode's
// output, only faster: instead of walking a code tree bit by bit it looks up
// the next kTableBits bits of the stream in a table per tree, which names the
// symbol and its code length at once.  Codes longer than the table, escapes
// and reserved leaves take a slower path; the block rule, the stop at the end
// of the input and the overrun of the in-place decoding are reproduced, so a
// damaged text comes out as HuffDecode leaves it.
//
// The tables are built once from HuffTables and never change: one decoder may
// serve any number of threads at once.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "datastore/packed_text.h"

class HuffTableDecoder {
public:
    static constexpr int kTableBits = 10;
    // Bits of the lookup that gives up to kMultiSymbols symbols at once.
    static constexpr int kMultiBits = 10;
    static constexpr int kMultiSymbols = 4;

    explicit HuffTableDecoder(const HuffTables& tables);

    // Whether this decoder was built from `tables`.
    bool BuiltFrom(const HuffTables& tables) const;

    // As UnpackRecordText with the same arguments and result.
    int Unpack(std::string_view packed, uint32_t packedLength, uint32_t textLength, std::string& text,
               UnpackLengths lengths = UnpackLengths::PackedWithinText) const;

    // The decoding itself, as HuffDecode over a buffer whose packed bytes
    // start at `inputPos` (got bytes of a block of packedLength) and whose
    // output starts at 0 with context 0.  Writes to out (at least inputPos +
    // got bytes) and returns the output count.
    int Decode(const uint8_t* packed, int got, int packedLength, int inputPos, uint8_t* out) const;

private:
    // Entry: bits 0-7 the symbol (Sym), the leaf (Escape, Stop) or the node
    // reached after kTableBits bits (Long); bits 8-11 the bits taken; bits
    // 12-13 the kind.
    enum Kind : uint16_t { Sym = 0, Escape = 1, Long = 2, Stop = 3 };
    void BuildMulti();

    std::vector<uint16_t> table_; // kHuffTrees x 2^kTableBits
    // Per tree and kMultiBits bits: bits 0-5 the bits the symbols take, 8-10
    // how many (0: take the full step), 16-31 the tree after them shifted by
    // kMultiBits (the next lookup's base), 32-63 the symbols, first lowest.
    std::vector<uint64_t> multi_;
    std::array<uint8_t, 256> selector_{};
    std::array<uint8_t, kHuffTrees * kHuffTreeBytes> trees_{};
    std::array<uint8_t, 256> map_{};
};

// The decoder of the program's tables.
const HuffTableDecoder& ProgramHuffTableDecoder();

// The decoder of `tables`: the program's for the program's tables, else one
// built for them and kept per thread until other tables are asked for (only
// tests and the table maker use other tables).  Valid until the thread's
// next call.
const HuffTableDecoder& HuffTableDecoderFor(const HuffTables& tables);
