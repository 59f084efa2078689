#include "core/catalogue/ZipJudgement.h"

#include "core/gamedata/CarZip.h"
#include "core/gamedata/SerialConflicts.h"

#include <QProcess>

namespace {

// kavro-unzip's exit codes that say nothing about the ZIP: bad usage, a write failure on this
// machine, stopped by a signal.
constexpr int kBadUsage = 1;
constexpr int kWriteFailed = 4;
constexpr int kStopped = 6;

} // namespace

ZipJudgement ZipJudgement::of(QProcess& finished, const QString& folder) {
    if (finished.state() != QProcess::NotRunning || finished.exitStatus() != QProcess::NormalExit)
        return notJudged(QStringLiteral("the extractor did not finish"));
    const int code = finished.exitCode();
    const QString why = CarZip::judge(finished, folder);
    if (why.isEmpty())
        return car();
    if (code == kBadUsage || code == kWriteFailed || code == kStopped)
        return notJudged(why);
    if (code != 0)
        return notACar(why);
    // Unpacked whole: what the car's folder holds is the ZIP's; a failure to rewrite the
    // unpacked archive is this machine's.
    if (why == kInvalidNewArchiveError || why.startsWith(QLatin1String("the car's ZIP ")))
        return notACar(why);
    return notJudged(why);
}
