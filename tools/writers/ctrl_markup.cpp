#include "writers/ctrl_markup.h"

#include <vector>

#include "writers/csv_source.h"

namespace {

bool ParseNumber(std::string_view s, int max, int& v)
{
    if (s.empty() || s.size() > 5)
        return false;
    v = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + (c - '0');
    }
    return v <= max;
}

bool AppendText(std::string_view utf8, CtrlTextWriter& out, std::string& error)
{
    if (utf8.empty())
        return true;
    std::string kam;
    if (!Utf8ToKam(utf8, kam, error))
        return false;
    for (unsigned char c : kam)
        if (c < 32) {
            error = "a control character in the text";
            return false;
        }
    out.Text(kam);
    return true;
}

// The item between the braces: "n", "n:v,...", "n:...,\"TEXT\"".
bool AppendCode(std::string_view item, CtrlTextWriter& out, std::string& error)
{
    const size_t colon = item.find(':');
    int code = 0;
    if (!ParseNumber(item.substr(0, colon), 31, code)) {
        error = "bad code {" + std::string(item) + "}";
        return false;
    }
    if (colon == std::string_view::npos) {
        if (code >= 16) {
            error = "code " + std::to_string(code) + " needs a value";
            return false;
        }
        out.Code(static_cast<uint8_t>(code));
        return true;
    }
    if (code < 16) {
        error = "code " + std::to_string(code) + " takes no value";
        return false;
    }
    std::vector<int> values;
    std::string param;
    bool haveString = false;
    std::string_view rest = item.substr(colon + 1);
    for (;;) {
        if (!rest.empty() && rest[0] == '"') {
            const size_t q = rest.find('"', 1);
            if (q == std::string_view::npos || q + 1 != rest.size()) {
                error = "a string parameter must be closed and end the code";
                return false;
            }
            param = std::string(rest.substr(1, q - 1));
            for (char c : param)
                if (c < 32 || c > 95) {
                    error = "string parameter \"" + param + "\" holds a character outside 32-95";
                    return false;
                }
            haveString = true;
            break;
        }
        const size_t comma = rest.find(',');
        int v = 0;
        if (!ParseNumber(rest.substr(0, comma), 4095, v)) {
            error = "bad value in {" + std::string(item) + "}";
            return false;
        }
        values.push_back(v);
        if (comma == std::string_view::npos)
            break;
        rest = rest.substr(comma + 1);
    }
    if (haveString)
        out.CodeString(static_cast<uint8_t>(code), param, values);
    else
        out.Code(static_cast<uint8_t>(code), values);
    return true;
}

} // namespace

bool AppendCtrlMarkup(std::string_view utf8, CtrlTextWriter& out, std::string& error,
                      const CtrlMarkupShorthand& shorthand)
{
    std::string text;
    for (size_t i = 0; i < utf8.size(); ++i) {
        if (utf8[i] != '{') {
            text.push_back(utf8[i]);
            continue;
        }
        if (i + 1 < utf8.size() && utf8[i + 1] == '{') {
            text.push_back('{');
            ++i;
            continue;
        }
        const size_t close = utf8.find('}', i);
        if (close == std::string_view::npos) {
            error = "\"{\" without \"}\"";
            return false;
        }
        if (!AppendText(text, out, error))
            return false;
        text.clear();
        const std::string_view item = utf8.substr(i + 1, close - i - 1);
        i = close;
        if (!item.empty() && (item[0] < '0' || item[0] > '9')) {
            if (shorthand && shorthand(item, out))
                continue;
            error = "bad code {" + std::string(item) + "}";
            return false;
        }
        if (!AppendCode(item, out, error))
            return false;
    }
    return AppendText(text, out, error);
}

void ForEachSourceLine(std::string_view utf8,
                       const std::function<void(int line, std::string_view text)>& each)
{
    size_t pos = utf8.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
    int lineNo = 0;
    while (pos < utf8.size()) {
        size_t end = utf8.find('\n', pos);
        if (end == std::string_view::npos)
            end = utf8.size();
        std::string_view line = utf8.substr(pos, end - pos);
        pos = end + 1;
        ++lineNo;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.substr(0, 2) != "//")
            each(lineNo, line);
    }
}

bool CtrlMarkupToText(std::string_view utf8, std::string& out, const CtrlMarkupErrors& onError,
                      const CtrlMarkupDirective& directive)
{
    CtrlTextWriter w;
    bool ok = true;
    ForEachSourceLine(utf8, [&](int lineNo, std::string_view line) {
        if (line.empty())
            return;
        std::string error;
        if (line[0] == '@') {
            if (directive && directive(line, error))
                return;
            onError(lineNo, error.empty() ? "unknown directive " + std::string(line) : error);
            ok = false;
            return;
        }
        if (!AppendCtrlMarkup(line, w, error)) {
            onError(lineNo, error);
            ok = false;
        }
    });
    out = w.Take();
    return ok;
}
