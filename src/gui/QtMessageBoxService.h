#pragma once

#include "platform/MessageBoxService.h"

// The message boxes of the program, as Qt message boxes: the style's icon and buttons, its default
// button, the given title (the application's title when there is none).
class QtMessageBoxService : public MessageBoxService {
public:
    Answer show(const QString& text, const QString& title, int style) override;
    int choose(const QString& text, const QString& title, int style,
               const QStringList& buttons) override;
};
