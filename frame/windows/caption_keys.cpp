#include "frame/windows/caption_keys.h"

#include "datastore/kamenici.h"
#include "datastore/text_table.h"

namespace {

constexpr int kShortString = 255;
constexpr int kMaxKey = 99;

bool KeyParts(const QString& text, bool caption, QString& section, QString& key)
{
    const QString s = text.left(kShortString);
    const qsizetype p = s.indexOf(QLatin1Char('.'));
    if (p < 0)
        return false;
    if (caption && (p < 1 || p + 1 >= s.size() || s.at(p + 1) == QLatin1Char(' ')))
        return false;
    section = s.left(p);
    key = s.mid(p + 1, kMaxKey);
    return true;
}

} // namespace

bool CaptionKeyParts(const QString& caption, QString& section, QString& key)
{
    return KeyParts(caption, true, section, key);
}

bool HintKeyParts(const QString& hint, QString& section, QString& key)
{
    return KeyParts(hint, false, section, key);
}

QString UiText(const QString& section, const QString& key)
{
    return KamToQString(LookupText(UiTexts, QStringToKam(section), QStringToKam(key)));
}

QString HelpKeywordHint(const QString& keyword)
{
    QString section;
    QString key;
    if (!HintKeyParts(keyword, section, key))
        return keyword;
    return UiText(section, key);
}
