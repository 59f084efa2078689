#include "gui/CatalogueLink.h"

#include "core/catalogue/CatalogueSources.h"
#include "core/session/AppContext.h"
#include "gui/frmSelect.h"
#include "platform/MessageBoxService.h"
#include "platform/NetworkPolicy.h"
#include "platform/ProgramEnd.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPointer>

namespace {

const QString kTitle = QStringLiteral("NFSHS Kavro");
constexpr int kRefused = 48;
constexpr int kQuestion = 36;

bool refuse(AppContext& ctx, const QString& link, const QString& why) {
    ctx.prompts->show(QStringLiteral("The link %1 is refused: %2.").arg(link, why), kTitle,
                      kRefused);
    return false;
}

} // namespace

bool CatalogueLink::offer(AppContext& ctx, const QString& link, QWidget* parent) {
    Q_UNUSED(parent); // the boxes go over the active window
    const QString address = CatalogueSources::linkAddress(link);
    if (address.isEmpty())
        return refuse(ctx, link,
                      QStringLiteral("Kavro takes links of the form kavro://add?url= followed by "
                                     "the address of a server list or a catalogue"));
    if (!NetworkPolicy::allows(address))
        return refuse(
            ctx, link,
            QStringLiteral("its address %1 is not an http:// or https:// address").arg(address));
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const CatalogueSources::Found found = CatalogueSources::judge(ctx, address);
    QGuiApplication::restoreOverrideCursor();
    if (ctx.programEnd->ended())
        return false;
    if (!found.accepted())
        return refuse(ctx, link, found.text());
    const auto answer =
        ctx.prompts->show(QStringLiteral("Add the catalogue %1 to Kavro?\r\n\r\nIt is %2.")
                              .arg(address, found.text()),
                          kTitle, kQuestion);
    if (ctx.programEnd->ended() || answer != MessageBoxService::Yes)
        return false;
    CatalogueSources sources(*ctx.settings);
    if (!sources.add({address, found.name, QString(), QString()}))
        return refuse(ctx, link, QStringLiteral("the settings cannot be written"));
    sources.recordFetch(address, found.text());
    // Every open server window lists the new servers.
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* select = qobject_cast<frmSelect*>(w))
            select->listSources();
    return true;
}
