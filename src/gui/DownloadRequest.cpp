// PLACEHOLDER: the download work replaces this file; until then the request does nothing.
#include "gui/DownloadRequest.h"

void RequestDownload(frmCars&) {}
