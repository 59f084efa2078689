// PLACEHOLDER: the screenshot work replaces this file with the real viewer.
#include "gui/frmSS.h"

frmSS::frmSS(AppContext& ctx, QWidget* owner) : QDialog(owner), m_ctx(ctx) {
    setObjectName(QStringLiteral("frmSS"));
    setWindowTitle(QStringLiteral("Screen Shot"));
}
