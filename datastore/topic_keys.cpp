#include "datastore/topic_keys.h"

#include <vector>

#include "datastore/kamenici.h"

int TopicKeyDigit(unsigned char c)
{
    if (c >= '0' && c <= '9')
        return 2 + (c - '0');
    if (c >= 'A' && c <= 'Z')
        return 12 + (c - 'A');
    if (c >= 'a' && c <= 'z')
        return 12 + (c - 'a');
    switch (c) {
    case '!':
    case '#':
    case '$':
    case '%':
    case '&':
    case '*':
    case '/':
    case '?':
    case '\\':
    case '^':
    case '_': return 1;
    default: return 0;
    }
}

TopicKey PackTopicKey(std::string_view abbreviation)
{
    TopicKey key = 0;
    for (size_t i = 0; i < 6; ++i) {
        const unsigned char c = i < abbreviation.size() ? static_cast<unsigned char>(abbreviation[i]) : 0;
        key = key * 38 + static_cast<TopicKey>(TopicKeyDigit(c));
    }
    return key;
}

namespace {

bool IsCapital(char c)
{
    return c >= 'A' && c <= 'Z';
}

bool IsDigitChar(char c)
{
    return c >= '0' && c <= '9';
}

std::string PadToSix(std::string s)
{
    if (s.size() > 6)
        s.resize(6);
    while (s.size() < 6)
        s.push_back('_');
    return s;
}

} // namespace

std::string AbbreviateTopic(std::string_view title)
{
    const std::string folded = KamFoldUpper(title);
    if (folded.size() <= 6)
        return PadToSix(folded);

    std::vector<std::string> words;
    size_t pos = 0;
    while (pos < folded.size()) {
        while (pos < folded.size() && folded[pos] == ' ')
            ++pos;
        const size_t end = folded.find(' ', pos);
        const size_t stop = end == std::string::npos ? folded.size() : end;
        if (stop > pos)
            words.push_back(folded.substr(pos, stop - pos));
        pos = stop;
    }
    std::vector<std::string> kept;
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& w = words[i];
        const bool last = i + 1 == words.size();
        if (last && IsDigitChar(w[0])) {
            kept.push_back(w);
            continue;
        }
        if (w.size() == 1 || !IsCapital(w[0]))
            continue;
        kept.push_back(w);
    }

    // How many leading characters each word gives, by the number of words.
    static const std::vector<std::vector<size_t>> kShares = {
        {}, {6}, {3, 3}, {2, 2, 2}, {2, 1, 1, 2}, {1, 1, 1, 1, 2},
    };
    std::string out;
    if (kept.empty()) {
        for (char c : folded)
            if (c != ' ' && out.size() < 6)
                out.push_back(c);
    } else if (kept.size() >= 6) {
        for (size_t i = 0; i < 6; ++i)
            out.push_back(kept[i][0]);
    } else {
        const std::vector<size_t>& share = kShares[kept.size()];
        for (size_t i = 0; i < kept.size(); ++i)
            out += kept[i].substr(0, share[i]);
    }
    return PadToSix(out);
}
