#pragma once
// Byte strings written down as lists of numbers, for files laid out by hand.

#include <initializer_list>
#include <string>

namespace test_support {

inline std::string Bytes(std::initializer_list<int> bytes)
{
    std::string s;
    for (int b : bytes)
        s.push_back(static_cast<char>(b));
    return s;
}

} // namespace test_support
