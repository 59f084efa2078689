#pragma once

#include <functional>

#include <QDialog>

class QPlainTextEdit;
class QPushButton;
struct AppContext;

// The download log window: the whole log in a fixed-pitch font and one Exit button. Whoever shows
// it shows it modally and ends the program when it closes.
class frmLog : public QDialog {
    Q_OBJECT
public:
    explicit frmLog(QWidget* parent = nullptr);

    // Sets the text, shows the window modally and ends the program when it has closed (after
    // afterClose, when given), unless another start handed car ZIPs over meanwhile: those are
    // installed first.
    static void showAndEnd(AppContext& ctx, const QString& text,
                           const std::function<void()>& afterClose = {});

    // Puts a log text (lines ending in CR LF) into txtlog.
    void setLogText(const QString& text);

    // "Courier New" at 8.25 points; where it is not installed, the system's fixed-pitch font at
    // the same size.
    static QFont logFont();

    QPlainTextEdit* txtlog = nullptr;
    QPushButton* cmdOK = nullptr;
};
