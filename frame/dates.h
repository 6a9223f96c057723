#pragma once
// Dates as the data stores them ("yyyy/mm/dd", packed day codes) and as the
// user reads and types them ("d.m.yyyy").

#include <cstdint>
#include <string>
#include <string_view>

class QDate;
class QDateTime;

// "yyyy?mm?dd" (any separators) as "d.m.yyyy" without leading zeros of day
// and month; empty for an input shorter than 10 characters.
std::string FormatStoredDate(std::string_view stored);
// A typed "d.m.yyyy" (one- or two-digit day and month) as "yyyy/mm/dd";
// empty when the result is no valid date.
std::string StoredDateFromInput(std::string_view text);
// The date `days` from now as "yyyy/mm/dd".
std::string DateTextYmd(double days);
std::string DateTextYmdFrom(const QDateTime& now, double days);
// ((year - 2000) x 12 + month - 1) x 32 + day, for today and for a date.
uint16_t TodayCode();
uint16_t PackedDateCode(const QDate& date);
