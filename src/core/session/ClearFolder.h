#pragma once

#include <QString>

// Empties folder (with or without a trailing "/") recursively and removes it; with remove false it
// is then created again, empty. Reports nothing: a file that cannot be deleted ends the work there,
// and what was deleted stays deleted. A sub-folder that cannot be emptied is passed over (the rest
// is still cleared). Links are removed as links: what they point to is never touched.
void ClearFolder(const QString& folder, bool remove);
