#include "maintenance/statistics_box.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPushButton>

#include <string>

#include "datastore/kamenici.h"
#include "datastore/text_table.h"
#include "frame/windows/style.h"
#include "ui_statistika.h"

TStatistika::TStatistika(QWidget* parent) : TDlgForm(parent), ui_(std::make_unique<Ui::Statistika>())
{
    ui_->setupUi(this);
    PrepareDialog();
    // The caption is a data text ("Stat.Nadpis"), not a program text: the
    // form leaves it empty for this.
    setWindowTitle(KamToQString(LookupText(DataTexts, "Stat", "Nadpis")));

    const QFontMetrics fm(font());
    geometry_ = StatisticsGeometryOf(
        fm.height(), fm.horizontalAdvance(QString::fromLatin1(kStatisticsSample)), ui_->OKButton->height());
    setFixedSize(geometry_.client);
    ui_->OKButton->move((geometry_.client.width() - ui_->OKButton->width()) / 2,
                        geometry_.client.height() - 2 - ui_->OKButton->height());
    connect(ui_->OKButton, &QPushButton::clicked, this, &QDialog::accept);
}

TStatistika::~TStatistika() = default;

std::vector<StatisticsItem> TStatistika::Items() const
{
    return LayOutStatistics(
        [](int i) {
            StatisticsLine l;
            const std::string key = "L" + std::to_string(i);
            l.found = GetTextEntry(DataTexts, "Stat", key, l.text) != 0;
            if (!l.found)
                l.text = LookupText(DataTexts, "Stat", key);
            return l;
        },
        geometry_);
}

void TStatistika::paintEvent(QPaintEvent* event)
{
    TDlgForm::paintEvent(event);
    QPainter p(this);
    p.setFont(font());
    p.setPen(ProgramColour(ColourIndex::Text));
    const QFontMetrics fm(font());
    for (const StatisticsItem& item : Items()) {
        const QString text = KamToQString(item.text);
        const int x = item.rightAligned ? item.x - fm.horizontalAdvance(text) : item.x;
        p.drawText(x, item.y + fm.ascent(), text);
    }
}
