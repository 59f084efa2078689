// PLACEHOLDER: the start-up work replaces this file with the real log window.
#include "gui/frmLog.h"

#include "core/session/AppContext.h"
#include "platform/ProgramEnd.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

frmLog::frmLog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmLog"));
    setWindowTitle(QStringLiteral("NFSHS Kavro - Download Log"));
    auto* layout = new QVBoxLayout(this);
    txtlog = new QPlainTextEdit(this);
    txtlog->setReadOnly(true);
    cmdOK = new QPushButton(QStringLiteral("Exit"), this);
    layout->addWidget(txtlog);
    layout->addWidget(cmdOK);
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
}

void frmLog::showAndEnd(AppContext& ctx, const QString& text) {
    frmLog w;
    w.txtlog->setPlainText(text);
    w.exec();
    ctx.programEnd->EndProgram();
}
