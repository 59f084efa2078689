// PLACEHOLDER: replaced by the window's own work; shows only its caption until then.
#include "gui/frmSelect.h"

#include <QPushButton>

frmSelect::frmSelect(AppContext& ctx, QWidget* parent) : QWidget(parent), m_ctx(ctx) {
    setObjectName(QStringLiteral("frmSelect"));
    setWindowTitle(QStringLiteral("NFSHS Kavro"));

}
