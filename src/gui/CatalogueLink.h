#pragma once

#include <QString>

class QWidget;
struct AppContext;

// The road of a kavro:// link: "kavro://add?url=" + the percent-encoded address of a server
// list or a catalogue (see CommandLine::isLink), from the command line or handed over by a second
// start. The address is fetched and judged as the Catalogues window's Add… does, and the player
// is asked whether to add it. A link not of that form, an address that is not http(s), or an
// answer that is neither a server list nor a catalogue is refused with a box naming the link.
// Yes adds the address to the player's catalogue sources, and every open server window lists its
// servers again.
namespace CatalogueLink {

// Takes the road for link; parent holds the boxes (may be null). True when the player added it.
bool offer(AppContext& ctx, const QString& link, QWidget* parent = nullptr);

} // namespace CatalogueLink
