#pragma once
// Huffman tables whose codes can be written down by hand, shared by the
// packed-text decoder tests and the encoder tests.

#include <algorithm>
#include <cstdint>

#include "datastore/packed_text.h"

namespace test_support {

// Tree 0 is a chain in which leaf 142 + j is j one-bits and a zero (leaf
// 255: 113 one-bits); tree 1 is the same chain with the bits inverted and
// decodes after byte 1 only; the other trees copy tree 0.  The map sends
// leaf 143 + b to byte b (b < 113), the short escape v to 241 + v and the
// long escape v to 113 + v.
inline HuffTables ChainTables()
{
    HuffTables t;
    t.selector.fill(0);
    t.selector[1] = 1;
    for (int tree = 0; tree < kHuffTrees; ++tree) {
        uint8_t* nodes = t.trees.data() + tree * kHuffTreeBytes;
        const int leafBit = tree == 1 ? 1 : 0;
        for (int i = 0; i < 113; ++i) {
            nodes[2 * i + leafBit] = static_cast<uint8_t>(142 + i);
            nodes[2 * i + 1 - leafBit] = static_cast<uint8_t>(i < 112 ? i + 1 : 255);
        }
    }
    for (int i = 0; i < 256; ++i)
        t.map[i] = static_cast<uint8_t>((i + 113) & 0xFF);
    return t;
}

} // namespace test_support
