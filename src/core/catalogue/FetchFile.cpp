// PLACEHOLDER: the catalogue work replaces this with the real fetch and its messages.
#include "core/catalogue/FetchFile.h"

bool FetchFile(AppContext&, const QString&, const QString&) { return false; }
