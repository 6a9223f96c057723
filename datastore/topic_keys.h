#pragma once
// Topic keys of the help files and the disease classification: a name of up
// to six characters packed in base 38 into 32 bits, and the six-character
// abbreviation of a longer title.  Pure code-page functions, shared by the
// program and the writers of the help and classification files.
//
// Texts are in the data code page (Kamenický).

#include <cstdint>
#include <string>
#include <string_view>

using TopicKey = uint32_t;

// The largest key: 38^6 - 1.
constexpr TopicKey kMaxTopicKey = 3010936383u;

// The digit 0..37 of one character of an abbreviation: "!#$%&*/?\^_" 1,
// "0"-"9" 2-11, letters of either case 12-37, anything else 0.
int TopicKeyDigit(unsigned char c);
// Whether a character counts in a key (its digit is not 0).
inline bool IsTopicKeyCharacter(unsigned char c)
{
    return TopicKeyDigit(c) != 0;
}

// The first six characters (a shorter abbreviation padded with bytes 0), the
// first character most significant.  Case does not count.
TopicKey PackTopicKey(std::string_view abbreviation);

// Six characters naming a title: folded to capitals without diacritics; a
// title of up to six characters taken whole, a longer one by the initial
// characters of its words (one-letter words and words not starting with a
// letter dropped, a last word starting with a digit kept); "_" pads the
// result to six.  A title that leaves no word gives its first six non-blank
// characters.
std::string AbbreviateTopic(std::string_view title);
