#pragma once

#include <QString>

struct AppContext;
class Session;

// The decisions of the browser's screenshot preview, without widgets: which of its states the
// preview takes, whether the highlighted entry's screenshot is fetched or shown from the file
// that already holds it, and what the browser remembers of that file.
//
// The file ("Kavro_SS.dat" in the work folder) holds the last screenshot fetched; lastShotIndex
// is the list position whose screenshot it holds and shows, -1 when none.
namespace ScreenshotPreview {

enum class State {
    Off,      // "View Screen Shots" unchecked: the wide list, no picture, no caption
    Shown,    // the picture, "Screen Shot"
    NoShot,   // no picture, "No Screen Shot Available"
    Fetching, // the picture hidden, "Loading Screen Shot...", the controls disabled
};

// What a refresh does for list position p (catalogue index i).
struct Plan {
    State state = State::NoShot; // Off, NoShot (nothing to show), or Fetching (a picture to load)
    bool fetch = false;          // Fetching: fetch first; else the file already holds p's picture
    QString url;                 // the screenshot's address
};

Plan plan(const Session& session, bool previewsOn, qint16 p, qint32 i, qint16 lastShotIndex);

// The screenshot file of the session's work folder.
QString file(const Session& session);

// Fetches url into the screenshot file (a failure has shown its box). A fetch that replaced the
// file forgets lastShotIndex: the file no longer holds that entry's picture.
bool fetch(AppContext& ctx, const QString& url, qint16& lastShotIndex);

// The end of a refresh that had a picture to load: Shown (and p remembered) when the file held
// a picture, else NoShot.
State settle(bool pictureLoaded, qint16 p, qint16& lastShotIndex);

} // namespace ScreenshotPreview
