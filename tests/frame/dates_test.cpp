// Dates in their stored, typed and packed forms.

#include <gtest/gtest.h>

#include <QDate>
#include <QDateTime>

#include <map>
#include <string>

#include "frame/dates.h"

namespace {

TEST(Dates, StoredAndDisplayForms)
{
    const std::map<std::string, std::string> shown = {
        {"2024-10-10", "10.10.2024"},
        {"2024-01-01", "1.1.2024"},
        {"2024/03/05", "5.3.2024"},
        {"2024-10-01", "1.10.2024"},
        {"", ""},
        {"2024-1", ""},
    };
    for (const auto& [in, expected] : shown)
        EXPECT_EQ(FormatStoredDate(in), expected) << in;

    const std::map<std::string, std::string> typed = {
        {"5.3.2024", "2024/03/05"},
        {"15.10.2024", "2024/10/15"},
        {"05.3.2024", "2024/03/05"},
        {"5.03.2024", "2024/03/05"},
        {" 5.3.2024 ", "2024/03/05"},
        {"29.2.2024", "2024/02/29"},
        {"5.3.24", ""},
        {"31.2.2024", ""},
        {"29.2.2023", ""},
        {"5.13.2024", ""},
        {"", ""},
        {"ab.cd.efgh", ""},
        {"5/3/2024", ""},
        {"5.3.20245", ""},
    };
    for (const auto& [in, expected] : typed)
        EXPECT_EQ(StoredDateFromInput(in), expected) << in;

    const QDateTime evening(QDate(2024, 12, 31), QTime(18, 0));
    EXPECT_EQ(DateTextYmdFrom(evening, 0), "2024/12/31");
    EXPECT_EQ(DateTextYmdFrom(evening, 0.5), "2025/01/01");
    EXPECT_EQ(DateTextYmdFrom(evening, -365), "2024/01/01");
    EXPECT_EQ(PackedDateCode(QDate(2024, 3, 5)), ((24 * 12 + 2) * 32 + 5));
    EXPECT_EQ(PackedDateCode(QDate(2000, 1, 1)), 1);
}

} // namespace
