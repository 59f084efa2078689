#include "gui/frmSS.h"

#include "core/session/AppContext.h"
#include "core/session/Session.h"
#include "gui/ScreenshotPicture.h"
#include "gui/Twips.h"

#include <QLabel>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QScreen>
#include <QScrollBar>
#include <QSignalBlocker>

namespace {
// Initial client area: 6180 x 4230 twips.
constexpr int kClientWidth = 6180 / Twips::kPerPixel;
constexpr int kClientHeight = 4230 / Twips::kPerPixel;
// The bars' thickness, 255 twips (17 pixels), whatever the style's default.
constexpr int kBarThickness = 255;
} // namespace

frmSS::frmSS(AppContext& ctx, QWidget* owner)
    : QDialog(owner), m_ctx(ctx), m_layout(Twips::kPerPixel, Twips::kPerPixel) {
    setObjectName(QStringLiteral("frmSS"));
    setWindowTitle(QStringLiteral("Screen Shot"));
    // Sizable, maximize button, no minimize button.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setModal(true);
    setSizeGripEnabled(false);

    pic1 = new QWidget(this);
    pic1->setObjectName(QStringLiteral("pic1"));
    pic1->setBackgroundRole(QPalette::Base);
    pic1->setAutoFillBackground(true);

    pic2 = new QLabel(pic1);
    pic2->setObjectName(QStringLiteral("pic2"));
    pic2->setScaledContents(false);
    pic2->move(0, 0);

    HS = new QScrollBar(Qt::Horizontal, this);
    HS->setObjectName(QStringLiteral("HS"));
    VS = new QScrollBar(Qt::Vertical, this);
    VS->setObjectName(QStringLiteral("VS"));
    for (QScrollBar* bar : {HS, VS}) {
        bar->setRange(0, 0);
        bar->setValue(0);
        bar->setSingleStep(1);
        bar->setFocusPolicy(Qt::NoFocus);
    }

    // The picture at its real size; a missing or unreadable file leaves the viewer empty.
    const QImage image = ScreenshotPicture::load(
        ScreenshotPicture::pathIn(ctx.session->workDir(), QStringLiteral("Kavro_ss.dat")));
    if (!image.isNull()) {
        pic2->setPixmap(QPixmap::fromImage(image));
        pic2->resize(image.size());
    } else {
        pic2->resize(0, 0);
    }
    m_layout.setBarThickness(kBarThickness, kBarThickness);
    m_layout.setPictureSize(image.width(), image.height());

    pic1->installEventFilter(this);
    pic2->installEventFilter(this);
    // Both on a change and continuously while the thumb is dragged (tracking is on).
    connect(HS, &QScrollBar::valueChanged, this, [this](int v) {
        if (m_layout.setHsValue(v))
            showPicturePosition();
    });
    connect(VS, &QScrollBar::valueChanged, this, [this](int v) {
        if (m_layout.setVsValue(v))
            showPicturePosition();
    });

    resize(kClientWidth, kClientHeight);
    // Laid out before the window is first drawn.
    layoutFor(kClientWidth * Twips::kPerPixel + ViewerLayout::StandardFrameWidth,
              kClientHeight * Twips::kPerPixel + ViewerLayout::StandardFrameHeight);
    if (owner)
        centreOn(owner);
}

// Centred on the owner's window, frame included: the viewer's frame is taken to be as thick as
// the owner's, which the same window manager drew. Kept on the owner's screen.
void frmSS::centreOn(QWidget* owner) {
    const QWidget* top = owner->window();
    const QRect ownerFrame = top->frameGeometry();
    const QSize frameExtra = ownerFrame.size() - top->geometry().size();
    QRect frame(QPoint(0, 0), size() + frameExtra);
    frame.moveCenter(ownerFrame.center());
    if (const QScreen* screen = top->screen()) {
        const QRect avail = screen->availableGeometry();
        frame.moveLeft(
            std::max(avail.left(), std::min(frame.left(), avail.right() - frame.width() + 1)));
        frame.moveTop(
            std::max(avail.top(), std::min(frame.top(), avail.bottom() - frame.height() + 1)));
    }
    move(frame.topLeft());
}

void frmSS::layoutFor(int outerWidth, int outerHeight) {
    m_layout.layout(outerWidth, outerHeight);
    showLayout();
}

// The frame a window manager draws differs from one desktop to the next (none at all without a
// window manager, a tall title bar elsewhere), so the layout is given the outer size of the frame
// its allowances were made for: the viewport and bars then always fill the client area.
void frmSS::resizeEvent(QResizeEvent* e) {
    QDialog::resizeEvent(e);
    layoutFor(e->size().width() * Twips::kPerPixel + ViewerLayout::StandardFrameWidth,
              e->size().height() * Twips::kPerPixel + ViewerLayout::StandardFrameHeight);
}

int frmSS::px(int twips, int twipsPerPixel) const {
    // Towards minus infinity, so a picture scrolled by whole units lands on whole pixels.
    return twips >= 0 ? twips / twipsPerPixel : -((-twips + twipsPerPixel - 1) / twipsPerPixel);
}

void frmSS::showLayout() {
    const int tx = m_layout.twipsPerPixelX();
    const int ty = m_layout.twipsPerPixelY();
    auto place = [&](QWidget* w, const ViewerLayout::Box& b) {
        w->setGeometry(px(b.left, tx), px(b.top, ty), px(b.width, tx), px(b.height, ty));
    };
    place(pic1, m_layout.pic1());
    place(HS, m_layout.hs());
    place(VS, m_layout.vs());

    auto showBar = [](QScrollBar* bar, const ViewerLayout::Bar& b, int page) {
        const QSignalBlocker block(bar);
        bar->setRange(0, b.maximum);
        bar->setValue(b.value);
        bar->setPageStep(page);
        bar->setEnabled(b.enabled);
    };
    showBar(HS, m_layout.hsBar(), m_layout.hsPageStep());
    showBar(VS, m_layout.vsBar(), m_layout.vsPageStep());
    showPicturePosition();
}

void frmSS::showPicturePosition() {
    pic2->move(px(m_layout.pic2().left, m_layout.twipsPerPixelX()),
               px(m_layout.pic2().top, m_layout.twipsPerPixelY()));
    // A drag moves the bars through the layout; keep their thumbs in step.
    for (auto [bar, value] :
         {std::pair{HS, m_layout.hsBar().value}, std::pair{VS, m_layout.vsBar().value}}) {
        if (bar->value() != value) {
            const QSignalBlocker block(bar);
            bar->setValue(value);
        }
    }
}

// Press, move and release over the viewport or the picture. Positions are taken in viewport
// coordinates (twips): over the picture its offset is added.
bool frmSS::eventFilter(QObject* watched, QEvent* e) {
    if (watched != pic1 && watched != pic2)
        return QDialog::eventFilter(watched, e);
    switch (e->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::MouseButtonRelease:
        break;
    default:
        return QDialog::eventFilter(watched, e);
    }
    auto* me = static_cast<QMouseEvent*>(e);
    QPointF pos = me->position();
    if (watched == pic2)
        pos += pic2->pos();
    const double x = pos.x() * m_layout.twipsPerPixelX();
    const double y = pos.y() * m_layout.twipsPerPixelY();

    if (e->type() == QEvent::MouseButtonRelease) {
        m_layout.release();
        pic1->unsetCursor();
    } else if (e->type() == QEvent::MouseMove) {
        if (m_layout.move(x, y)) {
            pic1->setCursor(Qt::SizeAllCursor);
            showPicturePosition();
        } else {
            pic1->unsetCursor();
        }
    } else {
        m_layout.press(x, y);
    }
    return true;
}
