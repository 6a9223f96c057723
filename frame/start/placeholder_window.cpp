#include "frame/start/placeholder_window.h"

#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

#include <cstdio>

#include "datastore/kamenici.h"

PlaceholderWindow::PlaceholderWindow(uint8_t programType, DataSetCode dataSet)
    : programType_(programType), dataSet_(dataSet)
{
    setWindowTitle(QStringLiteral("KALVO"));
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    header_ = new QLabel(QStringLiteral("Program type %1, data set %2 - requests served:")
                             .arg(programType)
                             .arg(static_cast<int>(dataSet)),
                         central);
    served_ = new QListWidget(central);
    layout->addWidget(header_);
    layout->addWidget(served_);
    setCentralWidget(central);
    resize(520, 240);
}

void PlaceholderWindow::ShowServed(const std::string& storedQuery)
{
    const QString text = KamToQString(storedQuery);
    served_->addItem(text);
    served_->scrollToBottom();
    std::printf("served: %s\n", text.toUtf8().constData());
    std::fflush(stdout);
}

void PlaceholderWindow::BringToFront()
{
    showNormal();
    raise();
    activateWindow();
}

void PlaceholderWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (announced_)
        return;
    announced_ = true;
    std::printf("window: type %d, data set %d\n", programType_, static_cast<int>(dataSet_));
    std::fflush(stdout);
}

int PlaceholderWindow::ServedCount() const
{
    return served_->count();
}
