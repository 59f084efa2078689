#pragma once

#include <QDialog>

struct AppContext;

// The full-size screenshot viewer, opened modally over the car browser.
class frmSS : public QDialog {
    Q_OBJECT
public:
    frmSS(AppContext& ctx, QWidget* owner);

private:
    AppContext& m_ctx;
};
