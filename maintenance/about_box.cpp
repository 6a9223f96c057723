#include "maintenance/about_box.h"

#include <QDate>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QUrl>

#include <charconv>
#include <vector>

#include "datastore/kamenici.h"
#include "datastore/run_log.h"
#include "datastore/service_hooks.h"
#include "datastore/tagged_record.h"
#include "datastore/text_table.h"
#include "frame/config/config_file.h"
#include "frame/message_box.h"
#include "frame/start/command_line.h"
#include "frame/start/ipc.h"
#include "maintenance/usage_stats.h"
#include "maintenance/version_folders.h"
#include "platform/cp1250.h"
#include "platform/fs.h"
#include "ui_o_aplikaci.h"

#ifndef QEVW_FILE_VERSION
#define QEVW_FILE_VERSION "0.0.0"
#endif

// Resources of a static library are registered by hand (the linker would
// drop an unreferenced initializer).
static void InitAboutResources()
{
    Q_INIT_RESOURCE(about);
}

namespace {

constexpr int kUnreadableDataVersion = 625;
constexpr size_t kLongLine = 20;
constexpr uint32_t kLargestCustomer = 99999998;

// "0.1.0" gives 0, 1, 0, 0: a missing number is 0.
std::array<int, 4> CompiledVersion()
{
    std::array<int, 4> v{};
    std::string_view text = QEVW_FILE_VERSION;
    for (int& n : v) {
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
        if (ec != std::errc())
            n = 0;
        const size_t used = static_cast<size_t>(end - text.data());
        text.remove_prefix(std::min(text.size(), used + 1));
    }
    return v;
}

// Display text of the box: CR LF and CR as line breaks.
QString Shown(const std::string& text)
{
    QString s = Cp1250ToQString(text);
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return s;
}

std::string UiWin(std::string_view section, std::string_view key)
{
    return KamToWin(ProgramText(section, key));
}

} // namespace

int DataVersionOf(const std::optional<std::string>& manifest)
{
    if (!manifest)
        return 0;
    size_t start = 0;
    const std::string& text = *manifest;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string_view line(text.data() + start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        start = end + 1;
        if (line.substr(0, 4) != "dbf=") {
            if (line.size() > kLongLine)
                return kUnreadableDataVersion;
            continue;
        }
        std::string value(line.substr(4));
        if (value.size() > 1 && value[1] == '.')
            value.erase(1, 1);
        else if (value.size() > 2 && value[2] == '.')
            value.erase(2, 1);
        int n = 0;
        const auto [end2, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
        if (ec != std::errc() || end2 != value.data() + value.size() || value.empty())
            return kUnreadableDataVersion;
        return n;
    }
    return 0;
}

std::array<char, 3> WeekdaySeparators(int weekday)
{
    static constexpr int kCodes[] = {18, 20, 21, 22, 19, 17, 23};
    const int w = kCodes[(weekday >= 1 && weekday <= 7 ? weekday : 1) - 1];
    return {(w & 1) ? ',' : '.', (w & 4) ? ',' : '.', (w & 2) ? ',' : '.'};
}

AboutFacts CurrentAboutFacts()
{
    AboutFacts f;
    f.weekday = QDate::currentDate().dayOfWeek();
    std::string manifest;
    if (ReadWholeFile(ProgramStart().ProgramFolder + kManifestName, manifest) == 0)
        f.manifest = std::move(manifest);
    f.fileVersion = CompiledVersion();
    std::string title;
    // Installer mode has no data texts: the main window's caption then.
    f.dataTitle = GetTextEntry(DataTexts, "Verze", "Nadpis", title) != 0 ? KamToWin(title) : "KALVO";
    f.programVersion = UiWin("Uvod", "Ver");
    f.closed =
        Config().Read([](const ConfigValues& v) { return v.updateBase == ' ' || !v.updateDate.empty(); });
    return f;
}

std::string AboutVersionText(const AboutFacts& f)
{
    const int n = DataVersionOf(f.manifest);
    const std::array<char, 3> s = WeekdaySeparators(f.weekday);
    const std::array<int, 4>& v = f.fileVersion;
    std::string text = f.dataTitle + "  (" + std::to_string(n / 100) + "." + std::to_string(n % 100) +
                       ")\r\n" + "Win (" + std::to_string(v[0]) + s[0] + std::to_string(v[1]) + s[1] +
                       std::to_string(v[2]) + s[2] + std::to_string(v[3]) + "-6.41-" + f.programVersion;
    if (f.closed)
        text += ")";
    const size_t comma = text.find(',');
    if (comma != std::string::npos) {
        text.erase(comma, 1);
        if (comma < text.size())
            text.insert(comma + 1, "\r\n");
    }
    return text;
}

std::string CustomerText(uint32_t customer)
{
    if (customer < 1 || customer > kLargestCustomer)
        return {};
    char digits[9];
    std::snprintf(digits, sizeof digits, "%08u", customer);
    return std::string(digits, 4) + " " + std::string(digits + 4, 4);
}

std::string AboutInstallationText(const std::string& record)
{
    const std::string head = GetTaggedField(record, kTaggedHead);
    uint32_t customer = 0;
    for (size_t i = 0; i < 4 && i < head.size(); ++i)
        customer |= uint32_t(uint8_t(head[i])) << (8 * i);
    return UiWin("OAplikaci", "Jmeno") + "\t" + KamToWin(GetTaggedField(record, 6)) + "\r" +
           UiWin("OAplikaci", "Org") + "\t" + KamToWin(GetTaggedField(record, 7)) + "\r" +
           UiWin("OAplikaci", "ICO") + "\t" + CustomerText(customer);
}

TOAplikaci::TOAplikaci(QWidget* parent, const AboutFacts& facts)
    : TDlgForm(parent), ui_(std::make_unique<Ui::OAplikaci>())
{
    InitAboutResources();
    ui_->setupUi(this);
    setWindowFlag(Qt::WindowStaysOnTopHint);
    ui_->Memo->hide();
    PrepareDialog();
    ui_->Verze->setText(Shown(AboutVersionText(facts)));
    ui_->Pamet->setText(Shown(AboutInstallationText(UpdateShared().InstallationRecord())));
    ui_->Pamet->show();
    for (QLabel* link :
         {ui_->www1, ui_->email1, ui_->www2, ui_->www3, ui_->www4, ui_->www6a, ui_->www6b, ui_->www7}) {
        link->setCursor(Qt::PointingHandCursor);
        link->installEventFilter(this);
    }
    ui_->Image1->installEventFilter(this);
    ui_->Pamet->installEventFilter(this);
    ui_->Memo->viewport()->installEventFilter(this);
}

TOAplikaci::~TOAplikaci() = default;

bool TOAplikaci::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonDblClick) {
        if (watched == ui_->Pamet) {
            PametDblClick();
            return true;
        }
        if (watched == ui_->Image1) {
            Image1DblClick();
            return true;
        }
        if (watched == ui_->Memo->viewport()) {
            MemoDblClick();
            return true;
        }
    }
    if (event->type() == QEvent::MouseButtonRelease) {
        if (watched == ui_->email1) {
            emailClick();
            return true;
        }
        if (auto* label = qobject_cast<QLabel*>(watched);
            label != nullptr && label->cursor().shape() == Qt::PointingHandCursor) {
            wwwClick(label);
            return true;
        }
    }
    return TDlgForm::eventFilter(watched, event);
}

void TOAplikaci::keyPressEvent(QKeyEvent* event)
{
    // A typed character closes the box (Escape, Enter and Backspace type
    // one too); arrows and page keys scroll the memo.
    if (!event->text().isEmpty()) {
        accept();
        return;
    }
    if (ui_->Memo->isVisible())
        QCoreApplication::sendEvent(ui_->Memo, event);
}

void TOAplikaci::OpenAddress(const QString& address)
{
    const int r = ShellOpen(address.toStdString(), {}, false);
    if (r <= 32)
        ShowError(ProgramText("Chyby", "NoBrowser") + std::to_string(r));
}

void TOAplikaci::wwwClick(QLabel* label)
{
    OpenAddress(QUrl::fromUserInput(label->text().trimmed()).toString());
}

void TOAplikaci::emailClick()
{
    const QString caption = ui_->email1->text();
    const qsizetype blank = caption.indexOf(QLatin1Char(' '));
    const QString address = blank < 0 ? caption : caption.mid(blank + 1);
    OpenAddress(QStringLiteral("mailto:") + address);
}

void TOAplikaci::ShowMemo(const std::string& text)
{
    ui_->Memo->setGeometry(0, 0, width() - 6, height());
    ui_->Memo->setPlainText(Shown(text));
    ui_->Memo->show();
    ui_->Memo->raise();
}

void TOAplikaci::PametDblClick()
{
    ShowMemo(RunLogText());
}

void TOAplikaci::Image1DblClick()
{
    std::vector<std::string> items;
    StatRequestItems(items, ProgramStart().ProgramFolder);
    std::string text;
    for (const std::string& item : items)
        text += item + "\r\n";
    ShowMemo(text);
}

void TOAplikaci::MemoDblClick()
{
    ui_->Memo->hide();
}

QString TOAplikaci::VersionShown() const
{
    return ui_->Verze->text();
}
QString TOAplikaci::InstallationShown() const
{
    return ui_->Pamet->text();
}
bool TOAplikaci::MemoShown() const
{
    return ui_->Memo->isVisible();
}
QString TOAplikaci::MemoText() const
{
    return ui_->Memo->toPlainText();
}
