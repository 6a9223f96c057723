#pragma once
// TOAplikaci, the about box: the data set's title and version, the
// program's version (its separators change with the weekday), the
// installation's name, organisation and customer number, the maker's and
// partners' pictures with their web and e-mail links, and on a double-click
// the run log or the usage-statistics items the next upload would send.
// A typed character closes it; arrow and page keys scroll the memo.
//
// Main thread only.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "frame/windows/dialog_base.h"

class QLabel;

namespace Ui {
class OAplikaci;
}

// The data version of a manifest's text: the first "dbf=" line's value with
// a "." in its second or else third place removed, as a number; 625 when a
// line longer than 20 characters comes first or the value is no number; 0
// without a manifest.
int DataVersionOf(const std::optional<std::string>& manifest);

// The separators between the four version numbers on a weekday (1 Monday ..
// 7 Sunday).
std::array<char, 3> WeekdaySeparators(int weekday);

// What the version text is made of.
struct AboutFacts {
    int weekday = 1;                     // 1 Monday .. 7 Sunday
    std::optional<std::string> manifest; // "kalvo.kvo" of the program folder
    std::array<int, 4> fileVersion{};    // the program's version numbers
    std::string dataTitle;               // "Verze.Nadpis" (display code page)
    std::string programVersion;          // "Uvod.Ver"
    bool closed = true;                  // no quarter notice pending
};
// This run's facts.
AboutFacts CurrentAboutFacts();
// The text of `Verze` (display code page, CR LF line ends).
std::string AboutVersionText(const AboutFacts& facts);

// The customer as the box shows it: "0000 1234" for 1 .. 99,999,998, else
// empty.
std::string CustomerText(uint32_t customer);
// The text of `Pamet` from the installation record (TAB and CR as written).
std::string AboutInstallationText(const std::string& record);

class TOAplikaci : public TDlgForm {
    Q_OBJECT
public:
    explicit TOAplikaci(QWidget* parent = nullptr, const AboutFacts& facts = CurrentAboutFacts());
    ~TOAplikaci() override;

    void wwwClick(QLabel* label);
    void emailClick();
    void PametDblClick();
    void Image1DblClick();
    void MemoDblClick();

    QString VersionShown() const;
    QString InstallationShown() const;
    bool MemoShown() const;
    QString MemoText() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void ShowMemo(const std::string& text);
    void OpenAddress(const QString& address);

    std::unique_ptr<Ui::OAplikaci> ui_;
};
