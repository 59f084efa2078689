#include "gui/DownloadRequest.h"

#include "core/browser/DownloadSelection.h"
#include "core/gamedata/CarSerials.h"
#include "core/session/AppContext.h"
#include "core/session/AppSettings.h"
#include "core/session/Session.h"
#include "gui/DownloadForm.h"
#include "gui/frmCars.h"
#include "platform/MessageBoxService.h"

#include <QAction>
#include <QListWidget>

void RequestDownload(frmCars& w) {
    AppContext& ctx = w.context();
    // The run reads the after-download choices from the settings, so store them first.
    AppSettings::SaveOptions(ctx, w.mnuVSS->isChecked(), w.mnuSAD->isChecked(),
                             w.mnuDAD->isChecked());
    const int installed = CountInstalledCars(*ctx.session);

    QList<DownloadSelection::Row> rows;
    for (int p = 0; p < w.lstCars->count(); ++p) {
        const QListWidgetItem* item = w.lstCars->item(p);
        DownloadSelection::Row row;
        row.checked = item->checkState() == Qt::Checked;
        row.text = item->text();
        if (row.checked)
            row.index = w.GetCarIndex(qint16(p));
        rows.append(row);
    }
    const int ticked = DownloadSelection::tickedCount(rows);
    if (DownloadSelection::exceedsLimit(ticked, installed)) {
        ctx.prompts->show(DownloadSelection::limitMessage(ticked, installed),
                          DownloadSelection::kLimitTitle, 48);
        return;
    }

    w.hide();
    // One download window per browser: created hidden on the first request, emptied on each.
    auto* form =
        w.findChild<DownloadForm*>(QStringLiteral("DownloadForm"), Qt::FindDirectChildrenOnly);
    if (!form)
        form = new DownloadForm(ctx, &w);
    form->lstdl->clear();
    form->lstdlx->clear();
    const DownloadSelection::Selection s = DownloadSelection::select(rows, ctx.session->CarZipURLs);
    form->lstdl->addItems(s.names);
    form->lstdlx->addItems(s.urls);

    if (form->lstdl->count() > 0) {
        form->Process();
        return;
    }
    ctx.prompts->show(DownloadSelection::noAddressMessage(), DownloadSelection::kNoAddressTitle,
                      48);
    w.show();
}
