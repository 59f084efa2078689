// PLACEHOLDER: the catalogue-browsing work replaces this file with the real browser window.
#include "gui/frmCars.h"

#include <QCloseEvent>

frmCars::frmCars(AppContext& ctx, QWidget* parent) : QWidget(parent), m_ctx(ctx) {
    setObjectName(QStringLiteral("frmCars"));
    setWindowTitle(QStringLiteral("NFSHS Kavro"));
}
qint32 frmCars::GetCarIndex(qint16) const { return 0; }
void frmCars::DisableControls() {}
void frmCars::EnableControls() {}
void frmCars::updateDownloadButton() {}
void frmCars::addCar(const QString&, qint32) {}
int frmCars::checkedCount() const { return 0; }
void frmCars::closeEvent(QCloseEvent* e) { e->accept(); }
