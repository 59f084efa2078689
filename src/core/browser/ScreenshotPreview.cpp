#include "core/browser/ScreenshotPreview.h"

#include "core/catalogue/FetchFile.h"
#include "core/session/AppContext.h"
#include "core/session/Session.h"

namespace ScreenshotPreview {

Plan plan(const Session& session, bool previewsOn, qint16 p, qint32 i, qint16 lastShotIndex) {
    Plan result;
    if (!previewsOn) {
        result.state = State::Off;
        return result;
    }
    result.url = session.CarShotURLs.value(i);
    if (result.url.isEmpty())
        return result; // no address: NoShot without a fetch or a message
    result.state = State::Fetching;
    result.fetch = lastShotIndex != p;
    return result;
}

QString file(const Session& session) {
    return session.workDir() + QStringLiteral("Kavro_SS.dat");
}

bool fetch(AppContext& ctx, const QString& url, qint16& lastShotIndex) {
    // A failed fetch leaves the file as it was; a successful one replaced it.
    if (!FetchFile(ctx, url, file(*ctx.session)))
        return false;
    lastShotIndex = -1;
    return true;
}

State settle(bool pictureLoaded, qint16 p, qint16& lastShotIndex) {
    if (!pictureLoaded)
        return State::NoShot;
    lastShotIndex = p;
    return State::Shown;
}

} // namespace ScreenshotPreview
