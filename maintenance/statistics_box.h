#pragma once
// TStatistika: the statistics of the installed data set.  Every line comes
// from the data set's texts ("Stat.Nadpis", "Stat.L1" .. "Stat.L20"), so
// each data release brings its own figures; the box only lays them out
// (maintenance/statistics_layout.h) in the dialog font.
//
// Main thread only.

#include <memory>
#include <vector>

#include "frame/windows/dialog_base.h"
#include "maintenance/statistics_layout.h"

namespace Ui {
class Statistika;
}

class TStatistika : public TDlgForm {
    Q_OBJECT
public:
    explicit TStatistika(QWidget* parent = nullptr);
    ~TStatistika() override;

    const StatisticsGeometry& Geometry() const { return geometry_; }
    // The texts as painted.
    std::vector<StatisticsItem> Items() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::unique_ptr<Ui::Statistika> ui_;
    StatisticsGeometry geometry_;
};
