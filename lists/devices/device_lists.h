#pragma once
// The medical-device lists: list windows over the device table "pzt",
// browsed whole by code (K) or name (N), or restricted to the entry of a
// device code list: a type (T), a classification group (U), a maker (F), a
// holder (A) or a country (C).  Each row takes two text lines.

#include <cstdint>
#include <string>
#include <string_view>

#include "datastore/db_table.h"
#include "frame/windows/link_kind.h"
#include "lists/toolkit/list_source.h"
#include "lists/toolkit/vyb_types.h"

// The characters of a device row, its status character included.
constexpr size_t kDeviceRowLength = 255;

// " (AB)  ": a blank, the five characters, a blank, with "(" before the
// first and ")" after the last non-blank character; seven blanks for a
// blank code.
std::string ClassCodeText(std::string_view code5);
// The data text "TBa" of a package letter, blank-filled or cut to 4.
std::string PackKindText(char letter);
// The name of a device type code ("pzttypv"), of a device maker code
// ("pztvyrv", empty for a code led by a blank); the code and "not found"
// when the table lacks it.
std::string DeviceTypeName(std::string_view code);
std::string DeviceMakerName(std::string_view code);
// The device country name of a code ("pztzemv").
std::string LookupDeviceCountry(std::string_view code);

// The row of a device record in a list of `letter`: status 16 in the
// classification-group list (U) for a device whose group flag is set, else
// 0; then code, sequence, mark letter, name, supplement, type, package
// kind, maker, country, sale letter, limit, prescribers (42), the two
// prices, the letters, amounts and the class code ending at character 255.
std::string DeviceRowText(std::string_view record, char letter);

// The column geometry, order and heading of every device list.
std::string DeviceListGeometry();
std::string DeviceListOrder();
std::string DeviceListHeader();

// Opens (or raises) the full list of a window code whose middle letter
// value is 3 (K) or 14 (N); `prefix` is typed into it.
void OpenDeviceList(uint16_t code, std::string_view prefix = {});
// Opens the list restricted to the value the master offers under
// `linkKind`; the middle letter of the code is the list letter (K: U).
void OpenDependentDeviceList(uint16_t code, LinkKind linkKind);

// A device list of one letter.
class DeviceList : public ListSource {
public:
    explicit DeviceList(char letter) : letter_(letter) {}

    std::string_view CheckTables() override;
    void Fetch(VybRec& rec, TVybRow& row, std::string& text) override;
    ListAction React(VybRec& rec, ListAction action) override;
    std::string Info(uint8_t kind, uint8_t sub, const TVybRow& row, std::string_view key) const override;

private:
    bool OpenIndex();

    const char letter_;
    TDbTable table_;
};
