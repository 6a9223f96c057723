#include "lists/drugs/list_text_helpers.h"

#include "datastore/text_table.h"
#include "frame/config/config_file.h"
#include "platform/ascii.h"

namespace {

bool Found(const std::string& answer)
{
    return answer.empty() || answer[0] != '!';
}

} // namespace

std::string TranslateUnitText(std::string_view text)
{
    // A form field comes padded; its blanks are no part of any key.
    std::string rest(TrimRightBlanks(text));
    std::string suffix;
    if (rest.size() > 6) {
        const std::string pack = LookupText(DataTexts, "Lbal", rest.substr(rest.size() - 3));
        if (Found(pack)) {
            suffix = pack;
            rest.resize(rest.size() - 4);
        }
    }
    const std::string form = LookupText(DataTexts, "Lfor", rest);
    if (Found(form))
        return form + suffix;
    const size_t blank = rest.find(' ');
    if (blank == std::string::npos)
        return {};
    const std::string lead = LookupText(DataTexts, "Cpod", rest.substr(0, blank));
    const std::string tail = LookupText(DataTexts, "Lfor", rest.substr(blank + 1));
    if (!Found(tail))
        return {};
    return (Found(lead) ? lead : std::string()) + tail + suffix;
}

bool EnglishTables()
{
    return Config().Read([](const ConfigValues& v) { return v.LanguageIndex == 1; });
}
