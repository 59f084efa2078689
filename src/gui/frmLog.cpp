#include "gui/frmLog.h"

#include "core/session/AppContext.h"
#include "core/session/InstanceChannel.h"
#include "gui/InstallFromFiles.h"
#include "platform/ProgramEnd.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

frmLog::frmLog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmLog"));
    setWindowTitle(QStringLiteral("NFSHS Kavro - Download Log"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    resize(660, 450);

    txtlog = new QPlainTextEdit(this);
    txtlog->setObjectName(QStringLiteral("txtlog"));
    txtlog->setReadOnly(true);
    txtlog->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    txtlog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtlog->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    txtlog->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    txtlog->setFont(logFont());

    cmdOK = new QPushButton(QStringLiteral("Exit"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setFixedSize(81, 25);
    cmdOK->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 6, 6);
    layout->addWidget(txtlog, 1);
    layout->addLayout(buttons);

    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
}

QFont frmLog::logFont() {
    QFont font;
    if (QFontDatabase::families().contains(QStringLiteral("Courier New"), Qt::CaseInsensitive))
        font = QFont(QStringLiteral("Courier New"));
    else
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPointSizeF(8.25);
    return font;
}

void frmLog::setLogText(const QString& text) {
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    shown.replace(u'\r', u'\n');
    txtlog->setPlainText(shown);
}

void frmLog::showAndEnd(AppContext& ctx, const QString& text,
                        const std::function<void()>& afterClose) {
    frmLog w;
    w.setLogText(text);
    w.exec();
    if (afterClose && !ctx.programEnd->ended())
        afterClose();
    if (!ctx.programEnd->ended() && ctx.instance && ctx.instance->hasQueuedZips()) {
        // Car ZIPs another start handed over during the run: installed now, then the end.
        InstallFromFiles::install(ctx, nullptr, ctx.instance->takeQueuedZips());
        return;
    }
    ctx.programEnd->EndProgram();
}
