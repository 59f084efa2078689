#pragma once

#include "core/welcome/CreditsScroll.h"

#include <QWidget>
#include <optional>

class QFrame;
class QLabel;
class QPushButton;
class QTimer;
struct AppContext;

// The welcome window of a normal start: the banner, the credits box in which the credits and
// notices rise, the program's version, Continue and Exit. Start-up shows it with cmdOK disabled
// and enables cmdOK once its preparations are done.
class frmSplash : public QWidget {
    Q_OBJECT
public:
    explicit frmSplash(AppContext& ctx, QWidget* parent = nullptr);

    QLabel* Image1 = nullptr;
    QFrame* Picture1 = nullptr;
    QWidget* picm = nullptr;
    QLabel* lblcred = nullptr;
    QLabel* lblver = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdExit = nullptr;
    QTimer* tmrx = nullptr;

    // The scroll's state (speed, offset, the strip's place) for the window's users and tests.
    const CreditsScroll& scroll() const { return *m_scroll; }

    // Twips to pixels (15 twips a pixel) and back.
    static int toPixels(qint32 twips);
    static qint32 toTwips(int pixels) { return qint32(pixels) * 15; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void layoutCredits();
    void tmrx_Timer();
    void cmdOK_Click();
    void cmdExit_Click();
    // Puts the strip where the scroll says and the timer in the scroll's state.
    void applyScroll();
    bool isCreditsControl(QObject* o) const;

    AppContext& m_ctx;
    // The inside of the credits box (within its border); the strip moves in here.
    QWidget* m_creditsView = nullptr;
    std::optional<CreditsScroll> m_scroll;
    bool m_closingForContinue = false;
};
