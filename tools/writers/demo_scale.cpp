#include "writers/demo_scale.h"

#include "writers/mkn_scale.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <stdexcept>

#include "datastore/ctrl_text.h"
#include "writers/csv_source.h"

namespace {

// splitmix64: the same numbers on every platform and standard library.
class Rng {
public:
    explicit Rng(uint64_t seed) : s_(seed) {}
    uint64_t Next()
    {
        uint64_t z = (s_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // 0 .. n - 1
    uint32_t Below(uint32_t n) { return n ? static_cast<uint32_t>(Next() % n) : 0; }
    bool Chance(uint32_t percent) { return Below(100) < percent; }
    template <class T>
    const T& Pick(const std::vector<T>& v)
    {
        return v[Below(static_cast<uint32_t>(v.size()))];
    }

private:
    uint64_t s_;
};

std::string Kam(const char* utf8)
{
    std::string out;
    std::string error;
    if (!Utf8ToKam(utf8, out, error))
        throw std::invalid_argument(error);
    return out;
}

std::vector<std::string> KamList(std::initializer_list<const char*> words)
{
    std::vector<std::string> v;
    for (const char* w : words)
        v.push_back(Kam(w));
    return v;
}

std::string Digits(uint64_t v, int width)
{
    std::string s = std::to_string(v);
    if (static_cast<int>(s.size()) < width)
        s.insert(0, static_cast<size_t>(width) - s.size(), '0');
    return s;
}

std::string Amount(uint64_t cents)
{
    return std::to_string(cents / 100) + "." + Digits(cents % 100, 2);
}

// Records are built field by field.  Field places are looked up once per
// table and name: a million records would otherwise spend a fifth of the
// run searching the layout by name.
class Rec {
public:
    Rec(const DemoTableSpec& t) : t_(t), r_(t.layout.BlankRecord()) {}
    // Text left-aligned, cut to the field.
    Rec& Text(const char* f, std::string_view v)
    {
        const Place p = At(f);
        v = v.substr(0, p.width);
        r_.replace(p.offset, v.size(), v);
        r_.replace(p.offset + v.size(), p.width - v.size(), p.width - v.size(), ' ');
        return *this;
    }
    // Text right-aligned; longer text is a builder bug.
    Rec& Right(const char* f, std::string_view v, char pad = ' ')
    {
        const Place p = At(f);
        if (v.size() > p.width)
            throw std::invalid_argument("value too long for field " + std::string(f));
        r_.replace(p.offset, p.width - v.size(), p.width - v.size(), pad);
        r_.replace(p.offset + p.width - v.size(), v.size(), v);
        return *this;
    }
    Rec& Money(const char* f, uint64_t cents)
    {
        std::string a;
        if (!DemoAmount(Amount(cents), static_cast<int>(At(f).width), a))
            throw std::invalid_argument("amount too large for field " + std::string(f));
        return Text(f, a);
    }
    Rec& Int(const char* f, int64_t v)
    {
        const Place p = At(f);
        for (size_t i = 0; i < p.width; ++i)
            r_[p.offset + i] = static_cast<char>((static_cast<uint64_t>(v) >> (8 * i)) & 0xFF);
        return *this;
    }
    std::string Take() { return std::move(r_); }

private:
    struct Place {
        size_t offset;
        size_t width;
    };
    Place At(const char* f)
    {
        static std::map<std::pair<const DemoTableSpec*, std::string>, Place> cache;
        auto key = std::make_pair(&t_, std::string(f));
        auto it = cache.find(key);
        if (it == cache.end())
            it = cache
                     .emplace(key, Place{static_cast<size_t>(t_.layout.Offset(f)),
                                         static_cast<size_t>(t_.layout.Width(f))})
                     .first;
        return it->second;
    }
    const DemoTableSpec& t_;
    std::string r_;
};

std::vector<std::string> Column(const DemoDataSet& set, const std::string& id, const char* field,
                                bool skipBlank = true)
{
    const DemoTableSpec& t = DemoTable(id);
    std::vector<std::string> v;
    for (const std::string& rec : set.Records(id)) {
        std::string f = rec.substr(static_cast<size_t>(t.layout.Offset(field)),
                                   static_cast<size_t>(t.layout.Width(field)));
        if (!skipBlank || !Trimmed(f).empty())
            v.push_back(f);
    }
    return v;
}

// ------------------------------------------------------------ document text

struct Words {
    std::vector<std::string> starts, words, headings, bullets;
};

Words MakeWords()
{
    Words w;
    w.starts = KamList({"Přípravek", "Léčivá",   "Pacienti",  "Při",      "Lékař", "Dávka",  "Užívání",
                        "Tento",     "Léčba",    "Účinek",    "Současné", "Děti",  "Starší", "Opatrnost",
                        "Během",     "Vzhledem", "Nežádoucí", "Po",       "Pokud", "U"});
    w.words = KamList({"přípravek",
                       "léčivá",
                       "látka",
                       "pacient",
                       "pacienti",
                       "dávka",
                       "dávkování",
                       "denně",
                       "ráno",
                       "večer",
                       "tableta",
                       "tobolka",
                       "roztok",
                       "podání",
                       "užívání",
                       "léčba",
                       "léčby",
                       "účinek",
                       "účinky",
                       "nežádoucí",
                       "onemocnění",
                       "jater",
                       "ledvin",
                       "srdce",
                       "krevní",
                       "tlak",
                       "cukru",
                       "hladina",
                       "koncentrace",
                       "plazmě",
                       "vylučuje",
                       "metabolizuje",
                       "játrech",
                       "močí",
                       "poločas",
                       "hodin",
                       "dní",
                       "týdnů",
                       "měsíců",
                       "těhotenství",
                       "kojení",
                       "lékaře",
                       "lékárníka",
                       "poradit",
                       "informujte",
                       "vyhledejte",
                       "okamžitě",
                       "zvláště",
                       "obvykle",
                       "vzácně",
                       "často",
                       "velmi",
                       "méně",
                       "nejvýše",
                       "nejméně",
                       "doporučená",
                       "nejvyšší",
                       "počáteční",
                       "udržovací",
                       "zvýšení",
                       "snížení",
                       "riziko",
                       "rizika",
                       "interakce",
                       "současně",
                       "jinými",
                       "léky",
                       "přípravky",
                       "obsahující",
                       "alkohol",
                       "jídlem",
                       "nalačno",
                       "vodou",
                       "zapít",
                       "rozkousat",
                       "polykat",
                       "celé",
                       "dělit",
                       "dělicí",
                       "rýhou",
                       "uchovávejte",
                       "teplotě",
                       "světlem",
                       "vlhkostí",
                       "dosah",
                       "dětí",
                       "obalu",
                       "krabičce",
                       "použitelnosti",
                       "složení",
                       "pomocné",
                       "látky",
                       "laktóza",
                       "sacharóza",
                       "barvivo",
                       "potah",
                       "alergie",
                       "vyrážka",
                       "svědění",
                       "otok",
                       "dušnost",
                       "závrať",
                       "bolest",
                       "hlavy",
                       "břicha",
                       "nevolnost",
                       "zvracení",
                       "průjem",
                       "zácpa",
                       "únava",
                       "ospalost",
                       "nespavost",
                       "třes",
                       "pocení",
                       "bušení",
                       "změny",
                       "krevního",
                       "obrazu",
                       "jaterních",
                       "testů",
                       "funkce",
                       "sledovat",
                       "kontrolovat",
                       "pravidelně",
                       "laboratorní",
                       "vyšetření",
                       "výsledky",
                       "hodnoty",
                       "cílové",
                       "klinické",
                       "studie",
                       "prokázaly",
                       "účinnost",
                       "bezpečnost",
                       "snášenlivost",
                       "dlouhodobé",
                       "krátkodobé",
                       "vysazení",
                       "postupně",
                       "náhle",
                       "ukončit",
                       "přerušit",
                       "pokračovat",
                       "změnit",
                       "upravit",
                       "podle",
                       "tělesné",
                       "hmotnosti",
                       "věku",
                       "stavu",
                       "odpovědi",
                       "na",
                       "v",
                       "a",
                       "se",
                       "je",
                       "k",
                       "s",
                       "z",
                       "do",
                       "pro",
                       "při",
                       "po",
                       "nebo",
                       "také",
                       "však",
                       "které",
                       "který",
                       "může",
                       "mohou",
                       "musí",
                       "lze",
                       "není",
                       "jsou",
                       "byl",
                       "bylo",
                       "bude",
                       "jeho",
                       "jejich"});
    w.headings = KamList({"Co je přípravek a k čemu se používá", "Čemu musíte věnovat pozornost",
                          "Jak se přípravek užívá", "Možné nežádoucí účinky", "Jak přípravek uchovávat",
                          "Obsah balení a další informace", "Upozornění a opatření", "Další léčivé přípravky",
                          "Těhotenství a kojení", "Řízení dopravních prostředků",
                          "Jestliže jste užil(a) více přípravku"});
    w.bullets = KamList({"jestliže jste alergický(á) na léčivou látku", "máte závažné onemocnění jater",
                         "máte závažné onemocnění ledvin", "jste těhotná nebo kojíte", "užíváte jiné léky",
                         "bolest hlavy a závrať", "nevolnost a bolest břicha", "kožní vyrážka a svědění",
                         "únava a ospalost", "změny krevního obrazu"});
    return w;
}

class TextMaker {
public:
    TextMaker(const Words& w, Rng& rng) : w_(w), rng_(rng) {}

    void Sentence(CtrlTextWriter& out)
    {
        out.Text(rng_.Pick(w_.starts));
        const uint32_t n = 7 + rng_.Below(14);
        for (uint32_t i = 0; i < n; ++i) {
            out.Text(" ");
            out.Text(rng_.Pick(w_.words));
            if (i + 1 < n && rng_.Chance(8))
                out.Text(",");
        }
        out.Text(". ");
    }
    void Paragraph(CtrlTextWriter& out, int sentences)
    {
        out.Code(12);
        for (int i = 0; i < sentences; ++i)
            Sentence(out);
    }
    void Bullets(CtrlTextWriter& out)
    {
        const uint32_t n = 2 + rng_.Below(4);
        for (uint32_t i = 0; i < n; ++i)
            out.Code(1).Text(rng_.Pick(w_.bullets));
    }
    void Table(CtrlTextWriter& out)
    {
        out.Code(24, {160, 145, 60, 40, 40});
        out.Code(22, {0})
            .Text(Kam("Pacient"))
            .Code(23, {0})
            .Text(Kam("Dávka"))
            .Code(23, {0})
            .Text(Kam("Nejvýše"));
        const uint32_t rows = 2 + rng_.Below(4);
        for (uint32_t r = 0; r < rows; ++r)
            out.Code(11)
                .Text(rng_.Pick(w_.words))
                .Code(6)
                .Text(std::to_string(5 * (1 + rng_.Below(40))) + " mg")
                .Code(6)
                .Text(std::to_string(100 * (1 + rng_.Below(40))) + " mg");
        out.Code(10);
    }

    // A leaflet of about `size` bytes.
    std::string Leaflet(const std::string& name, size_t size)
    {
        CtrlTextWriter out;
        out.Code(18, {8}).Text(Kam("Příbalová informace: informace pro pacienta"));
        out.Code(18, {9}).Text(name);
        for (int s = 1; out.Size() < size; ++s) {
            out.Code(18, {10})
                .Text(std::to_string(s) + ". ")
                .Text(w_.headings[static_cast<size_t>(s - 1) % 6]);
            Paragraph(out, 2 + static_cast<int>(rng_.Below(3)));
            out.Code(18, {11}).Text(rng_.Pick(w_.headings));
            Bullets(out);
            Paragraph(out, 2 + static_cast<int>(rng_.Below(4)));
            if (s % 3 == 0)
                Table(out);
        }
        return out.Take();
    }
    // A summary of product characteristics with numbered headings.
    std::string Spc(const std::string& name, const std::string& code, size_t size)
    {
        CtrlTextWriter out;
        out.Code(18, {10}).Text(Kam("1. NÁZEV PŘÍPRAVKU")).Code(12).Text(name);
        int major = 4, minor = 1;
        while (out.Size() < size) {
            out.Code(18, {11})
                .Text(std::to_string(major) + "." + std::to_string(minor) + " ")
                .Text(rng_.Pick(w_.headings));
            Paragraph(out, 3 + static_cast<int>(rng_.Below(4)));
            if (rng_.Chance(30))
                Bullets(out);
            if (rng_.Chance(15))
                Table(out);
            if (++minor > 9) {
                minor = 1;
                ++major;
                out.Code(18, {10}).Text(std::to_string(major) + ". ").Text(rng_.Pick(w_.headings));
            }
        }
        out.Code(18, {10}).Text(Kam("8. REGISTRAČNÍ ČÍSLO")).Code(19, {1}).Text(code);
        out.Code(18, {10}).Text(Kam("10. DATUM REVIZE TEXTU")).Code(14).Text("1. 9. 2025");
        return out.Take();
    }
    // A summary text: code-19 paragraphs, at least ten of them.
    std::string Summary(const std::string& name, size_t size)
    {
        static const int kParagraphs[] = {1, 3, 12, 13, 14, 15, 16, 17, 19, 20, 21, 22, 24, 26, 27, 99};
        CtrlTextWriter out;
        for (size_t i = 0; i < std::size(kParagraphs); ++i) {
            out.Code(19, {kParagraphs[i]});
            if (i == 0) {
                out.Text(name);
                continue;
            }
            const int sentences = std::max<int>(1, static_cast<int>(size / 16 / 110));
            for (int s = 0; s < sentences; ++s)
                Sentence(out);
            if (i == 4)
                Bullets(out);
        }
        return out.Take();
    }
    std::string GoodsText(const std::string& name)
    {
        CtrlTextWriter out;
        out.Code(19, {1}).Text(name).Code(19, {2});
        Sentence(out);
        Sentence(out);
        out.Code(19, {5});
        Bullets(out);
        out.Code(19, {rng_.Chance(50) ? 9 : 10});
        Sentence(out);
        return out.Take();
    }

private:
    const Words& w_;
    Rng& rng_;
};

std::string Syllables(uint64_t index, int count, bool capital)
{
    static const char* kSyl[40] = {"ba", "be", "bo", "da", "de", "di", "fa", "fe", "ga", "ka",
                                   "ke", "ko", "la", "le", "li", "lo", "ma", "me", "mi", "mo",
                                   "na", "ne", "no", "pa", "pe", "po", "ra", "re", "ri", "ro",
                                   "sa", "se", "so", "ta", "te", "ti", "to", "va", "ve", "zo"};
    std::string s;
    for (int i = 0; i < count; ++i) {
        s += kSyl[index % 40];
        index /= 40;
    }
    if (capital)
        s[0] = static_cast<char>(s[0] - 32);
    return s;
}

std::string Upper(std::string s)
{
    for (char& ch : s)
        if (ch >= 'a' && ch <= 'z')
            ch = static_cast<char>(ch - 32);
    return s;
}

} // namespace

bool MakeScaleDataSet(DemoDataSet& set, int packages, uint64_t seed, DemoLog& log)
{
    const auto start = std::chrono::steady_clock::now();
    auto seconds = [&] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    Rng rng(seed * 0x2545F4914F6CDD1Dull + 1);
    const Words words = MakeWords();
    TextMaker text(words, rng);
    set.klStamp = kScaleKlStamp;
    const int substances = std::min(95000, std::max(200, packages / 3));
    const int goods = std::min(89000, std::max(50, packages / 6));
    const int devices = std::max(50, packages / 6);
    // The single upper block of an index holds about W^3 records: keep the
    // composition lines below that.
    const int components = std::clamp(400000 / std::max(packages, 1), 1, 3);

    // Code lists the records may use, taken from the demo set so that every
    // code has its table row and its data text.
    std::vector<std::string> holders;
    {
        const DemoTableSpec& t = DemoTable("drzv");
        for (const std::string& r : set.Records("drzv"))
            if (r[3] != '*')
                holders.push_back(r.substr(0, 6));
        (void)t;
    }
    std::vector<std::string> atc7;
    for (const std::string& code : Column(set, "atc", "ATC"))
        if (Trimmed(code).size() == 7)
            atc7.push_back(code);
    const std::vector<std::string> isv = Column(set, "isv", "INS");
    const std::vector<std::string> atcp = Column(set, "atcp", "ATC");
    const std::vector<std::string> vpois = Column(set, "vpois", "KOD");
    const std::vector<std::string> zdrv = Column(set, "zdrv", "KOD");
    const std::vector<std::string> makers = Column(set, "pfavyrv", "KOD");
    const std::vector<std::string> goodsZem = Column(set, "pfazemv", "ZEM");
    const std::vector<std::string> cats = Column(set, "pfakatv", "KAT");
    const std::vector<std::string> types = Column(set, "pzttypv", "TYP");
    const std::vector<std::string> groups = Column(set, "pztuhs", "KOD");
    const std::vector<std::string> vmakers = Column(set, "pztvyrv", "KOD");
    const std::vector<std::string> vholders = Column(set, "pztohl", "OHL");
    std::map<std::string, std::string> vmakerZem;
    for (const std::string& r : set.Records("pztvyrv"))
        vmakerZem[r.substr(0, 3)] = r.substr(3, 3);
    struct Form {
        const char* lfo;
        const char* oba;
        bool tablet;
    };
    static const Form kForms[] = {
        {"TBL FLM", "BLIPVC", true},  {"TBL NOB", "BLIPVC", true},  {"TBL ENT", "BLIALU", true},
        {"CPS DUR", "BLIPVC", false}, {"CPS ETD", "BLIALU", false}, {"SIR", "LAHSKL", false},
        {"POR SUS", "LAHPLA", false}, {"GEL", "TUBALU", false},     {"NAS SPR", "LAHSPR", false}};
    static const char* kPacks[] = {"10", "20", "28", "30", "50", "60", "90", "100"};
    static const char* kVp[] = {"R ", "R ", "R ", "F ", "F ", "V "};
    static const char* kUh[] = {"A", "A", "B", "B", "K", "/", "N", " "};

    // ----------------------------------------------------------- substances
    std::vector<std::string> kk;
    const DemoTableSpec& kkSpec = DemoTable("kk");
    const int excipients = 40;
    const int groupCount = std::max(10, substances / 50);
    auto kkCode = [](int i) { return std::to_string(100 + i); };
    for (int i = 0; i < substances; ++i) {
        const bool group = i >= excipients && i < excipients + groupCount;
        const std::string name =
            group ? "SKUPINA " + Upper(Syllables(static_cast<uint64_t>(i), 3, false))
                  : Upper(Syllables(static_cast<uint64_t>(i) * 7919u, 3 + (i > 60000), false)) +
                        (i % 3 == 0   ? "AMID"
                         : i % 3 == 1 ? "OXIN"
                                      : "ASTAT");
        const std::string src = rng.Pick(zdrv);
        auto base = [&](const char* sq, const std::string& n, char sor) {
            return Rec(kkSpec)
                .Right("KOD", kkCode(i))
                .Right("SQ", sq)
                .Text("SQR", "`")
                .Text("NAZ", n)
                .Text("ZDR", src)
                .Text("SOR", std::string(1, sor))
                .Take();
        };
        kk.push_back(base("0", name, group ? '0' : i < excipients ? '6' : '5'));
        if (group)
            continue;
        kk.push_back(base("90", name + "UM", '1'));
        if (rng.Chance(20))
            kk.push_back(base("50",
                              "CAS   " + std::to_string(10000 + i) + "-" + Digits(i % 100, 2) + "-" +
                                  std::to_string(i % 10),
                              '1'));
    }
    set.records["kk"] = kk;
    std::vector<std::string> kab;
    for (int i = excipients + groupCount; i < substances; ++i)
        if (rng.Chance(25)) {
            const int g = excipients + static_cast<int>(rng.Below(static_cast<uint32_t>(groupCount)));
            kab.push_back(SixBitNumber(static_cast<uint32_t>(2 * (100 + i)), 3) +
                          SixBitNumber(static_cast<uint32_t>(2 * (100 + g)), 3));
        }
    set.records["kab"] = kab; // generated in ascending substance order

    // ---------------------------------------------------------- documents
    for (const char* family : {"kodex", "kodexa", "letak", "spc", "pfakodex"})
        set.docs[family] = MakeDemoDocFile(family);
    auto addDoc = [&](const char* family, uint64_t index, const std::string& t) -> int64_t {
        DemoDocFile& f = set.docs[family];
        const std::string name = Syllables(index, 4, false);
        if (!AddDemoDocument(f, name.substr(0, 8), t, 0, std::string(family) + " " + std::to_string(index),
                             log))
            return -1;
        return f.offsets[name.substr(0, 8)];
    };

    // ---------------------------------------------------------------- drugs
    const DemoTableSpec& klSpec = DemoTable("kl");
    const DemoTableSpec& kleSpec = DemoTable("kle");
    const DemoTableSpec& cvzpSpec = DemoTable("cvzp");
    const DemoTableSpec& klcSpec = DemoTable("klc");
    const DemoTableSpec& vypSpec = DemoTable("vypad");
    const DemoTableSpec& vzphSpec = DemoTable("vzph");
    const DemoTableSpec& spotSpec = DemoTable("spot1");
    std::vector<std::string> kl, kle, cvzp, klc, vypad, vzph, spot1, spot2;
    kl.reserve(static_cast<size_t>(packages));
    const uint16_t docDate = PackedDate(2025, 9, 1);
    uint64_t code = 1000;
    std::string previousKod = "0001000";
    int made = 0;
    int p = 0;
    for (; made < packages; ++p) {
        const std::string brand = Syllables(static_cast<uint64_t>(p), p < 64000 ? 3 : 4, true);
        const std::string& holder = rng.Pick(holders);
        const std::string atc = rng.Pick(atc7);
        const Form& form = kForms[rng.Below(std::size(kForms))];
        const int actives = 1 + rng.Chance(15);
        int subst[2];
        for (int a = 0; a < actives; ++a)
            subst[a] =
                excipients + groupCount +
                static_cast<int>(rng.Below(static_cast<uint32_t>(substances - excipients - groupCount)));
        const std::string vp = kVp[rng.Below(std::size(kVp))];
        const std::string ins = rng.Pick(isv);
        const std::string ozn = rng.Chance(40) ? rng.Pick(atcp) : "   ";
        const std::string vpo = rng.Pick(vpois);
        // Documents shared by the product's packages.
        const std::string title = brand + " " + std::to_string(5 * (1 + rng.Below(40))) + " mg";
        const int64_t cc =
            addDoc("kodex", static_cast<uint64_t>(p), text.Summary(title, 2000 + rng.Below(1000)));
        const int64_t lc =
            addDoc("letak", static_cast<uint64_t>(p), text.Leaflet(title, 6500 + rng.Below(3000)));
        const int64_t sc =
            addDoc("spc", static_cast<uint64_t>(p), text.Spc(title, Digits(code, 7), 8000 + rng.Below(3000)));
        const int64_t ac =
            rng.Chance(10) ? addDoc("kodexa", static_cast<uint64_t>(p), text.Summary(title, 2500)) : -1;
        // The summary's date spreads over 2023-2025 (the compound search's
        // date tests find some before and some after a day), taken from the
        // product's number so that the random stream stays as it was.
        const uint16_t productDate = PackedDate(2023 + static_cast<int>(p % 3), 1 + static_cast<int>(p % 12),
                                                1 + static_cast<int>(p % 28));
        if (!log.Ok())
            return false;
        const int strengths = 1 + static_cast<int>(rng.Below(3));
        for (int s = 0; s < strengths && made < packages; ++s) {
            const int mg = 5 * (1 + static_cast<int>(rng.Below(80))) * (s + 1);
            const std::string name = brand + " " + std::to_string(mg) + " mg";
            const std::string rc = "=" + Digits(rng.Below(100), 2) + Digits(1000 + rng.Below(9000), 4) +
                                   Digits(rng.Below(100), 2);
            const int packs = 1 + static_cast<int>(rng.Below(3));
            for (int k = 0; k < packs && made < packages; ++k, ++made) {
                code += 1 + rng.Below(5);
                const std::string kod = Digits(rng.Chance(1) ? 9000000 + code : code, 7);
                std::string uh = kUh[rng.Below(std::size(kUh))];
                // About 1% of the packages carry the rare kind "H" (a twelfth
                // of the "K" ones, picked without drawing from rng).
                if (uh == "K" && code % 12 == 0)
                    uh = "H";
                const char sr = rng.Chance(95) ? 'R' : rng.Chance(50) ? '-' : 'N';
                Rec r(klSpec);
                r.Text("KOD", kod)
                    .Text("NAZ", name)
                    .Text("LFO", form.lfo)
                    .Text("SIL", std::to_string(mg) + "MG")
                    .Text("BAL", kPacks[rng.Below(std::size(kPacks))])
                    .Text("OBA", form.oba)
                    .Text("DRZ", holder.substr(0, 3))
                    .Text("ZED", holder.substr(3, 3))
                    .Text("SR", std::string(1, sr))
                    .Text("INS", ins)
                    .Text("ATC", atc)
                    .Text("RC", rc)
                    .Text("TR", "D")
                    .Text("EX", " 36M")
                    .Text("VP", vp)
                    .Text("DDM", "  20")
                    .Text("DDJ", "MG")
                    .Text("OB", rng.Chance(70) ? "1" : "0")
                    .Text("UH", uh)
                    .Text("OME", uh == " " ? " " : "0")
                    .Text("VPO", vpo)
                    .Text("ZAS", k == 0 ? "1" : " ")
                    .Text("OZN", ozn)
                    .Text("STR", Upper(brand))
                    .Text("WEB", "0")
                    .Text("PUL", form.tablet ? "1" : " ")
                    .Int("CC", cc)
                    .Int("LC", lc)
                    .Int("AC", ac)
                    .Int("SC", sc)
                    .Int("CCD", productDate)
                    .Int("LCD", docDate)
                    .Int("SCD", docDate)
                    .Int("LSD", static_cast<uint16_t>(docDate + p % 40))
                    .Int("SSD", static_cast<uint16_t>(docDate + p % 25));
                if (sr != 'R')
                    r.Text("PDO", "24C1");
                const uint64_t price = 3000 + rng.Below(200000);
                if (uh != " " && uh != "6" && uh != "8")
                    r.Text("PPC", "E").Money("PC", price);
                const bool outage = rng.Chance(1);
                if (outage) {
                    r.Text("VYP", "V");
                    vypad.push_back(Rec(vypSpec)
                                        .Text("KOD", kod)
                                        .Text("TYP", "P")
                                        .Text("ODD", "2594")
                                        .Text("NAH", previousKod)
                                        .Text("DUV", Kam("Výpadek výroby"))
                                        .Text("OBN", "2615")
                                        .Take());
                }
                int eans = 1 + rng.Chance(10);
                for (int e = 0; e < eans; ++e) {
                    const std::string twelve = "8595" + kod + std::to_string(e);
                    kle.push_back(Rec(kleSpec)
                                      .Text("KOD", kod)
                                      .Text("EAN", twelve + EanCheckDigit(twelve))
                                      .Text("DRU", e ? "7" : "8")
                                      .Take());
                }
                r.Int("PEA", eans);
                if (uh != " ") {
                    Rec c(cvzpSpec);
                    c.Text("KOD", kod)
                        .Text("DRU", "A")
                        .Text("CER", p % 5 == 0 ? "M" : "R")
                        .Text("OZN", p % 7 == 0 ? "X" : " ")
                        .Text("PUH", p % 4 == 0 ? "P" : " ")
                        .Money("OCE", price)
                        .Text("PLA", "25A1")
                        .Int("ODK", 0);
                    if (uh != "/" && uh != "N")
                        c.Money("UCE", price * 7 / 10)
                            .Money("ZAP", price * 3 / 10)
                            .Money("EKV", price * 8 / 10);
                    cvzp.push_back(c.Take());
                }
                for (int a = 0; a < actives && a < components; ++a)
                    klc.push_back(Rec(klcSpec)
                                      .Text("LEK", kod)
                                      .Right("KOM", kkCode(subst[a]))
                                      .Text("STA", "L")
                                      .Right("MN", std::to_string(mg))
                                      .Text("JD", "MG")
                                      .Take());
                for (int x = actives; x < components; ++x)
                    klc.push_back(Rec(klcSpec)
                                      .Text("LEK", kod)
                                      .Right("KOM", kkCode(static_cast<int>(rng.Below(excipients))))
                                      .Text("STA", "C")
                                      .Text("JD", "PL")
                                      .Take());
                if (uh != " " && rng.Chance(5)) {
                    for (int q = 1; q <= 4; ++q)
                        vzph.push_back(Rec(vzphSpec)
                                           .Text("KOD", kod)
                                           .Text("ROC", "2025/" + std::to_string(q))
                                           .Text("UH", uh)
                                           .Money("OC", price)
                                           .Text("ATC", atc)
                                           .Take());
                    for (int q = 1; q <= 3; ++q)
                        spot1.push_back(Rec(spotSpec)
                                            .Text("KOD", kod)
                                            .Text("OBD", "2025/" + std::to_string(q))
                                            .Right("BAL", std::to_string(rng.Below(5000)))
                                            .Text("ATC", atc)
                                            .Take());
                    spot2.push_back(Rec(spotSpec)
                                        .Text("KOD", kod)
                                        .Text("OBD", "2024")
                                        .Right("BAL", std::to_string(rng.Below(20000)))
                                        .Text("ATC", atc)
                                        .Take());
                }
                kl.push_back(r.Take());
                previousKod = kod;
            }
        }
    }
    // Codes of the veterinary packages break the ascending order; the files
    // keep record order by code, as the demo set does.
    auto byCode = [](const std::string& a, const std::string& b) { return a.compare(0, 7, b, 0, 7) < 0; };
    std::stable_sort(kl.begin(), kl.end(), byCode);
    std::stable_sort(klc.begin(), klc.end(), byCode);
    set.records["kl"] = std::move(kl);
    set.records["kle"] = std::move(kle);
    set.records["cvzp"] = std::move(cvzp);
    set.records["klc"] = std::move(klc);
    set.records["vypad"] = std::move(vypad);
    set.records["vzph"] = std::move(vzph);
    set.records["spot1"] = std::move(spot1);
    set.records["spot2"] = std::move(spot2);
    set.vidudCodes.clear();
    for (size_t i = 0; i < set.Records("kl").size(); i += 50)
        set.vidudCodes.push_back(set.Records("kl")[i].substr(0, 7));
    for (const auto& name : {"kl", "kle", "cvzp", "klc", "vypad", "vzph", "spot1", "spot2", "kk", "kab"})
        set.origins[name].clear();
    log.Note("drugs: " + std::to_string(set.Records("kl").size()) + " packages, " + std::to_string(p) +
             " products; " + std::to_string(seconds()) + " s");

    // ---------------------------------------------------------------- goods
    const DemoTableSpec& pfaSpec = DemoTable("pfa");
    const DemoTableSpec& pkSpec = DemoTable("pfapk");
    std::vector<std::string> pfa, pfapk;
    for (int g = 0; g < goods; ++g) {
        const std::string kod = Digits(10000 + static_cast<uint64_t>(g), 5);
        const std::string name =
            Syllables(static_cast<uint64_t>(g) * 31u, 3, true) + " " + rng.Pick(words.words);
        Rec r(pfaSpec);
        r.Text("KOD", kod)
            .Text("EUC", Digits(100000 + static_cast<uint64_t>(g), 6))
            .Text("STR", Upper(name))
            .Text("NAZ", name)
            .Text("BAL", std::to_string(10 * (1 + rng.Below(10))) + " ks")
            .Text("VYR", rng.Pick(makers))
            .Text("ZEM", rng.Pick(goodsZem))
            .Money("PC", 1000 + rng.Below(50000))
            .Int("CC", -1)
            .Int("CCD", 0);
        const std::string twelve = "8591" + kod + "123";
        r.Text("EAN", twelve + EanCheckDigit(twelve));
        if (g % 3 == 0) {
            const int64_t off = addDoc("pfakodex", static_cast<uint64_t>(g), text.GoodsText(name));
            r.Int("CC", off).Int("CCD", 'T' * 512);
        }
        pfa.push_back(r.Take());
        pfapk.push_back(Rec(pkSpec).Text("KOD", kod).Text("KAT", rng.Pick(cats)).Take());
    }
    set.records["pfa"] = std::move(pfa);
    set.records["pfapk"] = std::move(pfapk);

    // -------------------------------------------------------------- devices
    const DemoTableSpec& pztSpec = DemoTable("pzt");
    std::vector<std::string> pzt;
    for (int d = 0; d < devices; ++d) {
        const std::string kod = Digits(5000000 + static_cast<uint64_t>(d) * 3, 7);
        const std::string maker = rng.Pick(vmakers);
        const bool grouped = rng.Chance(80);
        Rec r(pztSpec);
        r.Text("KOD", kod)
            .Text("SEQ", "A")
            .Text("ZDR", "B")
            .Text("NAZ", Syllables(static_cast<uint64_t>(d) * 17u, 3, true) + " " + rng.Pick(words.words))
            .Text("DOP", rng.Pick(words.bullets))
            .Text("PRO", "P")
            .Text("TYP", rng.Pick(types))
            .Text("UHS", grouped ? rng.Pick(groups) : "    ")
            .Text("MJB", "     1")
            .Text("MJZ", "K")
            .Text("TBZ", "B")
            .Text("VYR", maker)
            .Text("ZEM", vmakerZem[maker])
            .Text("OHL", rng.Pick(vholders))
            .Money("UC", 10000 + rng.Below(90000))
            .Money("MFC", 20000 + rng.Below(90000))
            .Text("DNC", "N")
            .Text("ZUP", "U")
            .Text("DZM", "25A1")
            .Text("KAT", "(I)");
        const std::string device = r.Take();
        pzt.push_back(device);
        if (rng.Chance(10))
            for (const char* seq : {"B", "C"}) {
                std::string v = device;
                pztSpec.layout.PutText(v, "SEQ", seq);
                pztSpec.layout.PutText(v, "ZDR", "F");
                pzt.push_back(std::move(v));
            }
    }
    set.records["pzt"] = std::move(pzt);
    for (const auto& name : {"pfa", "pfapk", "pzt"})
        set.origins[name].clear();

    uint64_t bytes = 0;
    for (const auto& [family, f] : set.docs)
        bytes += f.textBytes;
    log.Note("scale set: " + std::to_string(packages) + " packages, " + std::to_string(substances) +
             " substances, " + std::to_string(goods) + " goods, " + std::to_string(devices) + " devices, " +
             std::to_string(bytes) + " bytes of document text; " + std::to_string(seconds()) + " s");
    try {
        MknScaleSet mkn = MakeScaleClassification(seed);
        set.mknFile = std::move(mkn.file);
        set.mknWords = std::move(mkn.words);
        log.Note("classification: " + std::to_string(mkn.entries) + " entries, " +
                 std::to_string(set.mknWords.size()) + " bytes of word list");
    } catch (const X6Error& e) {
        log.Error(std::string("mkn.dat: ") + e.what());
    }
    DeriveDemoFields(set);
    return log.Ok();
}
