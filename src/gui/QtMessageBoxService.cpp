#include "gui/QtMessageBoxService.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace {

struct ButtonSpec {
    QMessageBox::StandardButton button;
    MessageBoxService::Answer answer;
};

QList<ButtonSpec> buttonsFor(MessageBoxService::Buttons buttons) {
    using B = MessageBoxService::Buttons;
    using A = MessageBoxService;
    switch (buttons) {
    case B::OkCancel:
        return {{QMessageBox::Ok, A::Ok}, {QMessageBox::Cancel, A::Cancel}};
    case B::AbortRetryIgnore:
        return {{QMessageBox::Abort, A::Abort},
                {QMessageBox::Retry, A::Retry},
                {QMessageBox::Ignore, A::Ignore}};
    case B::YesNoCancel:
        return {
            {QMessageBox::Yes, A::Yes}, {QMessageBox::No, A::No}, {QMessageBox::Cancel, A::Cancel}};
    case B::YesNo:
        return {{QMessageBox::Yes, A::Yes}, {QMessageBox::No, A::No}};
    case B::RetryCancel:
        return {{QMessageBox::Retry, A::Retry}, {QMessageBox::Cancel, A::Cancel}};
    case B::Ok:
        break;
    }
    return {{QMessageBox::Ok, A::Ok}};
}

QMessageBox::Icon iconFor(MessageBoxService::Icon icon) {
    switch (icon) {
    case MessageBoxService::Icon::Critical:
        return QMessageBox::Critical;
    case MessageBoxService::Icon::Question:
        return QMessageBox::Question;
    case MessageBoxService::Icon::Exclamation:
        return QMessageBox::Warning;
    case MessageBoxService::Icon::Information:
        return QMessageBox::Information;
    case MessageBoxService::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

// The box's text with every line end shown as one.
void setUp(QMessageBox& box, const QString& text, const QString& title, QMessageBox::Icon icon) {
    box.setObjectName(QStringLiteral("messageBox"));
    box.setWindowTitle(title.isEmpty() ? MessageBoxService::applicationTitle() : title);
    QString shown = text;
    // CR LF and a lone CR both end a line (the download window's texts use lone CRs).
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    box.setTextFormat(Qt::PlainText);
    box.setText(shown);
    box.setIcon(icon);
}

} // namespace

int QtMessageBoxService::choose(const QString& text, const QString& title, int style,
                                const QStringList& buttons) {
    QMessageBox box(QApplication::activeWindow());
    setUp(box, text, title, iconFor(decode(style).icon));
    QList<QAbstractButton*> made;
    for (int i = 0; i < buttons.size(); ++i)
        made.append(box.addButton(buttons.at(i), i + 1 == buttons.size()
                                                     ? QMessageBox::RejectRole
                                                     : QMessageBox::AcceptRole));
    if (made.isEmpty())
        made.append(box.addButton(QMessageBox::Ok));
    box.setDefaultButton(static_cast<QPushButton*>(made.first()));
    box.setEscapeButton(made.last());
    box.exec();
    const qsizetype chosen = made.indexOf(box.clickedButton());
    return chosen < 0 ? int(made.size()) - 1 : int(chosen);
}

MessageBoxService::Answer QtMessageBoxService::show(const QString& text, const QString& title,
                                                    int style) {
    const Style s = decode(style);
    QMessageBox box(QApplication::activeWindow());
    setUp(box, text, title, iconFor(s.icon));

    const QList<ButtonSpec> specs = buttonsFor(s.buttons);
    QList<QAbstractButton*> made;
    for (const ButtonSpec& spec : specs)
        made.append(box.addButton(spec.button));
    const int def = qBound(1, s.defaultButton, int(specs.size())) - 1;
    box.setDefaultButton(static_cast<QPushButton*>(made[def]));
    // Escape and the close box answer with the button Qt picks for them (OK, No, Cancel, Abort).

    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    for (int i = 0; i < made.size(); ++i)
        if (made[i] == clicked)
            return specs[i].answer;
    return specs.last().answer;
}
