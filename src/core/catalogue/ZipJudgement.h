#pragma once

#include <QString>

class QProcess;

// The host tools' verdict on a car ZIP whose extractor has ended (see CarZip): the ZIP's own
// fault, or a failure of this machine (no extractor, a full or unwritable temporary folder, an
// extractor stopped by a signal) that says nothing about the ZIP.
struct ZipJudgement {
    enum class Outcome { Car, NotACar, NotJudged };
    Outcome outcome = Outcome::Car;
    QString why; // empty for a car

    static ZipJudgement car() { return {}; }
    static ZipJudgement notACar(QString why) { return {Outcome::NotACar, std::move(why)}; }
    static ZipJudgement notJudged(QString why) { return {Outcome::NotJudged, std::move(why)}; }

    // Judges what the extractor left in folder.
    static ZipJudgement of(QProcess& finished, const QString& folder);
};
