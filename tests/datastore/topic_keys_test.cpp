// Topic keys of the help and classification files: the base-38 packing and
// the six-character abbreviation of a title.

#include <gtest/gtest.h>

#include <string>

#include "datastore/kamenici.h"
#include "datastore/topic_keys.h"

namespace {

constexpr uint64_t P(int d1, int d2, int d3, int d4, int d5, int d6)
{
    uint64_t k = 0;
    for (int d : {d1, d2, d3, d4, d5, d6})
        k = k * 38 + static_cast<uint64_t>(d);
    return k;
}

std::string Kam(const char* utf8)
{
    return QStringToKam(QString::fromUtf8(utf8));
}

TEST(HelpTopicKey, PacksSixCharactersInBase38)
{
    struct Case {
        const char* abbreviation;
        uint64_t key;
    };
    for (const Case c : {Case{"OBSAH_", P(26, 13, 30, 12, 19, 1)}, Case{"obsah_", P(26, 13, 30, 12, 19, 1)},
                         Case{"AB", P(12, 13, 0, 0, 0, 0)}, Case{"", 0}, Case{"zzzzzz", kMaxTopicKey},
                         Case{"!#$%&*", P(1, 1, 1, 1, 1, 1)}, Case{"/?\\^_0", P(1, 1, 1, 1, 1, 2)},
                         Case{"A.B", P(12, 0, 13, 0, 0, 0)}, // a dot counts as padding
                         Case{"VybLekXYZ", P(33, 36, 13, 23, 16, 22)}}) {
        EXPECT_EQ(PackTopicKey(c.abbreviation), c.key) << c.abbreviation;
    }
    EXPECT_EQ(kMaxTopicKey, 3010936383u);
}

TEST(HelpTopicKey, AbbreviatesTitles)
{
    struct Case {
        const char* title; // UTF-8
        const char* abbreviation;
    };
    for (const Case c : {
             Case{"Davkovani", "DAVKOV"},
             Case{"Leky a potraviny", "LEKPOT"},
             Case{"Obsah", "OBSAH_"},
             Case{"Léky a potraviny", "LEKPOT"},          // diacritics fold away
             Case{"Seznam cen léků", "SECELE"},           // 2 + 2 + 2
             Case{"Jak číst tuto dokumentaci", "JACTDO"}, // 2 + 1 + 1 + 2
             Case{"Jeden dva tři čtyři pět", "JDTCPE"},   // 1 + 1 + 1 + 1 + 2
             Case{"Aa Bb Cc Dd Ee Ff Gg", "ABCDEF"},      // six words or more: initials
             Case{"Verze 2", "VER2__"},                   // a last word of a digit stays
             Case{"(poznámka) Text", "TEXT__"},           // a word not starting with a letter goes
             Case{"Anti-agregace", "ANTAGR"},             // a hyphen folds to a blank
             Case{"A B C D E F G", "ABCDEF"},             // no word left: the first six characters
             Case{"x", "X_____"},
         }) {
        EXPECT_EQ(AbbreviateTopic(Kam(c.title)), c.abbreviation) << c.title;
    }
}

} // namespace
