#include "core/gamedata/RandomCarId.h"

#include <QTime>
#include <random>

QString RandomCarId(qint64 seed) {
    std::mt19937 generator(static_cast<std::mt19937::result_type>(seed));
    QString id;
    for (int i = 0; i < 4; ++i) {
        // 24 random bits give a number in [0, 1) that never reaches 1.
        const double rnd = double(generator() >> 8) / double(1u << 24);
        id += QChar(65 + int(rnd * 26));
    }
    return id;
}

QString RandomCarId() {
    return RandomCarId(SecondsSinceMidnight());
}

int SecondsSinceMidnight() {
    return QTime::currentTime().msecsSinceStartOfDay() / 1000;
}
