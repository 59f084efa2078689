#pragma once

#include "platform/MessageBoxService.h"

#include <QTextStream>

// The boxes of the core's operations, for a program without windows: each text goes to standard
// error as one line, and the answer is always OK (nothing waits for a player).
class StderrNotices : public MessageBoxService {
public:
    explicit StderrNotices(QTextStream& err) : m_err(err) {}
    Answer show(const QString& text, const QString&, int) override {
        QString oneLine = text;
        oneLine.replace(QStringLiteral("\r\n"), QStringLiteral(" ")).replace(u'\r', u' ');
        m_err << "kavro-cars: " << oneLine << Qt::endl;
        return Ok;
    }

private:
    QTextStream& m_err;
};
