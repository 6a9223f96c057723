#include "frame/dates.h"

#include <QDate>
#include <QDateTime>

#include "platform/ascii.h"

namespace {

std::string TwoDigits(int v)
{
    std::string s(2, '0');
    s[0] = static_cast<char>('0' + (v / 10) % 10);
    s[1] = static_cast<char>('0' + v % 10);
    return s;
}

std::string FourDigits(int v)
{
    std::string s(4, '0');
    for (int i = 3; i >= 0; --i, v /= 10)
        s[static_cast<size_t>(i)] = static_cast<char>('0' + v % 10);
    return s;
}

bool AllDigits(std::string_view s)
{
    if (s.empty())
        return false;
    for (char c : s)
        if (c < '0' || c > '9')
            return false;
    return true;
}

int Number(std::string_view digits)
{
    int v = 0;
    for (char c : digits)
        v = v * 10 + (c - '0');
    return v;
}

} // namespace

std::string FormatStoredDate(std::string_view stored)
{
    if (stored.size() < 10)
        return {};
    std::string day(stored.substr(8, 2));
    std::string month(stored.substr(5, 2));
    if (!month.empty() && month[0] == '0')
        month.erase(0, 1);
    if (!day.empty() && day[0] == '0')
        day.erase(0, 1);
    return day + "." + month + "." + std::string(stored.substr(0, 4));
}

std::string StoredDateFromInput(std::string_view text)
{
    std::string s(TrimIf(text, IsBlankOrControl));
    if (s.size() >= 2 && s[1] == '.')
        s.insert(0, "0");
    if (s.size() >= 3)
        s[2] = '/';
    if (s.size() >= 5 && s[4] == '.')
        s.insert(3, "0");
    if (s.size() != 10 || s[5] != '.')
        return {};
    const std::string_view v(s);
    const std::string_view year = v.substr(6, 4), month = v.substr(3, 2), day = v.substr(0, 2);
    if (!AllDigits(year) || !AllDigits(month) || !AllDigits(day))
        return {};
    if (!QDate::isValid(Number(year), Number(month), Number(day)))
        return {};
    return std::string(year) + "/" + std::string(month) + "/" + std::string(day);
}

std::string DateTextYmdFrom(const QDateTime& now, double days)
{
    const QDate d = now.addMSecs(static_cast<qint64>(days * 86400000.0)).date();
    return FourDigits(d.year()) + "/" + TwoDigits(d.month()) + "/" + TwoDigits(d.day());
}

std::string DateTextYmd(double days)
{
    return DateTextYmdFrom(QDateTime::currentDateTime(), days);
}

uint16_t PackedDateCode(const QDate& date)
{
    return static_cast<uint16_t>(((date.year() - 2000) * 12 + date.month() - 1) * 32 + date.day());
}

uint16_t TodayCode()
{
    return PackedDateCode(QDate::currentDate());
}
