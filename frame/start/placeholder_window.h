#pragma once
// A stand-in main window until the real one exists: it shows which program
// type and data set this copy runs and every request another copy handed
// over, and writes each served request as a line on standard output
// ("served: " + the request); its first showing writes "window: type T,
// data set D".

#include <QMainWindow>

#include <string>

#include "datastore/data_set.h"

class QLabel;
class QListWidget;

class PlaceholderWindow : public QMainWindow {
public:
    PlaceholderWindow(uint8_t programType, DataSetCode dataSet);
    // Shows a served request (data code page).
    void ShowServed(const std::string& storedQuery);
    // Brings the window to the front: restore, raise, activate.
    void BringToFront();
    int ServedCount() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    uint8_t programType_;
    DataSetCode dataSet_;
    bool announced_ = false;
    QLabel* header_;
    QListWidget* served_;
};
