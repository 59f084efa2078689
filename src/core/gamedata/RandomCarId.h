#pragma once

#include <QString>

// Car ids: four capital letters A to Z, each the character 65 + int(rnd * 26) for a uniform rnd
// in [0, 1), drawn from a generator seeded afresh on every call.

// The car id drawn from a generator seeded with seed (the same seed gives the same id).
QString RandomCarId(qint64 seed);
// The car id seeded from the time of day: calls within the same clock second give the same id.
QString RandomCarId();
// Seconds since midnight, local time.
int SecondsSinceMidnight();
