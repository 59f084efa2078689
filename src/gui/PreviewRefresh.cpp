// PLACEHOLDER: the screenshot work replaces this file; until then the preview stays as created.
#include "gui/PreviewRefresh.h"

void RefreshPreview(frmCars&) {}
