#pragma once
// What the paragraph chooser shows and changes, without widgets: the
// paragraphs of one document kind as a two-level tree of groups and
// entries, each with a check state, the rows the grid pulls, the keys, and
// the selection that goes back to the settings.
//
// Entries come from the data texts' section "Ospc" (kind "S") or "Odst"
// (the others, filtered by the mask "Prohlizec.Vyb" + kind).  Each entry has
// its paragraph code, a tree mark and a state:
//   marks   "+" collapsed group, "-" expanded group, "^" group without
//           entries, "." entry shown, " " entry hidden;
//   states  "Y" included, "N" excluded, "?" (groups) partly; "y" and "n"
//           mark entries that follow their group's state.
// A selection lists the codes excluded and the end codes
// (ParagraphGroupEnd) of groups included whole; a trailing 255 is ignored.
//
// Rows are 1-based grid rows; Visible() holds the indexes of the entries
// with a mark above the blank, and row r shows Visible()[Top() + r - 1].

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class ParagraphChooserModel {
public:
    static constexpr size_t kMaxEntries = 79;
    // The row text's shown part: status character + 68 characters.
    static constexpr size_t kRowTextLength = 68;

    struct Entry {
        uint8_t code = 0;
        char mark = ' ';
        char state = 'Y';
        std::string text; // what the grid shows, data code page
    };

    // Builds the entries of `kind` from the text tables.  mode 'F' is the
    // text search's filter; any other letter is a viewer's, whose
    // highlighted paragraph (0 = none) is shown emphasised.
    void Build(char kind, char mode, std::string_view selection, uint8_t highlight);

    char Kind() const { return kind_; }
    char Mode() const { return mode_; }
    const std::vector<Entry>& Entries() const { return entries_; }
    const std::vector<uint8_t>& Visible() const { return visible_; }
    int Top() const { return top_; }
    uint8_t Highlight() const { return highlight_; }
    // The heading: a span row of the section's "Nadpis", padded.
    const std::string& Header() const { return header_; }

    // The text of grid row `row` (1-based): status character, the entry's
    // text padded to 68 characters, 255, the tree mark and the state (an
    // entry's state one symbol cell further in).  kEndOfRows past the end.
    std::string RowText(int row) const;

    // The grid's rows and the wheel's step in rows.
    void SetRowsShown(int rows);
    int RowsShown() const { return rows_; }
    void SetWheelStep(int rows) { wheelStep_ = rows < 1 ? 1 : rows; }
    // Top's largest value, also the scroll bar's maximum: visible count -
    // rows shown + 1, at least 0.
    int ScrollMax() const;
    // A thumb drag: Top within [0, ScrollMax()], the cursor kept on an entry.
    void SetTop(int top);

    // The cursor row (0 = none); it never passes the last entry shown.
    int CursorRow() const { return cursor_; }
    void SetCursorRow(int row);
    // The entry under the cursor, -1 for none.
    int Current() const;

    // A key: an action code (Up 372 ...) or a typed character.  Answers 0
    // when the key was used and the code unchanged when not.  Only without
    // modifiers or with Shift (shift: bit 0 Shift, other bits other
    // modifiers).
    uint16_t Key(uint16_t code, uint8_t shift = 0);
    // A click released on symbol cell `cell` (1-based) of the tree column
    // of row `row`: cell 1 acts as the tree mark, the others as the state
    // letter shown there, with the cursor on that row for the action.
    void ClickTree(int row, int cell);
    // "1" and a double click: the current entry's code becomes the
    // highlight, or none when it already is.
    void ToggleHighlight();
    // The All and None buttons: every visible line gets the state.
    void SetAllVisible(char state);
    // The All button stays down until a state key changes something.
    bool AllDown() const { return allDown_; }

    // The selection OK stores (at most 80 codes).
    std::string Selection() const;

private:
    bool IsEntry(size_t i) const { return entries_[i].mark == '.' || entries_[i].mark == ' '; }
    bool IsOpenGroup(size_t i) const { return entries_[i].mark == '+' || entries_[i].mark == '-'; }
    // The group heading an entry belongs to, -1 for none.
    int GroupOf(size_t i) const;
    // Sets a group's state: the current line, or for "?" on an entry its
    // group heading; only "+" and "-" groups.
    void SetGroupState(char state);
    void SetEntryState(size_t i, char state);
    void Expand(size_t i);
    void Collapse(size_t i);
    void RebuildVisible();
    void MarkTree();
    void SetGroupStatesFrom(std::string_view selection);
    void ChooseByKey(size_t c, bool no);
    void MoveByKey(uint16_t code);
    // Moves the cursor to visible index p, scrolling so that one row stays
    // above and below it while the list can scroll.
    void MoveTo(int p);
    void MoveBy(int delta);
    int VisibleIndexOf(size_t entry) const;
    void ClampView();

    char kind_ = 'K';
    char mode_ = 'F';
    std::vector<Entry> entries_;
    std::vector<uint8_t> visible_;
    std::string header_;
    int top_ = 0;
    int cursor_ = 0;
    int rows_ = 1;
    int wheelStep_ = 3;
    uint8_t highlight_ = 0;
    bool allDown_ = false;
};
