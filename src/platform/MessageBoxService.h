#pragma once

#include <QString>
#include <QStringList>

// Message boxes, as the program asks for them: a text, a title and a style number. The window
// layer shows real boxes (QtMessageBoxService); tests answer from a script (ScriptedPrompts).
//
// Styles in use: 0 plain OK; 4 Yes/No; 16 critical icon, OK; 36 question icon, Yes/No;
// 48 exclamation icon, OK; 306 exclamation icon, Abort/Retry/Ignore with Retry the default.
class MessageBoxService {
public:
    enum Answer { Ok = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7 };
    enum class Buttons { Ok, OkCancel, AbortRetryIgnore, YesNoCancel, YesNo, RetryCancel };
    enum class Icon { None, Critical, Question, Exclamation, Information };

    struct Style {
        Buttons buttons = Buttons::Ok;
        Icon icon = Icon::None;
        int defaultButton = 1; // 1-based position of the default button
    };

    // The title a box shows when the caller gives none.
    static QString applicationTitle() { return QStringLiteral("Kavro"); }

    // Decodes a style number: buttons (low 4 bits), icon (16, 32, 48, 64), default button
    // (0, 256, 512 for the first, second, third).
    static Style decode(int style);

    virtual ~MessageBoxService() = default;
    // Shows the box modally and returns the button chosen. An empty title shows
    // applicationTitle().
    virtual Answer show(const QString& text, const QString& title, int style) = 0;
    // A box whose buttons (at most three) carry the given texts, the first the default; the
    // result is the position of the one chosen, the last one for the close box. The style gives
    // the icon. Here the box is asked of show() as Yes/No/Cancel, standing for the first,
    // second and third texts (what a script answers); the window layer shows the texts.
    virtual int choose(const QString& text, const QString& title, int style,
                       const QStringList& buttons);
};
