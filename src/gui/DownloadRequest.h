#pragma once

class frmCars;

// "Download and Install Cars": stores the options, enforces the limit of 50 installed cars and
// hands the ticked cars that have an address to the download window's run.
void RequestDownload(frmCars& w);
