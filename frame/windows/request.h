#pragma once
// The one-shot request the main window keeps for the next command, and the
// two bytes an item request from another program leaves for the record
// viewer.  The dispatcher reads and clears them; the item opener and the
// viewers set and read them.
//
// The requested command, table kind and position themselves are the main
// window's one-shot Kind, LinkKinds[0] and LinkValues[0] (TDataForm), which
// the master search of FindDataWindow reads.
//
// Main thread only.

#include <cstdint>
#include <string>

// The main window's part (TMainForm derives from it; test hosts may too).
class MainRequestFields {
public:
    virtual ~MainRequestFields() = default;
    // 6: commands sent with value 1 open their window for the main window's
    // requested position (LinkValues[0]).
    uint8_t RequestMode = 0;
    // A text to start the next list's lookup with (data code page).
    std::string LookupRequest;
};

namespace RequestModeCode {
constexpr uint8_t None = 0;
constexpr uint8_t RequestedPosition = 6;
} // namespace RequestModeCode

// The request fields of the main window; nullptr when the main window has
// none (or there is no main window).
MainRequestFields* MainRequest();

// The paragraph (high nibble paragraph, low nibble subparagraph) and the
// text section an item request asks the record viewer to open at; 0 = none.
extern uint8_t RequestedParagraph;
extern uint8_t RequestedSection;
