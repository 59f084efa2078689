#pragma once

#include <QString>
#include <QStringList>

// The credits and notices that scroll through the welcome window's credits box.
namespace Credits {

// The separator between the blocks: a row of 50 asterisks.
QString separatorLine();

// The credits, one entry a line, in the order they scroll past (empty entries are blank lines).
QStringList lines();

// The lines joined with CR LF, as the credits label is given them.
QString text();

} // namespace Credits
