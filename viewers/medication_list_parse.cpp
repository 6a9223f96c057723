// The medication list's parsing: the XML prescription list, the plain
// product list and the goods list, each into record positions.

#include "viewers/medication_list.h"
#include "viewers/medication_list_parts.h"

#include <QMdiArea>

#include <algorithm>
#include <atomic>
#include <cstring>

#include "datastore/db_table.h"
#include "datastore/kamenici.h"
#include "datastore/paragraph_codes.h"
#include "datastore/run_log.h"
#include "datastore/table_layouts.h"
#include "datastore/text_table.h"
#include "datastore/utf8_text.h"
#include "frame/config/placement_scheme.h"
#include "frame/entry_points.h"
#include "frame/hooks.h"
#include "frame/start/command_line.h"
#include "frame/start/shared_helpers.h"
#include "frame/windows/data_form.h"
#include "frame/windows/main_form.h"
#include "frame/windows/request.h"
#include "platform/ascii.h"
#include "platform/coding.h"
#include "platform/cp1250.h"
#include "platform/fs.h"
#include "platform/shared_memory.h"

using namespace medication_parts;

// --- Parsing ----------------------------------------------------------------

std::string ListValue(const ListValues& values, std::string_view name)
{
    for (const std::string& v : values)
        if (v.size() > name.size() && v.compare(0, name.size(), name) == 0 && v[name.size()] == '=')
            return v.substr(name.size() + 1);
    return {};
}

namespace {

int ParseXmlList(std::string& text, std::vector<int32_t>& positions, std::vector<std::string>& dosageLines,
                 ListValues& values)
{
    values.clear();
    positions.assign(kMaxXmlItems, 0);
    std::string report;
    int count = 0;
    ReplaceTabs(text, ' ');
    bool inItem = false, inProduct = false, inPatient = false;
    std::string firstNames, surname;
    bool drugsOpen = false, drugsTried = false;

    ForEachLine(text, [&](std::string_view raw) {
        if (count >= kMaxXmlItems)
            return false;
        const std::string_view line = TrimBlanks(raw);
        if (StartsWith(line, "<erp:PLP>")) {
            inItem = true;
        } else if (StartsWith(line, "</erp:PLP>")) {
            inItem = false;
            ++count;
            // One dosage per item: an item without one gets an empty entry,
            // and extra ones of an item are dropped so later items stay in
            // step.
            if (static_cast<int>(dosageLines.size()) < count)
                dosageLines.emplace_back();
            while (static_cast<int>(dosageLines.size()) > count)
                dosageLines.pop_back();
        } else if (StartsWith(line, "<erp:HVLPReg>")) {
            inProduct = true;
        } else if (StartsWith(line, "</erp:HVLPReg>")) {
            inProduct = false;
        } else if (StartsWith(line, "<erp:Pacient>")) {
            inPatient = true;
        } else if (StartsWith(line, "</erp:Pacient>")) {
            inPatient = false;
            values.push_back(CutLimit("pacos.jmeno=" + firstNames + " " + surname));
        } else if (StartsWith(line, "<erp:Navod>")) {
            if (inItem)
                dosageLines.push_back(ElementText(line, "<erp:Navod>"));
        } else if (StartsWith(line, "<erp:Kod>")) {
            if (inItem && inProduct) {
                const std::string code = ElementText(line, "<erp:Kod>");
                if (!drugsTried) {
                    drugsTried = true;
                    drugsOpen = OpenLookup("kl", "klkod", kKlLayout.Length());
                }
                if (drugsOpen) {
                    std::string rec;
                    // Fewer than seven digits would match a longer code by prefix.
                    if (IsDigitRun(code, 1, 7) && FindKey(std::string_view(code).substr(0, 7), rec))
                        positions[static_cast<size_t>(count)] = LookupTable().recNo;
                    else
                        AddReportLine(report, "nenalezen ", code);
                }
            }
        } else if (StartsWith(line, "<erp:Jmena>")) {
            if (inPatient)
                firstNames = ElementText(line, "<erp:Jmena>");
        } else if (StartsWith(line, "<erp:Prijmeni>")) {
            if (inPatient)
                surname = ElementText(line, "<erp:Prijmeni>");
        }
        return true;
    });
    // Dosages of an unclosed last item do not belong to a counted one.
    if (static_cast<int>(dosageLines.size()) > count)
        dosageLines.resize(static_cast<size_t>(count));
    text = report;
    ReleaseLookup();
    return count;
}

} // namespace

int ParseMedicationList(std::string& text, std::vector<int32_t>& positions,
                        std::vector<std::string>& dosageLines, ListValues& values)
{
    dosageLines.clear();
    if (StartsWith(text, kBom))
        text.erase(0, kBom.size());
    if (!IsXmlList(text)) {
        const int n = ResolveDrugCodeList(text, positions, values);
        dosageLines.assign(static_cast<size_t>(n), std::string());
        return n;
    }
    return ParseXmlList(text, positions, dosageLines, values);
}

int ResolveDrugCodeList(std::string& text, std::vector<int32_t>& positions, ListValues& values)
{
    values.clear();
    if (StartsWith(text, "=")) {
        const size_t lf = text.find('\n');
        std::string name = text.substr(1, lf == std::string::npos ? std::string::npos : lf - 1);
        if (!name.empty() && name.back() == '\r')
            name.pop_back();
        values.push_back(CutLimit("pacos.jmeno=" + name));
        text.erase(0, lf == std::string::npos ? text.size() : lf + 1);
    }
    positions.assign(kMaxPlainProducts, 0);
    ReplaceTabs(text, kTabStandIn);
    SkipHeading(text);

    std::string report;
    int count = 0;
    std::string rec;
    ForEachLine(text, [&](std::string_view line) {
        if (count >= kMaxPlainProducts)
            return false;
        if (IsCommentLine(line))
            return true;
        if (IsDigitRun(line, 1, 7)) {
            if (!OpenLookup("kl", "klkod", kKlLayout.Length()))
                return true;
            if (FindKey(line.substr(0, 7), rec))
                positions[static_cast<size_t>(count++)] = LookupTable().recNo;
            else
                AddReportLine(report, "nenalezen ", line);
        } else if (IsDigitRun(line, 1, 5)) {
            if (!OpenLookup("pfa", "pfakod", kPfaLayout.Length()))
                return true;
            AddReportLine(report, FindKey(line.substr(0, 5), rec) ? "parafarm. " : "nenalezen ", line);
        } else {
            // A name ends before a word that begins with a digit (the
            // strength), its blank kept so that the name is not a prefix of
            // a longer one.
            std::string_view key = line;
            for (size_t i = 0; i + 1 < line.size(); ++i)
                if (line[i] == ' ' && IsAsciiDigit(line[i + 1])) {
                    key = line.substr(0, i + 1);
                    break;
                }
            std::string kamKey(key);
            WinToKamS(kamKey);
            if (OpenLookup("kl", "klnaz", kKlLayout.Length()) && FindKey(kamKey, rec)) {
                positions[static_cast<size_t>(count++)] = LookupTable().recNo;
            } else if (OpenLookup("pfa", "pfanaz", kPfaLayout.Length()) && FindKey(kamKey, rec)) {
                AddReportLine(report, "parafarm. ", line);
            } else {
                AddReportLine(report, "nenalezen ", key);
            }
        }
        return true;
    });
    text = report;
    ReleaseLookup();
    return count;
}

int ResolvePfaCodeList(std::string& text, std::vector<int32_t>& positions)
{
    int L = 5;
    std::string body = text;
    if (StartsWith(body, "=")) {
        size_t end = body.find_first_of("\r\n");
        if (StartsWith(body, "= Chyby ")) {
            const std::string number = body.substr(8, end == std::string::npos ? std::string::npos : end - 8);
            int value = 0;
            bool ok = !number.empty() && number.size() <= 6 && IsAllDigits(number);
            if (ok)
                value = std::stoi(number);
            // A length below 1 would let every line match.
            if (value >= 1)
                L = value;
        }
        if (end == std::string::npos)
            end = body.size();
        else if (body[end] == '\r' && end + 1 < body.size() && body[end + 1] == '\n')
            end += 2;
        else
            end += 1;
        body.erase(0, end);
    }
    ReplaceTabs(body, kTabStandIn);
    SkipHeading(body);

    const char* index = L == 6 ? "pfahem" : L == 13 ? "pfaean" : "pfakod";
    if (!OpenLookup("pfa", index, kPfaLayout.Length())) {
        ReleaseLookup();
        return 0;
    }
    positions.assign(kMaxGoodsPositions, 0);
    const FieldPos field = L == 6 ? kGoodsHemCode : L == 13 ? kGoodsEan : kGoodsCode;

    std::string report;
    int count = 0;
    std::string rec;
    ForEachLine(body, [&](std::string_view line) {
        if (count >= kMaxGoodsPositions)
            return false;
        if (IsCommentLine(line))
            return true;
        if (!IsDigitRun(line, 1, L)) {
            AddReportLine(report, "nenalezen ", line);
            return true;
        }
        const std::string_view key = line.substr(0, static_cast<size_t>(L));
        if (!FindKey(key, rec)) {
            AddReportLine(report, "nenalezen ", line);
            return true;
        }
        TDbTable& t = LookupTable();
        positions[static_cast<size_t>(count++)] = t.recNo;
        // The same code may stand on one further record (a second package).
        if (count < kMaxGoodsPositions) {
            ReadByOrder(t, t.Position() + 1, rec);
            if (DbStatus == 0 && FieldDiffers(rec, field.start, field.length, key) == 0 &&
                static_cast<int>(key.size()) == field.length)
                positions[static_cast<size_t>(count++)] = t.recNo;
        }
        return true;
    });
    text = report;
    ReleaseLookup();
    return count;
}
