#include "gui/frmSerial.h"

#include "core/gamedata/GameLock.h"
#include "core/gamedata/SerialConflicts.h"
#include "core/session/AppContext.h"
#include "core/session/Session.h"
#include "core/session/WorkFolder.h"
#include "gui/Twips.h"
#include "platform/MessageBoxService.h"
#include "platform/ProgramEnd.h"

#include <QCloseEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

using Twips::twips;

namespace {

const QString kWorking = QStringLiteral("Please wait... working...");

} // namespace

frmSerial::frmSerial(AppContext& ctx, QWidget* parent) : QWidget(parent), m_ctx(ctx) {
    setObjectName(QStringLiteral("frmSerial"));
    setWindowTitle(QStringLiteral("NFSHS Kavro - Serial Number Conflit Fixer"));
    setFont(QFont(QStringLiteral("Arial"), 8));
    setFixedSize(Twips::pixels(4650), Twips::pixels(2865));

    LblInfo1 = new QLabel(
        QStringLiteral("Serial numbers confliting is a major problem in NFSHS. This program will "
                       "run a check on all the cars you have installed and fix any serial number "
                       "conflits if there are any."),
        this);
    LblInfo1->setObjectName(QStringLiteral("LblInfo1"));
    LblInfo1->setWordWrap(true);
    LblInfo1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    LblInfo1->setGeometry(twips(120, 120, 4395, 675));

    lst1 = new QListWidget(this);
    lst1->setObjectName(QStringLiteral("lst1"));
    lst1->setGeometry(twips(120, 960, 4395, 1320));

    lblinfo = new QLabel(this);
    lblinfo->setObjectName(QStringLiteral("lblinfo"));
    lblinfo->move(Twips::pixels(180), Twips::pixels(2460));
    lblinfo->adjustSize();

    cmdStart = new QPushButton(QStringLiteral("Start"), this);
    cmdStart->setAutoDefault(true); // Enter on the focused button presses it, as Space does
    cmdStart->setObjectName(QStringLiteral("cmdStart"));
    cmdStart->setGeometry(twips(2160, 2400, 1155, 315));

    cmdExit = new QPushButton(QStringLiteral("Exit"), this);
    cmdExit->setAutoDefault(true); // Enter on the focused button presses it, as Space does
    cmdExit->setObjectName(QStringLiteral("cmdExit"));
    cmdExit->setGeometry(twips(3360, 2400, 1155, 315));

    connect(cmdStart, &QPushButton::clicked, this, &frmSerial::cmdStart_Click);
    connect(cmdExit, &QPushButton::clicked, this, &frmSerial::cmdExit_Click);
}

void frmSerial::cmdStart_Click() {
    // The check rewrites cars: no download run or kavro-cars command may change them meanwhile.
    WorkFolder workFolder(m_ctx.session->workDir());
    if (QString held; !m_workFolderHeld && !workFolder.lock(&held)) {
        m_ctx.prompts->show(held, windowTitle(), 16);
        return;
    }
    GameLock gameLock(m_ctx.session->GamePath);
    if (QString held; !gameLock.lock(&held)) {
        m_ctx.prompts->show(held, windowTitle(), 16);
        return;
    }
    lblinfo->setText(kWorking);
    lblinfo->adjustSize();
    cmdStart->setEnabled(false);
    cmdExit->setEnabled(false);
    // The check runs without yielding; draw the notice before it starts.
    lblinfo->repaint();

    lst1->addItems(FixSerialConflicts(*m_ctx.session, *m_ctx.prompts));

    lblinfo->clear();
    lblinfo->adjustSize();
    cmdExit->setEnabled(true);
}

void frmSerial::cmdExit_Click() {
    if (!m_endsProgram) {
        close();
        return;
    }
    m_ctx.programEnd->EndProgram();
}

void frmSerial::closeEvent(QCloseEvent* event) {
    // Closing the program's only window ends the program, except while a check runs.
    if (!cmdExit->isEnabled()) {
        event->ignore();
        return;
    }
    event->accept();
    if (m_endsProgram && !m_ctx.programEnd->ended())
        m_ctx.programEnd->EndProgram();
}
