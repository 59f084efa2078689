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

    // Opened from another window (the Installed Cars window), Exit and the close box only close
    // this window; as the program's only window they end the program.
    void setEndsProgram(bool ends) { m_endsProgram = ends; }
    // Opened from a window of a running start, which already holds the work folder.
    void setWorkFolderHeld(bool held) { m_workFolderHeld = held; }

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
    bool m_endsProgram = true;
    bool m_workFolderHeld = false;
};
