#pragma once

#include <QWidget>

class QPushButton;
struct AppContext;

class frmSplash : public QWidget {
    Q_OBJECT
public:
    explicit frmSplash(AppContext& ctx, QWidget* parent = nullptr);
    QPushButton* cmdOK = nullptr;

private:
    AppContext& m_ctx;
};
