#pragma once

#include <QWidget>

class QLabel;
class QListWidget;
class QPushButton;
struct AppContext;

// The serial-number conflict fixer, the only window of a "/SERIAL" start: Start scans the
// installed cars and renumbers those that share a serial number (once per window), listing what
// it did in lst1; Exit ends the program.
class frmSerial : public QWidget {
    Q_OBJECT
public:
    explicit frmSerial(AppContext& ctx, QWidget* parent = nullptr);

    QLabel* LblInfo1 = nullptr;
    QListWidget* lst1 = nullptr;
    QLabel* lblinfo = nullptr;
    QPushButton* cmdStart = nullptr;
    QPushButton* cmdExit = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void cmdStart_Click();
    void cmdExit_Click();

    AppContext& m_ctx;
};
