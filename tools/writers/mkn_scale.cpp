#include "writers/mkn_scale.h"

#include <string_view>
#include <vector>

#include "datastore/ctrl_text.h"
#include "writers/mkn_writer.h"

namespace {

class Rng {
public:
    explicit Rng(uint64_t seed) : s_(seed * 0x9E3779B97F4A7C15ull + 7) {}
    uint32_t Below(uint32_t n)
    {
        s_ ^= s_ << 13;
        s_ ^= s_ >> 7;
        s_ ^= s_ << 17;
        return n ? static_cast<uint32_t>(s_ % n) : 0;
    }

private:
    uint64_t s_;
};

// Words of disease names, data code page (plain ASCII keeps the generator
// free of code-page questions; diacritics are the demo set's business).
constexpr std::string_view kWords[] = {
    "akutni",      "chronicka", "infekce", "zanet",    "novotvar",    "zhoubny",     "nezhoubny",
    "porucha",     "srdce",     "plic",    "jater",    "ledvin",      "zaludku",     "strev",
    "kuze",        "kosti",     "krve",    "mozku",    "nervu",       "cev",         "syndrom",
    "horecka",     "bolest",    "otok",    "vred",     "krvaceni",    "selhani",     "nedostatecnost",
    "hypertenze",  "diabetes",  "astma",   "alergie",  "bakterialni", "virova",      "plisnova",
    "parazitarni", "vrozena",   "ziskana", "primarni", "sekundarni",  "levostranna", "pravostranna",
    "oboustranna", "horni",     "dolni",   "vnitrni",  "zevni",       "jina",        "blize",
    "neurcena",    "zarazena",  "jinde",   "cholera",  "tyfus",       "chripka",     "pneumonie",
};

std::string Word(Rng& rng)
{
    return std::string(kWords[rng.Below(static_cast<uint32_t>(std::size(kWords)))]);
}

std::string Phrase(Rng& rng, int words)
{
    std::string s;
    for (int i = 0; i < words; ++i) {
        if (i)
            s.push_back(' ');
        s += Word(rng);
    }
    if (!s.empty() && s[0] >= 'a' && s[0] <= 'z')
        s[0] = static_cast<char>(s[0] - 32);
    return s;
}

std::string Code3(int letter, int number)
{
    std::string c(1, static_cast<char>('A' + letter));
    c.push_back(static_cast<char>('0' + number / 10));
    c.push_back(static_cast<char>('0' + number % 10));
    return c;
}

} // namespace

MknScaleSet MakeScaleClassification(uint64_t seed, int entries)
{
    Rng rng(seed + 34);
    std::vector<MknSourceEntry> out;
    std::vector<std::string> words;
    words.push_back("MKN-10 Synteticka klasifikace pro mereni");
    const auto add = [&](const std::string& code, std::string text) {
        out.push_back({code, std::move(text), code});
    };
    add("MKN10", CtrlTextWriter().Code(18, {9}).Text("Synteticka klasifikace nemoci").Take());
    {
        CtrlTextWriter start;
        start.Code(18, {9}).Text("Klasifikace nemoci");
        for (int letter = 0; letter < 26; ++letter)
            start.Code(14).Text(Code3(letter, 0) + "-" + Code3(letter, 99) + " " + Phrase(rng, 4));
        add("ZaDTCa", start.Take());
    }
    // Chapters by letter with their hundred categories, each with
    // subcategories, about 7 lines of the word list per category; then
    // groups of two to six categories, keyed by range, up to the count.
    int made = 2;
    for (int letter = 0; letter < 26 && made < entries; ++letter) {
        CtrlTextWriter ch;
        ch.Code(18, {9}).Text("Kapitola " + Code3(letter, 0) + "-" + Code3(letter, 99));
        for (int g = 0; g < 10; ++g)
            ch.Code(14).Text(Code3(letter, g * 10) + "-" + Code3(letter, g * 10 + 9) + " " + Phrase(rng, 3));
        add(Code3(letter, 0) + Code3(letter, 99), ch.Take());
        ++made;
        words.push_back(Code3(letter, 0) + "-" + Code3(letter, 99) + " " + Phrase(rng, 4));
        for (int c = 0; c < 100 && made < entries; ++c) {
            const std::string code = Code3(letter, c);
            const int g = c / 10 * 10;
            CtrlTextWriter cat;
            const std::string title = Phrase(rng, 4);
            cat.Code(18, {11}).Text(code + " " + title);
            cat.Code(14).Text("Skupina " + Code3(letter, g) + "-" + Code3(letter, g + 9));
            words.push_back(code + " " + title);
            const int subs = 4 + static_cast<int>(rng.Below(6));
            for (int s = 0; s < subs; ++s) {
                const std::string sub = code + "." + std::to_string(s == subs - 1 ? 9 : s);
                const std::string name = Phrase(rng, 5 + static_cast<int>(rng.Below(6)));
                cat.Code(14).Text(sub + " " + name).Code(20, {2}).Text(" " + Phrase(rng, 3)).Code(20, {0});
                words.push_back(sub + " " + name);
                if (rng.Below(3) == 0) {
                    words.push_back("Zahrnuje:");
                    for (int k = 0; k < 2; ++k) {
                        std::string more = Phrase(rng, 6);
                        more[0] = static_cast<char>(more[0] + 32);
                        words.push_back(more);
                    }
                }
            }
            add(code, cat.Take());
            ++made;
        }
    }
    const int groups = entries - 200; // room for the morphology groups
    for (int width = 1; width <= 6 && made < groups; ++width)
        for (int letter = 0; letter < 26 && made < groups; ++letter)
            for (int n = 0; n + width < 100 && made < groups; ++n) {
                const std::string first = Code3(letter, n);
                const std::string last = Code3(letter, n + width);
                CtrlTextWriter gr;
                const std::string title = Phrase(rng, 3);
                gr.Code(18, {10}).Text(title + " (" + first + "-" + last + ")");
                gr.Code(14).Text("Kapitola " + Code3(letter, 0) + "-" + Code3(letter, 99));
                for (int c = n; c <= n + width; ++c)
                    gr.Code(14).Text(Code3(letter, c) + " " + Phrase(rng, 4));
                add(first + last, gr.Take());
                ++made;
                words.push_back(first + "-" + last + " " + title);
            }
    // Morphology groups fill up to the count.
    for (int m = 8000; made < entries && m < 10000; m += 10) {
        const std::string key = std::to_string(m / 10) + "A";
        CtrlTextWriter mo;
        mo.Code(18, {10}).Text(std::to_string(m / 10) + " " + Phrase(rng, 3));
        for (int k = 0; k < 6; ++k) {
            const std::string c = std::to_string(m + k) + "/" + std::to_string(k % 4);
            const std::string name = Phrase(rng, 4);
            mo.Code(14).Text(c + " " + name);
            words.push_back(c + " " + name);
        }
        add(key, mo.Take());
        ++made;
    }
    MknScaleSet set;
    set.entries = static_cast<int>(out.size());
    set.file = BuildMknFile(out);
    set.words = BuildMknWordList(words);
    return set;
}
