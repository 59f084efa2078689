#pragma once

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

    // Sets the text, shows the window modally and ends the program when it has closed.
    static void showAndEnd(AppContext& ctx, const QString& text);

    QPlainTextEdit* txtlog = nullptr;
    QPushButton* cmdOK = nullptr;
};
