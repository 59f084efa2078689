#include "gui/FileChoosers.h"

#include "core/session/AppContext.h"
#include "core/session/AppSettings.h"
#include "platform/SettingsStore.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace {

// The store's value under Kavro's own key: the folder the last ZIPs were chosen in.
const QString kZipFolder = QStringLiteral("zipfolder");

QString startFolder(AppContext& ctx) {
    const QString kept = AppSettings::ReadAppSetting(ctx, kZipFolder).trimmed();
    if (!kept.isEmpty() && QFileInfo(kept).isDir())
        return kept;
    const QString downloads = QDir::homePath() + QStringLiteral("/Downloads");
    return QFileInfo(downloads).isDir() ? downloads : QDir::homePath();
}

} // namespace

namespace FileChoosers {

QString chooseFolder(AppContext& ctx, QWidget* parent, const QString& title) {
    if (ctx.chooseFolder)
        return ctx.chooseFolder(title);
    return QFileDialog::getExistingDirectory(parent, title, QDir::homePath());
}

QStringList chooseZips(AppContext& ctx, QWidget* parent, const QString& title) {
    const QString folder = startFolder(ctx);
    const QStringList zips =
        ctx.chooseFiles ? ctx.chooseFiles(title, folder)
                        : QFileDialog::getOpenFileNames(
                              parent, title, folder,
                              QStringLiteral("Car ZIP files (*.zip *.ZIP *.Zip);;All files (*)"));
    if (!zips.isEmpty())
        ctx.settings->WriteSetting(RegistryRoot::CurrentUser, AppSettings::kAppKey, kZipFolder,
                                   QFileInfo(zips.first()).absolutePath());
    return zips;
}

} // namespace FileChoosers
