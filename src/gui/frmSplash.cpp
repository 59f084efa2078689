#include "gui/frmSplash.h"

#include "core/session/AppContext.h"
#include "core/session/ProgramInfo.h"
#include "core/welcome/Credits.h"
#include "gui/CheckConnection.h"
#include "platform/ProgramEnd.h"

#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <cmath>

// The banner lives in the static kavro_gui library; its resource must be registered by hand.
static void initBannerResource() {
    Q_INIT_RESOURCE(banner);
}

namespace {

// The window's client area and its controls, in twips.
constexpr int kClientWidth = 5295;
constexpr int kClientHeight = 3465;
constexpr QRect kImage1(0, 0, 5250, 1500);
constexpr QRect kPicture1(120, 1500, 5055, 1395);
constexpr QRect kLblver(180, 3120, 1635, 210);
constexpr QRect kCmdOK(3240, 3000, 915, 375);
constexpr QRect kCmdExit(4260, 3000, 915, 375);
// The strip is narrower than the box by the box's sunken border (2 pixels on either side).
constexpr int kBorderTwips = 30;
// The window's type, the credits' too: Arial 8 points, or a metric twin of Arial where it is
// missing (a style hint here would make the font matcher skip the twins).
constexpr int kPointSize = 8;

QFont arialFont() {
    QFont f;
    f.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                   QStringLiteral("Arimo"), QStringLiteral("Nimbus Sans")});
    f.setPointSize(kPointSize);
    return f;
}

QRect toPixels(const QRect& twips) {
    return QRect(frmSplash::toPixels(twips.x()), frmSplash::toPixels(twips.y()),
                 frmSplash::toPixels(twips.width()), frmSplash::toPixels(twips.height()));
}

QString versionText() {
    return QStringLiteral("Version %1.%2 Build %3")
        .arg(ProgramInfo::versionMajor())
        .arg(ProgramInfo::versionMinor())
        .arg(ProgramInfo::versionRevision());
}

} // namespace

int frmSplash::toPixels(qint32 twips) {
    return int(std::lround(double(twips) / 15.0));
}

frmSplash::frmSplash(AppContext& ctx, QWidget* parent) : QWidget(parent), m_ctx(ctx) {
    initBannerResource();
    setObjectName(QStringLiteral("frmSplash"));
    setWindowTitle(QStringLiteral("Welcome to NFSHS Kavro"));
    setFixedSize(toPixels(kClientWidth), toPixels(kClientHeight));
    setMouseTracking(true);
    setFont(arialFont());
    buildControls();
    layoutCredits();
}

void frmSplash::buildControls() {
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(::toPixels(kImage1));
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Image1->setPixmap(QPixmap(QStringLiteral(":/welcome/banner.bmp")));

    Picture1 = new QFrame(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setGeometry(::toPixels(kPicture1));
    Picture1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Picture1->setLineWidth(toPixels(kBorderTwips));
    Picture1->setMouseTracking(true);

    // What the box shows lies within its border; children of this inner area are clipped to it.
    m_creditsView = new QWidget(Picture1);
    m_creditsView->setGeometry(Picture1->contentsRect());
    m_creditsView->setMouseTracking(true);

    picm = new QWidget(m_creditsView);
    picm->setObjectName(QStringLiteral("picm"));
    picm->setMouseTracking(true);

    lblcred = new QLabel(picm);
    lblcred->setObjectName(QStringLiteral("lblcred"));
    lblcred->setMouseTracking(true);
    lblcred->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    lblcred->setWordWrap(true);
    lblcred->setTextFormat(Qt::PlainText);

    lblver = new QLabel(this);
    lblver->setObjectName(QStringLiteral("lblver"));
    lblver->setGeometry(::toPixels(kLblver));

    cmdOK = new QPushButton(QStringLiteral("Continue"), this);
    cmdOK->setAutoDefault(true); // Enter on the focused button presses it, as Space does
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setGeometry(::toPixels(kCmdOK));
    connect(cmdOK, &QPushButton::clicked, this, &frmSplash::cmdOK_Click);

    cmdExit = new QPushButton(QStringLiteral("Exit"), this);
    cmdExit->setAutoDefault(true); // Enter on the focused button presses it, as Space does
    cmdExit->setObjectName(QStringLiteral("cmdExit"));
    cmdExit->setGeometry(::toPixels(kCmdExit));
    connect(cmdExit, &QPushButton::clicked, this, &frmSplash::cmdExit_Click);

    tmrx = new QTimer(this);
    tmrx->setObjectName(QStringLiteral("tmrx"));
    tmrx->setInterval(CreditsScroll::kTickInterval);
    connect(tmrx, &QTimer::timeout, this, &frmSplash::tmrx_Timer);

    for (QWidget* w :
         {static_cast<QWidget*>(Picture1), m_creditsView, picm, static_cast<QWidget*>(lblcred)})
        w->installEventFilter(this);
}

void frmSplash::layoutCredits() {
    // The strip is as wide as the inside of the box; the text fills it and takes the height it
    // needs, which the strip then takes too. The strip starts just below the box.
    const qint32 stripWidth = kPicture1.width() - 2 * kBorderTwips;
    const int widthPx = toPixels(stripWidth);
    lblcred->setText(Credits::lines().join(QLatin1Char('\n')));
    const int textHeightPx = lblcred->heightForWidth(widthPx);
    lblcred->setGeometry(0, 0, widthPx, textHeightPx);
    lblver->setText(versionText());
    picm->setGeometry(0, toPixels(kPicture1.height()), widthPx, textHeightPx);

    m_scroll.emplace(kPicture1.height(), toTwips(textHeightPx));
    applyScroll();
}

void frmSplash::applyScroll() {
    picm->move(0, toPixels(m_scroll->stripTop()));
    tmrx->stop();
    if (m_scroll->timerEnabled()) {
        tmrx->setInterval(m_scroll->interval());
        tmrx->start();
    }
}

void frmSplash::tmrx_Timer() {
    m_scroll->tick();
    applyScroll();
}

void frmSplash::cmdOK_Click() {
    if (!CheckConnection(m_ctx))
        return;
    // The server window is open: this window's part is done.
    tmrx->stop();
    m_closingForContinue = true;
    close();
}

void frmSplash::cmdExit_Click() {
    m_ctx.programEnd->EndProgram();
}

bool frmSplash::isCreditsControl(QObject* o) const {
    return o == Picture1 || o == m_creditsView || o == picm || o == lblcred;
}

bool frmSplash::eventFilter(QObject* watched, QEvent* event) {
    if (!isCreditsControl(watched))
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseMove:
        m_scroll->mouseOverCredits();
        return true;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        // Taken here so that the press does not travel on to the window's background.
        return static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
    case QEvent::MouseButtonRelease: {
        auto* me = static_cast<QMouseEvent*>(event);
        auto* w = static_cast<QWidget*>(watched);
        if (me->button() != Qt::LeftButton)
            return false;
        if (w->rect().contains(me->position().toPoint())) {
            m_scroll->click();
            applyScroll();
        }
        return true;
    }
    default:
        return QWidget::eventFilter(watched, event);
    }
}

void frmSplash::mouseMoveEvent(QMouseEvent* event) {
    // Only the window's own background counts; moves over the banner, the version or the
    // buttons arrive here too and change nothing.
    if (!childAt(event->position().toPoint()))
        m_scroll->mouseOverBackground();
    QWidget::mouseMoveEvent(event);
}

void frmSplash::closeEvent(QCloseEvent* event) {
    tmrx->stop();
    // Closing the welcome window from its title bar leaves no window behind to carry on from:
    // it ends the program as Exit does. Continue's own close goes on to the server window.
    if (event->spontaneous() && !m_closingForContinue) {
        m_ctx.programEnd->EndProgram();
        return;
    }
    QWidget::closeEvent(event);
}
