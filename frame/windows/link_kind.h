#pragma once
// The kinds of value a data window offers to the windows opened from it, and
// that a dependent window follows (TDataForm::LinkKinds).  A header of its
// own so that list specs, document kinds and openers name a kind without the
// window base.  The values are the ones requests and tests carry.

#include <cstdint>

enum class LinkKind : uint8_t {
    None = 0,
    IndicationGroup = 1,   // isv record
    AtcGroup = 2,          // atc record
    AtcReference = 3,      // atcp record
    Country = 4,           // zemv record
    Drug = 6,              // kl record
    Substance = 7,         // kk record
    Holder = 10,           // drzv record
    Kind11 = 11,           // no window offers it yet; the menus enable groups for it
    GoodsCountry = 17,     // pfazemv record
    GoodsMaker = 18,       // pfavyrv record
    Goods = 20,            // pfa record
    GoodsCategory = 21,    // pfakatv record
    DeviceCountry = 25,    // pztzemv record
    DeviceMaker = 26,      // pztvyrv record
    DeviceType = 27,       // pzttypv record
    Device = 28,           // pzt record
    DeviceHolder = 29,     // pztohl record
    DeviceClassGroup = 30, // pztuhs record
};
