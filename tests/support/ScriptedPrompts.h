#pragma once

#include "platform/MessageBoxService.h"

#include <QList>
#include <QQueue>
#include <QString>

// Message boxes for tests: records every box (text, title, style) and answers from a queue.
// A box with no queued answer is unexpected: it is recorded, answered with its first button's
// default (OK / No / Abort... see show()) and unexpectedCount() goes up, which the test checks.
class ScriptedPrompts : public MessageBoxService {
public:
    struct Box {
        QString text;
        QString title;
        int style = 0;
    };

    void expect(Answer answer) { m_answers.enqueue(answer); }
    // Allows boxes of a plain OK kind to be answered OK without queuing (e.g. a scan's notices).
    void setAutoOk(bool on) { m_autoOk = on; }

    Answer show(const QString& text, const QString& title, int style) override;

    const QList<Box>& boxes() const { return m_boxes; }
    int count() const { return int(m_boxes.size()); }
    const Box& last() const { return m_boxes.last(); }
    int unexpectedCount() const { return m_unexpected; }
    int pendingAnswers() const { return int(m_answers.size()); }
    void clear() {
        m_boxes.clear();
        m_answers.clear();
        m_unexpected = 0;
    }

private:
    QQueue<Answer> m_answers;
    QList<Box> m_boxes;
    int m_unexpected = 0;
    bool m_autoOk = false;
};
