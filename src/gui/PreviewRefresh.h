#pragma once

class frmCars;

// The browser's preview refresh: author line, screenshot fetch and the preview states. Runs on
// every change of the highlighted entry, from tmrFirstSS, and after "View Screen Shots" toggles.
void RefreshPreview(frmCars& w);
