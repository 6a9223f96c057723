#pragma once
// The goods header window: a small list that follows a goods list and shows
// nine labelled fields of the goods record current there, one a row.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "datastore/db_table.h"
#include "lists/toolkit/list_source.h"
#include "lists/toolkit/vyb_types.h"

constexpr int kGoodsHeaderRows = 9;

// The values of the nine rows of a goods record: name, supplement,
// package, maker name, country name, EAN, further code, further text and
// the price (empty without one); each cut to 80 characters.
std::array<std::string, kGoodsHeaderRows> GoodsHeaderValues(std::string_view record);
// Row `row` (1..9): a NUL status character, the 15-character label
// "VybPFA.hl" + row digit, then the value.
std::string GoodsHeaderRowText(std::string_view record, int row);

// Opens the header under the goods list that is current, or hands an open
// header the goods list's record.
void OpenLekHlavList(uint16_t code);

// The header's list: rows 1..9 of the record of its link value.
class GoodsHeader : public ListSource {
public:
    std::string_view CheckTables() override;
    void Fetch(VybRec& rec, TVybRow& row, std::string& text) override;
    ListAction React(VybRec& rec, ListAction action) override;
    std::string Info(uint8_t kind, uint8_t sub, const TVybRow& row, std::string_view key) const override;

private:
    // The goods record of the link value; false when it cannot be read.
    bool ReadGoods(int32_t recNo, std::string& record);
    TDbTable table_;
};
