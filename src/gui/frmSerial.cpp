// PLACEHOLDER: replaced by the window's own work; shows only its caption until then.
#include "gui/frmSerial.h"

#include <QPushButton>

frmSerial::frmSerial(AppContext& ctx, QWidget* parent) : QWidget(parent), m_ctx(ctx) {
    setObjectName(QStringLiteral("frmSerial"));
    setWindowTitle(QStringLiteral("NFSHS Kavro - Serial Number Conflit Fixer"));

}
