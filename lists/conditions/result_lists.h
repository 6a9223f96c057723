#pragma once
// Result lists: list windows that walk a given set of record numbers instead
// of an index.  The compound search opens one for the drugs it found; the
// medication lists handed over by other programs open one through
// ShowDrugResultList ("Seznam", "Medikace"); the news window will open goods
// lists through ShowGoodsResultList.
//
// Entries are record numbers; 0 (an item that was not found) and a number
// beyond the table are stepped over, never read.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "datastore/db_table.h"
#include "lists/devices/device_lists.h"
#include "lists/drugs/drug_lists.h"
#include "lists/toolkit/list_source.h"

class TVyb;

// The walk every result list shares: where a fetch mode starts in the set,
// the direction it steps in, and the row of the first entry that gives one.
class ResultSetWalk {
public:
    explicit ResultSetWalk(std::vector<int32_t> records) : records_(std::move(records)) {}

    const std::vector<int32_t>& Records() const { return records_; }
    int32_t Size() const { return static_cast<int32_t>(records_.size()); }

    // Calls `deliver`(position, record number) from the mode's start in its
    // direction until it returns true (the row is made) or the set ends.
    // False when no row was made.  `deliver` returning false steps over the
    // entry (a read failure ends the walk: see StopWalk).
    template <typename Deliver>
    bool Walk(VybRec& rec, Deliver&& deliver)
    {
        int32_t p = Start(rec);
        const int step = Backwards(rec.FetchMode) ? -1 : 1;
        stop_ = false;
        for (; p >= 0 && p < Size() && !stop_; p += step) {
            if (deliver(p, records_[static_cast<size_t>(p)])) {
                if (rec.FetchMode != FetchModeCode::After)
                    rec.TopPos = p;
                return true;
            }
        }
        return false;
    }
    // Ends the walk in progress (a record that cannot be read).
    void StopWalk() { stop_ = true; }

private:
    int32_t Start(const VybRec& rec) const;
    static bool Backwards(uint8_t mode);

    std::vector<int32_t> records_;
    bool stop_ = false;
};

// The drug result list: rows of the drug lists, their hints and buttons.
class DrugResultList : public DrugList {
public:
    explicit DrugResultList(std::vector<int32_t> records) : DrugList('Q'), walk_(std::move(records)) {}

    std::string_view CheckTables() override;
    void Start(VybRec& rec) override;
    void Fetch(VybRec& rec, TVybRow& row, std::string& text) override;
    const std::vector<int32_t>& Records() const { return walk_.Records(); }

private:
    ResultSetWalk walk_;
};

// The device result list: the device lists' two-line rows, hints and
// commands over the devices found.
class DeviceResultList : public DeviceList {
public:
    explicit DeviceResultList(std::vector<int32_t> records) : DeviceList('Q'), walk_(std::move(records)) {}

    std::string_view CheckTables() override;
    void Start(VybRec& rec) override;
    void Fetch(VybRec& rec, TVybRow& row, std::string& text) override;
    const std::vector<int32_t>& Records() const { return walk_.Records(); }

private:
    bool OpenDevices();

    ResultSetWalk walk_;
    TDbTable devices_;
};

// Opens a drug result list "DQU" of `records` (record numbers of "kl");
// `statusText` in the caption (empty: "Medikace"), the icon caption its
// first word.  Always a new window.  nullptr when none was made.
TVyb* ShowDrugResultList(const std::vector<int32_t>& records, const std::string& statusText);

// The list of drugs a compound search found: "Podminka.Nalez" and the count
// in the caption, "Podminka.Pdm" as icon caption, the buttons of the drug
// lists.
TVyb* ShowDrugConditionResult(const std::vector<int32_t>& records);

// The list of devices a compound search found ("TQU"): caption
// "VybPZT.nQ", "Podminka.Nalez" and the count as status text.
TVyb* ShowDeviceConditionResult(const std::vector<int32_t>& records);
