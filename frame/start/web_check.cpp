#include "frame/start/web_check.h"

#include <QByteArray>
#include <QString>

#include "datastore/kamenici.h"
#include "datastore/text_table.h"
#include "frame/message_box.h"
#include "frame/start/ipc.h"
#include "platform/gui/shell.h"

namespace {

// The UI text of a key as UTF-8, or empty when the key is missing.
std::string UiText(const std::string& section, const std::string& key, bool* found = nullptr)
{
    std::string value;
    const bool ok = GetTextEntry(UiTexts, section, key, value) != 0;
    if (found)
        *found = ok;
    return ok ? KamToQString(value).toStdString() : std::string();
}

std::string BareAddress(std::string_view kind)
{
    std::string address = UiText("Dupl", std::string(kind) + "1");
    const size_t q = address.find('?');
    if (q != std::string::npos)
        address.resize(q);
    return address;
}

void ShowNoBrowser(const std::string& suffix)
{
    ShowError(LookupText(UiTexts, "Chyby", "NoBrowser") + suffix);
}

} // namespace

std::string WebCheckAddress(std::string_view kind, std::string_view extra)
{
    const std::string address = BareAddress(kind);
    if (address.empty())
        return {};
    std::string second = UiText("Dupl", std::string(kind) + "2");
    if (!second.empty() && second[0] == '!')
        second.clear();
    if (!second.empty())
        second[0] = '?';
    const QByteArray value = KamToQString(extra).toUtf8().toPercentEncoding();
    return address + second + value.toStdString();
}

int OpenWebCheck(bool browserMode, std::string_view kind, std::string_view extra)
{
    const std::string address = browserMode ? BareAddress(kind) : WebCheckAddress(kind, extra);
    if (address.empty()) {
        // A missing text would otherwise be opened as its "!! " key.
        ShowNoBrowser("");
        return ShellResult::NotFound;
    }
    const int r = ShellOpen(address, {}, false);
    if (browserMode && r < 33)
        ShowNoBrowser(std::to_string(r));
    return r;
}
