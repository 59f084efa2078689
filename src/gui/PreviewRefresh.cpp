#include "gui/PreviewRefresh.h"

#include "core/browser/AuthorLine.h"
#include "core/catalogue/FetchFile.h"
#include "core/session/AppContext.h"
#include "core/session/Session.h"
#include "gui/ScreenshotPicture.h"
#include "gui/Twips.h"
#include "gui/frmCars.h"
#include "platform/ProgramEnd.h"

#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

namespace {

// The list beside the preview, and the list covering the preview box up to its right edge.
constexpr int kNarrowList = 2475 / Twips::kPerPixel;
constexpr int kWideList = 5115 / Twips::kPerPixel;

const QString kIdle = QStringLiteral(".");
const QString kLoading = QStringLiteral("Loading Screen Shot...");
const QString kCaption = QStringLiteral("Screen Shot");
const QString kNoShot = QStringLiteral("No Screen Shot Available");

void setListWidth(frmCars& w, int width) {
    QRect g = w.lstCars->geometry();
    g.setWidth(width);
    w.lstCars->setGeometry(g);
}

void focusList(frmCars& w) {
    if (w.isVisible())
        w.lstCars->setFocus();
}

// Controls back on, but nothing to open: no picture, no full-size button.
void showNothing(frmCars& w, const QString& caption) {
    w.EnableControls();
    w.cmdSS->setEnabled(false);
    w.imgSS->setEnabled(false);
    w.imgSS->clear();
    w.lblInfo6->setText(caption);
    w.lblStatus->setText(kIdle);
    focusList(w);
    w.imgSS->show();
}

} // namespace

void RefreshPreview(frmCars& w) {
    AppContext& ctx = w.context();
    const Session& s = *ctx.session;
    const qint16 p = qint16(w.lstCars->currentRow());
    const qint32 i = w.GetCarIndex(p);

    if (s.CatalogueFormat == 1)
        w.txtAuthor->setText(AuthorLine(s.CarAuthors.value(i)));
    w.imgSS->hide();

    if (!w.mnuVSS->isChecked()) {
        setListWidth(w, kWideList);
        showNothing(w, QString());
        return;
    }

    setListWidth(w, kNarrowList);
    w.lblInfo6->setText(kCaption);
    const QString url = s.CarShotURLs.value(i);
    if (url.isEmpty()) {
        showNothing(w, kNoShot);
        return;
    }

    w.lblStatus->setText(kLoading);
    w.DisableControls();
    // The file holds the screenshot of LastShotIndex's list position: fetch only for another one.
    const QString file = s.workDir() + QLatin1String(ScreenshotPicture::FileName);
    if (w.LastShotIndex != p) {
        const bool fetched = FetchFile(ctx, url, file);
        if (ctx.programEnd->ended())
            return;
        if (!fetched) {
            showNothing(w, kNoShot);
            return;
        }
    }

    w.EnableControls();
    w.lblStatus->setText(kIdle);
    const QImage picture = ScreenshotPicture::load(file);
    if (picture.isNull()) {
        // Not a picture: no message, and the position is not remembered, so the next highlight
        // of this entry fetches it again.
        showNothing(w, kNoShot);
        return;
    }
    w.imgSS->setScaledContents(true);
    w.imgSS->setPixmap(QPixmap::fromImage(picture));
    w.LastShotIndex = p;
    w.lstCars->setFocus();
    w.imgSS->show();
}
