// PLACEHOLDER: replaced by the window's own work; shows only its caption until then.
#include "gui/frmSplash.h"

#include <QPushButton>

frmSplash::frmSplash(AppContext& ctx, QWidget* parent) : QWidget(parent), m_ctx(ctx) {
    setObjectName(QStringLiteral("frmSplash"));
    setWindowTitle(QStringLiteral("Welcome to NFSHS Kavro"));
    cmdOK = new QPushButton(QStringLiteral("Continue"), this);
}
