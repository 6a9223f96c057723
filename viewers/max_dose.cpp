#include "viewers/max_dose.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include "datastore/db_table.h"
#include "datastore/table_layouts.h"
#include "platform/ascii.h"
#include "platform/coding.h"
#include "platform/fs.h"

namespace {

constexpr std::string_view kDrugsKey = "\"involvedDrugs\":[";
constexpr std::string_view kCodeKey = "\"code\":";
constexpr std::string_view kAtcKey = "\"ATC\":\"";
constexpr std::string_view kStatusKey = "\"status\":\"";
constexpr size_t kProgressLimit = 150;

bool LessByName(const std::string& a, const std::string& b)
{
    const std::string la = AsciiLower(a), lb = AsciiLower(b);
    return la != lb ? la < lb : a < b;
}

bool EndsWithMax(const std::string& name)
{
    return name.size() > 4 && AsciiEqualsIgnoreCase(std::string_view(name).substr(name.size() - 4), ".max");
}

// `n` bytes from `at`, as many as the file has.
std::string Take(const std::string& text, size_t at, size_t n)
{
    return at >= text.size() ? std::string() : text.substr(at, n);
}

std::string Trim(std::string_view s)
{
    return std::string(TrimRightBlanks(s));
}

std::string FolderOf(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

// --- The lister ------------------------------------------------------------------

std::vector<std::string> MaxDoseLister::Folders(const std::string& prefix)
{
    namespace fs = std::filesystem;
    const std::string folder = FolderOf(prefix);
    const std::string start = prefix.substr(folder.size() <= prefix.size() ? folder.size() : 0);
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code tec;
        if (!it->is_directory(tec))
            continue;
        const std::string name = it->path().filename().string();
        if (!AsciiStartsWithIgnoreCase(name, start))
            continue;
        const std::string rest = name.substr(start.size());
        if (rest.empty() || rest[0] == '-' || rest[0] == '.')
            continue;
        names.push_back(rest);
    }
    std::sort(names.begin(), names.end(), LessByName);
    return names;
}

std::vector<std::string> MaxDoseLister::Files(const std::string& folder)
{
    namespace fs = std::filesystem;
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code tec;
        if (it->is_directory(tec))
            continue;
        const std::string name = it->path().filename().string();
        if (name.empty() || name[0] == '-' || name[0] == '_' || !EndsWithMax(name))
            continue;
        names.push_back(name);
    }
    std::sort(names.begin(), names.end(), LessByName);
    return names;
}

int MaxDoseLister::Read(const std::string& path, std::string& out)
{
    return RealFileSystem().ReadFile(path, out);
}

// --- Errors ----------------------------------------------------------------------

void MaxDoseErrors::Add(size_t position, const char* kind, const std::string* value1,
                        const std::string* value2)
{
    if (text.empty()) {
        text = path;
        first = kind;
    }
    text += "\r\n poloha:\"" + std::to_string(position) + "\" typ:" + kind;
    if (value1)
        text += " hodn1:\"" + *value1 + "\"";
    if (value2)
        text += " hodn2:\"" + *value2 + "\"";
}

void AddMaxDoseError(const char* kind, const std::string* value1, const std::string* value2, size_t position,
                     MaxDoseErrors& errors)
{
    errors.Add(position, kind, value1, value2);
}

// --- One file ----------------------------------------------------------------------

int CheckMaxDoseFile(const std::string& prefix, const std::string& relative, TDbTable& kl, int& status,
                     MaxDoseErrors& errors, std::string& summary, MaxDoseLister& lister)
{
    status = 0;
    std::string path = prefix + relative;
    std::replace(path.begin() + static_cast<std::ptrdiff_t>(prefix.size()), path.end(), '\\', '/');
    errors = MaxDoseErrors{};
    errors.path = path;
    std::string text;
    if (int err = lister.Read(path, text)) {
        const std::string io = std::to_string(IoResultFromErrno(err));
        errors.Add(0, "open", &io);
        return 0;
    }
    const size_t open = text.find(kDrugsKey);
    if (open == std::string::npos) {
        errors.Add(1, "neMaxJs");
        return 0;
    }
    const size_t arrayStart = open + kDrugsKey.size();
    const size_t close = text.find(']', arrayStart);
    if (close == std::string::npos) {
        errors.Add(arrayStart + 1, "endDrugs");
        return 0;
    }
    const std::string name = relative.substr(0, relative.size() - 4);
    std::string firstAtc, rec;
    int added = 0;
    for (size_t at = text.find(kCodeKey, arrayStart); at != std::string::npos && at < close;
         at = text.find(kCodeKey, at + 8)) {
        const size_t value = at + kCodeKey.size() + 1; // past the colon and its quote
        const std::string read = Take(text, value, 8);
        if (read.size() < 8 || read[7] != '"')
            errors.Add(at + 1, "chybnyKod", &read);
        const std::string code = read.substr(0, std::min<size_t>(7, read.size()));
        FindRecord(kl, code, rec);
        if (DbStatus != 0 || code.size() < 7 || FieldDiffers(rec, kDrugCode.start, 7, code) != 0) {
            DbStatus = 0;
            errors.Add(at + 1, "neniLek", &code);
        } else {
            const std::string atc = Trim(GetField(rec, kDrugAtc.start, kDrugAtc.length));
            if (firstAtc.empty())
                firstAtc = atc;
            else if (atc != firstAtc)
                errors.Add(at + 1, "ruzneATC", &atc, &firstAtc);
        }
        const size_t owner = summary.find("\n" + code + "=");
        if (owner == std::string::npos) {
            summary += code + "=" + name + "\r\n";
            ++added;
        } else {
            const size_t from = owner + code.size() + 2;
            size_t end = from;
            while (end < summary.size() && static_cast<unsigned char>(summary[end]) >= 32)
                ++end;
            const std::string ownerName = summary.substr(from, end - from);
            errors.Add(at + 1, "obsazen", &code, &ownerName);
        }
    }
    size_t statusFrom = 8;
    const size_t atcAt = text.find(kAtcKey, close);
    if (atcAt == std::string::npos) {
        // A missing ATC is reported once; there is nothing to compare.
        errors.Add(close + 1, "chybiATC");
    } else {
        std::string fileAtc = Take(text, atcAt + kAtcKey.size(), 8);
        fileAtc = fileAtc.substr(0, fileAtc.find('"'));
        if (!firstAtc.empty() && fileAtc != firstAtc)
            errors.Add(atcAt + 1, "nesouladATC", &fileAtc, &firstAtc);
        statusFrom = atcAt + 8;
    }
    const size_t statusAt = text.find(kStatusKey, statusFrom);
    if (statusAt == std::string::npos) {
        errors.Add(statusFrom + 1, "bezStatus");
        return added;
    }
    const std::string word = Take(text, statusAt + kStatusKey.size(), 12);
    if (word == "For Publicat")
        status = 1;
    else if (word == "For Review\",")
        status = 2;
    else if (word == "In Progress\"")
        status = 3;
    else
        errors.Add(statusAt + 1, "divnyStatus", &word);
    return added;
}

// --- The batch ----------------------------------------------------------------------

std::string RunMaxDoseBatch(const std::string& dataFolder, const std::string& prefix,
                            MaxDoseProgress& progress, MaxDoseCounts* out, FileSystemOps& ops,
                            MaxDoseLister* lister)
{
    MaxDoseLister real;
    MaxDoseLister& list = lister ? *lister : real;
    MaxDoseCounts counts;
    DbStatus = 0;
    TDbTable kl;
    OpenTableIn(kl, dataFolder, TFileId("kl"), TFileId("klkod"), static_cast<uint16_t>(kKlLayout.Length()));
    if (DbStatus != 0) {
        const std::string fatal = "fatal: " + dataFolder + std::to_string(DbStatus);
        DbStatus = 0;
        OpenTableIn(kl, dataFolder, TFileId(), TFileId(), 0);
        counts.fatal = true;
        if (out)
            *out = counts;
        return fatal;
    }
    std::string summary = "\r\n", collected, shown;
    for (const std::string& folder : list.Folders(prefix)) {
        if (progress.StopRequested())
            break;
        for (const std::string& file : list.Files(prefix + folder + "/")) {
            if (progress.StopRequested())
                break;
            ++counts.files;
            std::string step = "\r" + file;
            MaxDoseErrors errors;
            int status = 0;
            const int added =
                CheckMaxDoseFile(prefix, folder + "\\" + file, kl, status, errors, summary, list);
            if (!errors.text.empty()) {
                collected += "\r\n" + errors.text;
                counts.errorLines +=
                    static_cast<int>(std::count(errors.text.begin(), errors.text.end(), '\r'));
                step += " " + errors.first;
            } else {
                step += "     OK";
            }
            progress.Append(step);
            counts.codes += added;
            counts.codesByStatus[status] += added;
            ++counts.filesByStatus[status];
        }
    }
    OpenTableIn(kl, dataFolder, TFileId(), TFileId(), 0);

    std::string result = "maximálek " + std::to_string(counts.files) + "\r  public/review/progres " +
                         std::to_string(counts.filesByStatus[1]) + "/" +
                         std::to_string(counts.filesByStatus[2]) + "/" +
                         std::to_string(counts.filesByStatus[3]);
    result += "\rbalení léků " + std::to_string(counts.codes) + "\r  public/review/progres " +
              std::to_string(counts.codesByStatus[1]) + "/" + std::to_string(counts.codesByStatus[2]) + "/" +
              std::to_string(counts.codesByStatus[3]);
    result += "\rchyb " + std::to_string(counts.errorLines);

    const SaveMode mode{false, 0, true};
    FileSaver stx(prefix + ".maxim.stx", ops, mode);
    stx.Write(std::string_view(summary).substr(2));
    if (!stx.Commit()) {
        counts.writeError = stx.TargetPath() + ": " + stx.ErrorText();
    } else {
        const std::string errPath = prefix + ".maxim.err";
        if (counts.errorLines > 0) {
            FileSaver err(errPath, ops, mode);
            err.Write(std::string_view(collected).substr(2));
            if (!err.Commit())
                counts.writeError = err.TargetPath() + ": " + err.ErrorText();
        } else if (int r = ops.Remove(errPath); r != 0 && r != ENOENT) {
            counts.writeError = errPath + ": " + SystemErrorText(r);
        }
        counts.written = counts.writeError.empty();
    }
    if (!counts.writeError.empty())
        result += "\r" + counts.writeError;
    if (out)
        *out = counts;
    return result;
}

// --- Look-ups ------------------------------------------------------------------------

std::string FindMaxDoseFileName(const std::string& prefix, std::string_view code)
{
    std::string text;
    if (ReadWholeFile(prefix + ".maxim.stx", text) != 0 || text.size() <= 9)
        return {};
    text = "\n" + text + "\r";
    const size_t at = text.find("\n" + std::string(code) + "=");
    if (at == std::string::npos)
        return {};
    const size_t from = at + code.size() + 2;
    const size_t cr = text.find('\r', from);
    if (cr == std::string::npos || cr - from > 13)
        return {};
    return text.substr(from, cr - from);
}

std::string MaxDoseFilePath(const std::string& prefix, const std::string& name)
{
    std::string rel = name;
    std::replace(rel.begin(), rel.end(), '\\', '/');
    return prefix + rel + ".max";
}

bool HasProductCodeMarker(std::string_view text)
{
    return text.find(std::string_view("\x13\x01\x10", 3)) != std::string_view::npos;
}

std::vector<std::string> DocumentProductCodes(std::string_view text)
{
    std::vector<std::string> codes;
    const size_t marker = text.find(std::string_view("\x13\x01\x10", 3));
    if (marker == std::string_view::npos)
        return codes;
    for (size_t at = marker + 3; at + 7 <= text.size() && IsDigit(text[at]); at += 8)
        codes.emplace_back(text.substr(at, 7));
    return codes;
}

bool IsSpecificProgrammeProduct(std::string_view drug)
{
    return FieldByte(drug, kDrugRegistrationType) == 'S';
}

int32_t ProgrammeCounterpart(std::string_view drug, TDbTable& klrc)
{
    const std::string_view reg = FieldBytes(drug, kDrugRegistrationNumber);
    if (!IsSpecificProgrammeProduct(drug) || reg.empty() || reg[0] == '1')
        return 0;
    const std::string key(reg);
    std::string other;
    int32_t found = 0;
    FindRecord(klrc, key, other);
    for (int32_t pos = klrc.Position();
         DbStatus == 0 &&
         FieldDiffers(other, kDrugRegistrationNumber.start, kDrugRegistrationNumber.length, key) == 0;
         ReadByOrder(klrc, ++pos, other)) {
        const char state = FieldByte(other, kDrugState);
        if (state != '-' && state != '\\' && !IsSpecificProgrammeProduct(other)) {
            found = klrc.recNo;
            break;
        }
    }
    DbStatus = 0;
    return found;
}

MaxDoseProduct MaxDoseProductOf(int32_t record, TDbTable& klrc)
{
    auto hasSpc = [](std::string_view rec) {
        return static_cast<size_t>(kDrugSpcOffset.End()) <= rec.size() &&
               static_cast<int32_t>(DecodeLE32(rec.data() + kDrugSpcOffset.Offset())) >= 1;
    };
    MaxDoseProduct product;
    if (record < 1 || record >= klrc.dat.count)
        return product;
    std::string rec;
    ReadRecord(klrc.dat, record, rec);
    if (DbStatus != 0 || !hasSpc(rec)) {
        DbStatus = 0;
        return product;
    }
    product.record = record;
    product.hasDocument = true;
    if (const int32_t counterpart = ProgrammeCounterpart(rec, klrc); counterpart > 0) {
        product.record = counterpart;
        product.counterpart = true;
        ReadRecord(klrc.dat, counterpart, rec);
        product.hasDocument = DbStatus == 0 && hasSpc(rec);
        DbStatus = 0;
    }
    return product;
}

std::vector<std::string> CollectRegCodes(std::string_view text, TDbTable& klrc)
{
    std::vector<std::string> codes;
    const size_t marker = text.find(std::string_view("\x13\x03\x10", 3));
    if (marker == std::string_view::npos || marker + 3 >= text.size() || !IsDigit(text[marker + 3]))
        return codes;
    size_t at = marker + 3;
    if (text.substr(at, 27).find("/P") != std::string_view::npos)
        return codes;
    std::string rec;
    while (at + 11 < text.size()) {
        // "NN/MMM/YY" or "NN/MMMM/YY".
        const std::string_view s = text.substr(at);
        size_t mid = 0;
        while (3 + mid < s.size() && IsDigit(s[3 + mid]) && mid < 5)
            ++mid;
        if (s.size() < 3 + mid + 3 || !IsDigit(s[0]) || !IsDigit(s[1]) || s[2] != '/' ||
            (mid != 3 && mid != 4) || s[3 + mid] != '/' || !IsDigit(s[4 + mid]) || !IsDigit(s[5 + mid]))
            break;
        std::string key = "=";
        key += s.substr(4 + mid, 2);
        key += std::string(4 - mid, ' ');
        key += s.substr(3, mid);
        key += s.substr(0, 2);
        FindRecord(klrc, key, rec);
        for (int32_t pos = klrc.Position();
             DbStatus == 0 && FieldDiffers(rec, kDrugRegistrationNumber.start, 9, key) == 0;) {
            const char state = FieldByte(rec, kDrugState);
            if (state != '-' && state != '\\' && IsSpecificProgrammeProduct(rec))
                codes.push_back(GetField(rec, kDrugCode.start, 7));
            ReadByOrder(klrc, ++pos, rec);
        }
        DbStatus = 0;
        // The next number after the first control character of 8..26.
        size_t i = 27;
        for (size_t k = 7; k < 26 && k < s.size(); ++k)
            if (static_cast<unsigned char>(s[k]) < 32) {
                i = k + 1;
                break;
            }
        at += i + 1;
    }
    return codes;
}

void ReadSection10(std::string_view text, MaxDoseRequest& request)
{
    const std::string_view marker("\x12\x0A\x10", 3);
    for (size_t m = text.find(marker); m != std::string_view::npos; m = text.find(marker, m + 1)) {
        if (text.substr(m + 3, 4) != "10. ")
            continue;
        const std::string_view para = text.substr(std::min(text.size(), m + 10), 255);
        const size_t e = para.find('\x0E');
        if (e != std::string_view::npos) {
            request.hasDate = true;
            size_t end = e + 1;
            while (end < para.size() && end - e - 1 < 18 &&
                   (para[end] == ' ' || para[end] == '.' || IsDigit(para[end])))
                ++end;
            std::string run(para.substr(e + 1, end - e - 1));
            const size_t p1 = run.find('.');
            const size_t p2 = p1 == std::string::npos ? p1 : run.find('.', p1 + 1);
            if (p2 != std::string::npos) {
                auto trim = [](std::string s) {
                    s.erase(0, s.find_first_not_of(' '));
                    s.erase(s.find_last_not_of(' ') + 1);
                    return s;
                };
                auto two = [&](std::string s) {
                    s = trim(s);
                    return s.size() < 2 ? std::string(2 - s.size(), '0') + s : s;
                };
                request.date = trim(run.substr(p2 + 1, 6)) + "/" + two(run.substr(p1 + 1, p2 - p1 - 1)) +
                               "/" + two(run.substr(0, p1));
            }
        }
        // "(č.j." in the data code page: č is 0x9F in Kamenický.
        const std::string_view ref("(\x9F.j.", 5);
        const size_t r = para.find(ref);
        if (r != std::string_view::npos) {
            request.hasReference = true;
            size_t end = r + ref.size();
            while (end < para.size() && end - r - ref.size() < 18 &&
                   (para[end] == ' ' || para[end] == '/' || IsDigit(para[end])))
                ++end;
            std::string num(para.substr(r + ref.size(), end - r - ref.size()));
            num.erase(0, num.find_first_not_of(' '));
            num.erase(num.find_last_not_of(' ') + 1);
            request.reference = num;
        }
        return;
    }
}

std::string RvxmlExport(const MaxDoseRequest& request)
{
    const std::string style = "<text textstyle=\"Kodex\" parastyle=\"Kodex\">";
    std::string out =
        "<?xml version=\"1.0\" encoding=\"windows-1250\"?>\r\n<rvxml>\r\n<document stringtags=\"0\">\r\n";
    out += style + "01</text>\r\n";
    for (const std::string& code : request.codes)
        out += "<text>" + code + "</text>\r\n";
    if (request.hasDate)
        out += style + "91</text>\r\n<text>" + request.date + "</text>\r\n";
    if (request.hasReference)
        out += style + "92</text>\r\n<text>" + request.reference + "</text>\r\n";
    out += style + "94</text>\r\n<text>" + std::to_string(request.documentNumber) + "</text>\r\n";
    out += "</document>\r\n</rvxml>\r\n";
    return out;
}
