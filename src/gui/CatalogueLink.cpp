#include "gui/CatalogueLink.h"

bool CatalogueLink::offer(AppContext&, const QString&, QWidget*) {
    return false;
}
