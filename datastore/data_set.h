#pragma once
// The data sets a run shows.  The values are bits: drugs 1, non-drug goods
// ("pfa") 2, medical devices ("pzt") 4, all of them 7; None in installer
// mode.  The start options, the hand-over between copies, the main window
// and the data store's code tables all name a data set by this type.

#include <cstdint>

enum class DataSetCode : uint8_t { None = 0, Drugs = 1, Goods = 2, Devices = 4, All = 7 };
