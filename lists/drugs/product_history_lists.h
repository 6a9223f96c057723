#pragma once
// The consumption and price-history lists of a product: list windows that
// follow a drug list and show the rows of the product's code in the
// consumption tables ("spot1" quarterly, "spot2" yearly) or in the price
// history ("vzph").  Their columns are the tables' own fields, named in the
// column language; amounts show with their two decimals.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TVyb;

// Opens (or raises) the list of a command: "rC" + letter consumption (the
// quarterly table for "Y", the yearly one otherwise), "rH" + letter the price
// history.
void OpenConsumptionList(uint16_t code);
void OpenPriceHistory(uint16_t code);

// One column of a row text: the field it shows and its place.
struct RowColumn {
    std::string code; // three characters as the layout writes them ("Uh ")
    int length = 0;   // characters in the row text
};
// The columns of a row layout in row-text order ("RoC=06Uh =02...").  A
// column without "=NN" takes the length the width lookup gives.
std::vector<RowColumn> ParseRowLayout(std::string_view layout);

// A field's bytes as the list shows them: amounts (descriptors 0xB0-0xBF)
// with a "." before their two decimals, binary numbers in decimal, other
// text as it is, trimmed.
std::string FieldDisplayText(std::string_view bytes, uint8_t descriptor);
