#pragma once

#include <QWidget>

class QPushButton;
struct AppContext;

class frmSerial : public QWidget {
    Q_OBJECT
public:
    explicit frmSerial(AppContext& ctx, QWidget* parent = nullptr);


private:
    AppContext& m_ctx;
};
