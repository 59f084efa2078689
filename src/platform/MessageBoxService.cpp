#include "platform/MessageBoxService.h"

MessageBoxService::Style MessageBoxService::decode(int style) {
    Style s;
    switch (style & 0x0F) {
    case 1: s.buttons = Buttons::OkCancel; break;
    case 2: s.buttons = Buttons::AbortRetryIgnore; break;
    case 3: s.buttons = Buttons::YesNoCancel; break;
    case 4: s.buttons = Buttons::YesNo; break;
    case 5: s.buttons = Buttons::RetryCancel; break;
    default: s.buttons = Buttons::Ok; break;
    }
    switch (style & 0x70) {
    case 16: s.icon = Icon::Critical; break;
    case 32: s.icon = Icon::Question; break;
    case 48: s.icon = Icon::Exclamation; break;
    case 64: s.icon = Icon::Information; break;
    default: s.icon = Icon::None; break;
    }
    switch (style & 0x300) {
    case 256: s.defaultButton = 2; break;
    case 512: s.defaultButton = 3; break;
    default: s.defaultButton = 1; break;
    }
    return s;
}

int MessageBoxService::choose(const QString& text, const QString& title, int style,
                              const QStringList& buttons) {
    const Answer answer = show(text, title, (style & 0x70) | 3);
    const int last = int(buttons.size()) - 1;
    if (answer == Yes)
        return 0;
    if (answer == No)
        return qMin(1, last);
    return last;
}
