#include "viewers/duplicity_check.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <functional>
#include <map>

#include "datastore/db_table.h"
#include "datastore/kamenici.h"
#include "datastore/kamenici_lower.h"
#include "datastore/table_layouts.h"
#include "datastore/text_helpers.h"
#include "datastore/text_table.h"
#include "frame/hooks.h"
#include "frame/start/command_line.h"
#include "platform/ascii.h"
#include "platform/cp1250.h"
#include "viewers/medication_list.h"

std::atomic<bool> DuplicityBatchMode{false};

namespace {

// The group name the check keeps: NAZ and the start of its continuation NAR.
constexpr int kAtcNameLength = 150;

std::string F(std::string_view rec, FieldPos f)
{
    return GetField(rec, f.start, f.length);
}

// ATC flag bits.
constexpr uint8_t kNoSubstanceGroups = 1, kFullCounts = 2, kLevel5Counts = 4, kLevel4Counts = 8,
                  kLevel3Counts = 16;

const std::string kBlank7(7, ' ');

struct Tables {
    TDbTable atc, klc, kk, kl;
};

Tables& Handles()
{
    static Tables t;
    return t;
}

struct PairState {
    std::vector<SubstancePair> pairs;
    std::string folder; // the data folder they were read from
    bool loaded = false;
};

PairState& Pairs()
{
    static PairState p;
    return p;
}

std::string Trimmed(std::string_view s)
{
    return std::string(TrimRightBlanks(s));
}

char LowerAZ(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

// Finds a key exactly; the record in `rec`.
bool FindExact(TDbTable& t, std::string_view key, std::string& rec)
{
    FindRecord(t, key, rec);
    return DbStatus == 0;
}

std::string NameOfLevel(const std::string& key)
{
    std::string rec;
    if (!FindExact(Handles().atc, key, rec))
        return {};
    return Trimmed(GetField(rec, kAtcName.start, kAtcNameLength));
}

void AddGroup(LekRec& lek, int32_t group, std::string_view item)
{
    for (size_t i = 0; i < lek.groups.size(); ++i)
        if (lek.groups[i] == group) {
            lek.groupTexts.replace(8 * i, 8, "vicekrat");
            return;
        }
    // More groups than a product can list are left out: 31 already tie it
    // to every finding it can take part in.
    if (static_cast<int>(lek.groups.size()) >= kMaxProductGroups)
        return;
    lek.groups.push_back(group);
    lek.groupTexts.append(item);
}

int32_t SubstanceNumber(std::string_view field)
{
    const std::string s(TrimBlanks(field));
    if (s.empty())
        return 0;
    size_t i = s[0] == '-' ? 1 : 0;
    if (i == s.size() ||
        !std::all_of(s.begin() + static_cast<long>(i), s.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return 0;
    if (s.size() > 9)
        return 0;
    return std::stoi(s);
}

void BuildGroups(LekRec& lek)
{
    TDbTable& klc = Handles().klc;
    std::string rec;
    FindRecord(klc, lek.code, rec);
    if (DbStatus != 0)
        return;
    const std::vector<SubstancePair>& pairs = PairTable();
    for (;;) {
        if (FieldDiffers(rec, kCompositionDrug.start, kCompositionDrug.length, lek.code) != 0)
            break;
        if (F(rec, kCompositionState) == "L") {
            const int32_t s = SubstanceNumber(F(rec, kCompositionSubstance));
            // The group marks "    0" and "   -1" are no substances: they
            // would join unrelated products in one finding.
            if (s > 0) {
                std::string item = F(rec, kCompositionAmount);
                item.resize(kCompositionAmount.length, ' ');
                if (item[0] == ' ')
                    item[0] = '~';
                std::string unit = F(rec, kCompositionUnit);
                unit.resize(kCompositionUnit.length, ' ');
                item += unit;
                bool usable = false;
                auto it = std::lower_bound(pairs.begin(), pairs.end(), s,
                                           [](const SubstancePair& p, int32_t v) { return p.substance < v; });
                for (; it != pairs.end() && it->substance == s; ++it)
                    if (it->group < kIgnoredGroupFrom) {
                        usable = true;
                        AddGroup(lek, it->group, item);
                    }
                if (!usable)
                    AddGroup(lek, s, item);
            }
        }
        ReadByOrder(klc, klc.Position() + 1, rec);
        if (DbStatus != 0)
            break;
    }
}

std::string GroupName(int32_t group)
{
    char key[16];
    std::snprintf(key, sizeof key, "%5d", group);
    std::string rec;
    if (!FindExact(Handles().kk, key, rec))
        return key;
    std::string name = F(rec, kSubstanceName);
    const auto& lower = KamLower();
    for (size_t i = 1; i < name.size(); ++i)
        name[i] = static_cast<char>(lower[static_cast<unsigned char>(name[i])]);
    return Trimmed(name);
}

std::string LevelText(int level)
{
    return LookupText(UiTexts, "Dupl", "Lev" + std::to_string(level));
}

std::string JoinedTexts(const std::vector<LekRec>& leks, const std::vector<uint16_t>& members)
{
    std::string text;
    for (uint16_t m : members) {
        if (!text.empty())
            text += " x ";
        text += DuplicityItemText(leks[m]);
    }
    return text;
}

// Whether one of the first `upTo` findings has exactly these members.
bool SameMembersAsAny(const std::vector<DupRec>& dups, size_t upTo, const std::vector<uint16_t>& members)
{
    const auto end = dups.begin() + static_cast<long>(std::min(upTo, dups.size()));
    return std::any_of(dups.begin(), end, [&](const DupRec& d) { return d.members == members; });
}

// Products sharing a value, in first-seen order of the values.
template <class Key>
std::vector<std::pair<Key, std::vector<uint16_t>>> Shared(int count,
                                                          const std::function<std::vector<Key>(int)>& keysOf)
{
    std::vector<std::pair<Key, std::vector<uint16_t>>> out;
    std::map<Key, size_t> index;
    for (int i = 0; i < count; ++i)
        for (const Key& k : keysOf(i)) {
            auto [it, added] = index.emplace(k, out.size());
            if (added)
                out.push_back({k, {}});
            auto& members = out[it->second].second;
            if (members.empty() || members.back() != i)
                members.push_back(static_cast<uint16_t>(i));
        }
    return out;
}

std::string TextMarks(const std::string& text)
{
    std::string marks(text.size(), ' ');
    for (size_t i = 1; i + 1 < text.size(); ++i)
        if (text[i] == 'x' && text[i - 1] == ' ' && text[i + 1] == ' ') {
            marks[i - 1] = '!';
            marks[i + 1] = '!';
        }
    return marks;
}

} // namespace

const std::vector<SubstancePair>& PairTable()
{
    return Pairs().pairs;
}

void LoadPairTable()
{
    PairState& p = Pairs();
    p.pairs.clear();
    p.folder = DataDir();
    p.loaded = true;
    TDatFile dat;
    DbStatus = 0;
    OpenDatFile(dat, p.folder, "kab", kKabLayout.Length());
    if (DbStatus != 0 || !dat.IsOpen()) {
        DbStatus = 0;
        return;
    }
    std::string rec;
    for (int32_t r = 1; r < dat.count; ++r) {
        ReadRecord(dat, r, rec);
        if (DbStatus != 0)
            break;
        p.pairs.push_back({static_cast<int32_t>(Pack6ToInt(FieldBytes(rec, kGroupPairSubstance)) >> 1),
                           static_cast<int32_t>(Pack6ToInt(FieldBytes(rec, kGroupPairGroup)) >> 1)});
    }
    // The search by halving needs the order; a file out of order would lose
    // pairs.
    std::stable_sort(p.pairs.begin(), p.pairs.end(), [](const SubstancePair& a, const SubstancePair& b) {
        return a.substance < b.substance;
    });
    DbStatus = 0;
}

std::string ResetDuplicityCheck()
{
    if (!Pairs().loaded || Pairs().folder != DataDir())
        LoadPairTable();
    Tables& t = Handles();
    struct Open {
        TDbTable& table;
        const char* dat;
        const char* sez;
        uint16_t length;
    };
    const Open all[] = {{t.atc, "atc", "atckod", kAtcLayout.Length()},
                        {t.klc, "klc", "klclek", kKlcLayout.Length()},
                        {t.kk, "kk", "kkkod", kKkLayout.Length()},
                        {t.kl, "kl", "klkod", kKlLayout.Length()}};
    for (const Open& o : all) {
        DbStatus = 0;
        OpenTable(o.table, o.dat, o.sez, o.length);
        if (DbStatus != 0) {
            DbStatus = 0;
            return o.dat;
        }
    }
    return {};
}

int FillLekRec(LekRec& lek)
{
    const int32_t position = lek.position;
    const std::string dosage = lek.dosage;
    lek = LekRec{};
    lek.position = position;
    lek.dosage = dosage;
    lek.fullSlot = lek.middleSlot = lek.groupSlot = kBlank7;

    Tables& t = Handles();
    // Record 0 holds the field descriptors: position 0 is "unresolved".
    if (position <= 0 || position >= t.kl.dat.count)
        return -1;
    std::string rec;
    ReadRecord(t.kl.dat, position, rec);
    if (DbStatus != 0)
        return -1;
    lek.code = F(rec, kDrugCode);
    lek.name = F(rec, kDrugName);
    lek.text27 = F(rec, kDrugForm);
    for (char& c : lek.text27)
        c = LowerAZ(c);
    lek.text24 = F(rec, kDrugStrength);
    for (size_t i = 1; i < lek.text24.size(); ++i)
        if (lek.text24[i] != 'U')
            lek.text24[i] = LowerAZ(lek.text24[i]);
    lek.atc = F(rec, kDrugAtc);

    if (TrimBlanks(lek.atc).empty())
        return -2;
    std::string key = lek.atc;
    key.resize(7, ' ');
    std::string atcRec;
    if (!FindExact(t.atc, key, atcRec))
        return -2;
    const uint8_t flags = static_cast<uint8_t>(F(atcRec, kAtcDuplicityLevels)[0]);
    lek.atcName = Trimmed(GetField(atcRec, kAtcName.start, kAtcNameLength));
    if (flags & kFullCounts)
        lek.fullSlot = key;

    key.replace(5, 2, "  ");
    const std::string name5 = NameOfLevel(key);
    const std::string code5 = key;
    key[4] = ' ';
    const std::string name4 = NameOfLevel(key);
    lek.middleName = name4;
    if (flags & kLevel5Counts) {
        lek.middleSlot = code5;
        lek.middleName = name5;
    }
    if (flags & kLevel4Counts) {
        lek.middleSlot = key;
        lek.middleName = name4;
    }
    key[3] = ' ';
    lek.groupName = NameOfLevel(key);
    if (flags & kLevel3Counts)
        lek.groupSlot = key;

    if (!(flags & kNoSubstanceGroups))
        BuildGroups(lek);
    DbStatus = 0;
    return 0;
}

std::string DuplicityItemText(const LekRec& lek)
{
    std::string out;
    for (const std::string* part : {&lek.name, &lek.text24, &lek.text27}) {
        const std::string_view p = TrimRightBlanks(*part);
        if (p.empty())
            continue;
        if (!out.empty())
            out += ' ';
        out += p;
    }
    return out;
}

std::string LabelMarks(std::string& label)
{
    std::string marks(label.size(), ' ');
    if (label.find(':') == std::string::npos)
        return marks;
    const size_t grave = label.find('`');
    if (grave != std::string::npos) {
        label[grave] = ' ';
        marks[grave] = '!';
    } else {
        marks[label.find(':')] = '!';
    }
    return marks;
}

int CheckDuplicities(std::vector<LekRec>& leks, int count, std::vector<DupRec>& dups)
{
    dups.clear();
    count = std::min<int>(count, static_cast<int>(leks.size()));
    if (count < 2)
        return 0;
    const bool batch = DuplicityBatchMode.load();

    auto add = [&](std::vector<uint16_t> members, uint8_t level, std::string label) {
        DupRec d;
        d.text = JoinedTexts(leks, members);
        d.members = std::move(members);
        d.level = level;
        d.label = std::move(label);
        dups.push_back(std::move(d));
    };

    // Phase 1: the full code.
    for (auto& [code, members] : Shared<std::string>(count, [&](int i) {
             return leks[i].fullSlot == kBlank7 ? std::vector<std::string>{}
                                                : std::vector<std::string>{leks[i].fullSlot};
         })) {
        if (members.size() < 2)
            continue;
        const std::string c = Trimmed(code), name = leks[members[0]].atcName;
        add(members, 7, batch ? c + " " + name : LevelText(7) + c + "`" + name);
    }
    const size_t phase1 = dups.size();

    // Phase 2: substance groups.
    for (auto& [group, members] : Shared<int32_t>(count, [&](int i) { return leks[i].groups; })) {
        if (members.size() < 2)
            continue;
        if (SameMembersAsAny(dups, phase1, members))
            continue;
        const std::string name = GroupName(group);
        add(members, 6, batch ? name : LevelText(6) + name);
    }

    // Phases 3 and 4: the middle level and the 3-character group.
    auto atcPhase = [&](std::string LekRec::*slot, std::string LekRec::*nameOf, int width, bool middle) {
        for (auto& [code, members] : Shared<std::string>(count, [&](int i) {
                 const std::string& s = leks[i].*slot;
                 return s == kBlank7 ? std::vector<std::string>{} : std::vector<std::string>{s};
             })) {
            if (members.size() < 2 || SameMembersAsAny(dups, dups.size(), members))
                continue;
            const uint8_t level = middle ? (code[4] == ' ' ? 4 : 5) : 3;
            const std::string c = Trimmed(code.substr(0, static_cast<size_t>(width)));
            const std::string name = leks[members[0]].*nameOf;
            add(members, level, batch ? c + " " + name : LevelText(level) + c + "`" + name);
        }
    };
    atcPhase(&LekRec::middleSlot, &LekRec::middleName, 5, true);
    atcPhase(&LekRec::groupSlot, &LekRec::groupName, 3, false);

    // Product levels: the first finding that names a product decides.
    for (int i = 0; i < count; ++i)
        leks[static_cast<size_t>(i)].level = 0;
    for (auto it = dups.rbegin(); it != dups.rend(); ++it)
        for (uint16_t m : it->members)
            leks[m].level = it->level;

    for (DupRec& d : dups) {
        d.textMarks = TextMarks(d.text);
        if (batch)
            d.labelMarks.assign(d.label.size(), ' ');
        else
            d.labelMarks = LabelMarks(d.label);
    }
    return static_cast<int>(dups.size());
}

int FillAndCheck(const std::vector<int32_t>& positions, int count, const std::vector<std::string>& dosages,
                 std::vector<LekRec>& leks, std::vector<DupRec>& dups)
{
    leks.assign(static_cast<size_t>(std::max(count, 0)) + 5, LekRec{});
    for (int i = 0; i < count; ++i) {
        LekRec& lek = leks[static_cast<size_t>(i)];
        lek.position = i < static_cast<int>(positions.size()) ? positions[static_cast<size_t>(i)] : 0;
        std::string dosage =
            i < static_cast<int>(dosages.size()) ? dosages[static_cast<size_t>(i)] : std::string();
        dosage.resize(std::max<size_t>(dosage.size(), 70), ' ');
        lek.dosage = dosage;
        FillLekRec(lek);
    }
    return CheckDuplicities(leks, count, dups);
}

BatchDuplicityResult BatchDuplicityCheck(const BatchDuplicityRequest& request, DuplicityRun* run)
{
    DuplicityBatchMode = true;
    BatchDuplicityResult result;
    if (const std::string failed = ResetDuplicityCheck(); !failed.empty()) {
        result.kind = BatchDuplicityResult::Failed;
        result.reason = "Cannot open the data table \"" + failed + "\" in " + DataDir();
        return result;
    }
    std::string text;
    const std::string b = GetOption("b", request.options);
    if (HasOption("b", request.options)) {
        ListSourceText source = ReadListSource(b);
        if (!source.readable) {
            result.kind = BatchDuplicityResult::NoList;
            result.reason = source.reason;
            return result;
        }
        text = std::move(source.text);
    } else {
        text = KamToWin(GetOption("1", request.positionals));
        std::replace(text.begin(), text.end(), ',', '\n');
        std::replace(text.begin(), text.end(), ';', '\n');
    }
    if (text.find('\n') == std::string::npos) {
        result.kind = BatchDuplicityResult::NoList;
        result.reason = "The list holds no line feed: nothing to check";
        return result;
    }
    DuplicityRun local;
    DuplicityRun& r = run ? *run : local;
    std::vector<int32_t> positions;
    std::vector<std::string> dosages;
    ListValues values;
    const int count = ParseMedicationList(text, positions, dosages, values);
    r.report = text;
    r.patient = ListValue(values, "pacos.jmeno");
    if (!text.empty())
        std::fprintf(stderr, "%s\n", Cp1250ToUtf8(text).c_str());
    r.resolved = 0;
    for (int i = 0; i < count && i < static_cast<int>(positions.size()); ++i)
        r.resolved += positions[static_cast<size_t>(i)] != 0 ? 1 : 0;
    if (r.resolved == 0) {
        result.kind = BatchDuplicityResult::NoList;
        result.reason = "No product of the list was found";
        return result;
    }
    const int k = FillAndCheck(positions, count, dosages, r.leks, r.dups);
    result.kind = k > 0 ? BatchDuplicityResult::Findings : BatchDuplicityResult::NoFindings;
    return result;
}

void AddDuplicityServices(ViewerServices& services)
{
    services.runBatchDuplicityCheck = [](const BatchDuplicityRequest& request) {
        return BatchDuplicityCheck(request);
    };
}
