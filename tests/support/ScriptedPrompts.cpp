#include "ScriptedPrompts.h"

MessageBoxService::Answer ScriptedPrompts::show(const QString& text, const QString& title,
                                                int style) {
    m_boxes.append({text, title.isEmpty() ? applicationTitle() : title, style});
    if (!m_answers.isEmpty())
        return m_answers.dequeue();
    const Style s = decode(style);
    if (m_autoOk && s.buttons == Buttons::Ok)
        return Ok;
    ++m_unexpected;
    switch (s.buttons) {
    case Buttons::YesNo:
    case Buttons::YesNoCancel: return No;
    case Buttons::AbortRetryIgnore: return Abort;
    case Buttons::OkCancel:
    case Buttons::RetryCancel: return Cancel;
    default: return Ok;
    }
}
