// PLACEHOLDER: the start-up work replaces this file with the real check.
#include "gui/CheckConnection.h"

#include "gui/frmSelect.h"

bool CheckConnection(AppContext& ctx) {
    auto* w = new frmSelect(ctx);
    w->show();
    return true;
}
