#pragma once

#include <QWidget>

class QPushButton;
struct AppContext;

class frmSelect : public QWidget {
    Q_OBJECT
public:
    explicit frmSelect(AppContext& ctx, QWidget* parent = nullptr);


private:
    AppContext& m_ctx;
};
