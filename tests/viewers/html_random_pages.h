#pragma once
// Seeded random CtrlTexts and converter inputs: every code, texts with
// markup characters, blanks and letters of the data code page.

#include <random>
#include <string>

#include "datastore/ctrl_text.h"
#include "viewers/ctrl_html.h"

namespace html_random {

inline std::string RandomRun(std::mt19937& rng, size_t maxLength)
{
    static const std::string alphabet = "aAbz09   &<>\"';#.:/@\x7F\x82\x87\xA0\xA7\xE1";
    std::uniform_int_distribution<size_t> len(1, maxLength);
    std::uniform_int_distribution<size_t> pick(0, alphabet.size() - 1);
    std::string s;
    for (size_t i = len(rng); i > 0; --i)
        s.push_back(alphabet[pick(rng)]);
    return s;
}

inline std::string RandomString6(std::mt19937& rng)
{
    static const std::string pool = "AB./\\\"@ -&<>_1";
    std::uniform_int_distribution<int> len(0, 7);
    std::uniform_int_distribution<size_t> pick(0, pool.size() - 1);
    std::string s;
    for (int i = len(rng); i > 0; --i)
        s.push_back(pool[pick(rng)]);
    return s;
}

inline std::string RandomCtrlText(std::mt19937& rng)
{
    CtrlTextWriter w;
    std::uniform_int_distribution<int> items(1, 70);
    std::uniform_int_distribution<int> kind(0, 99);
    std::uniform_int_distribution<int> code(0, 31);
    std::uniform_int_distribution<int> v12(0, 4095);
    std::uniform_int_distribution<int> small(0, 40);
    for (int n = items(rng); n > 0; --n) {
        const int k = kind(rng);
        if (k < 35) {
            w.Text(RandomRun(rng, 12));
            continue;
        }
        int c = code(rng);
        if (c == 0 && kind(rng) < 80)
            c = 14;
        if (c < 16) {
            w.Code(static_cast<uint8_t>(c));
            continue;
        }
        switch (c) {
        case 18: w.Code(18, {small(rng) % 24}); break;
        case 19: w.Code(19, {kind(rng) * 2}); break;
        case 20: w.Code(20, {v12(rng) & 0x17F}); break;
        case 24: {
            std::vector<int> values{kind(rng) < 20 ? 160 : v12(rng), kind(rng) < 20 ? 145 : v12(rng)};
            for (int i = small(rng) % 5; i > 0; --i)
                values.push_back(kind(rng) < 10 ? 0 : small(rng) * 7);
            w.Code(24, values);
            break;
        }
        case 25: w.CodeString(25, RandomString6(rng), {v12(rng), v12(rng) % 300}); break;
        case 26: {
            const int t = kind(rng);
            w.CodeString(26, t < 30 ? "@" : t < 60 ? "/" : RandomString6(rng));
            break;
        }
        case 28: w.CodeString(28, RandomString6(rng)); break;
        case 31: w.Code(31, {kind(rng) < 80 ? kind(rng) % 2 : v12(rng)}); break;
        default: w.Code(static_cast<uint8_t>(c), {v12(rng)}); break;
        }
    }
    return w.Take();
}

inline HtmlConversionInput RandomInput(std::mt19937& rng)
{
    static const std::string kinds = "12ABEIKLMRSTX";
    std::uniform_int_distribution<int> p(0, 99);
    HtmlConversionInput in;
    in.kind = kinds[static_cast<size_t>(p(rng)) % kinds.size()];
    in.spcLayout = p(rng) < 50;
    in.filter.showAll = p(rng) < 40;
    in.filter.invert = p(rng) < 30;
    for (int i = p(rng) % 6; i > 0; --i)
        in.filter.selection.push_back(static_cast<char>(p(rng) % 0x9A));
    in.filter.requestedSection = static_cast<uint8_t>(p(rng) < 50 ? kNoRequestedSection : p(rng));
    if (p(rng) < 30)
        in.filter.visibility = RandomRun(rng, 20);
    for (auto& term : in.searchTerms)
        if (p(rng) < 30)
            term = RandomRun(rng, 3);
    in.recordName = p(rng) < 20 ? "CHab" : "Ab-_9";
    in.pictureBase = "https://host/p/";
    in.zkr1 = RandomRun(rng, 100);
    in.zkr2 = RandomRun(rng, 100);
    in.sectionTitle = [](int n) { return std::string("<T&\"") + std::to_string(n); };
    if (in.kind == 'M' || in.kind == 'T')
        in.presetTabs = {{"A", "1"}, {"B", "2"}};
    return in;
}

} // namespace html_random
