#include "core/download/AfterDownloadActions.h"

#include "core/session/AppContext.h"
#include "core/session/AppSettings.h"
#include "core/session/RunOnceEntry.h"
#include "core/session/Session.h"
#include "platform/ProgramEnd.h"
#include "platform/SettingsStore.h"
#include "platform/SystemActions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace AfterDownload {

namespace {

bool settingIsTrue(AppContext& ctx, const QString& name) {
    const QString value = AppSettings::ReadAppSetting(ctx, name);
    return !value.isEmpty() && AppSettings::toBoolean(value).value_or(false);
}

// One argument of a desktop entry's Exec line: quoted when it holds a reserved character, with
// the quoting escapes and then the escapes of a string value applied.
QString execArgument(const QString& arg) {
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool quote = arg.isEmpty();
    for (const QChar c : arg)
        quote = quote || reserved.contains(c);
    QString out;
    if (quote) {
        out += QLatin1Char('"');
        for (const QChar c : arg) {
            if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
                c == QLatin1Char('\\'))
                out += QLatin1Char('\\');
            out += c;
        }
        out += QLatin1Char('"');
    } else {
        out = arg;
    }
    out.replace(QLatin1Char('%'), QStringLiteral("%%"));
    out.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    return out;
}

QString withSlash(const QString& folder) {
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

} // namespace

QString RunOnceCommand(const QString& programFile) {
    return programFile + QStringLiteral(" /showlog");
}

QString programFile(const AppContext& ctx) {
    if (!ctx.programFile.isEmpty())
        return ctx.programFile;
    return withSlash(ctx.programFolder) + QStringLiteral("kavro");
}

QString autostartEntryPath() {
    return RunOnceEntry::desktopFilePath();
}

QString autostartEntryText(const QString& programFile) {
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Kavro download log\n"
                          "Comment=Shows the log of the cars downloaded before the shutdown\n"
                          "Exec=") +
           execArgument(programFile) + QStringLiteral(" /showlog /runonce\n") +
           QStringLiteral("Terminal=false\n"
                          "NoDisplay=true\n"
                          "X-GNOME-Autostart-enabled=true\n");
}

bool ScheduleLogAndShutdown(AppContext& ctx) {
    const QString program = programFile(ctx);
    ctx.settings->WriteSetting(RegistryRoot::CurrentUser, AppSettings::kRunOnceKey,
                               RunOnceEntry::kValueName, RunOnceCommand(program));
    const QString entry = autostartEntryPath();
    QDir().mkpath(QFileInfo(entry).absolutePath());
    QSaveFile file(entry);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(autostartEntryText(program).toUtf8());
        file.commit();
    }
    // The work folder may sit in a temporary folder that the reboot empties: the log the next
    // logon shows is a copy kept in the user's state folder.
    const QString kept = RunOnceEntry::keptLogPath();
    QDir().mkpath(QFileInfo(kept).absolutePath());
    QFile::remove(kept);
    QFile::copy(ctx.session->workDir() + QStringLiteral("DOWNLOAD.LOG"), kept);

    if (!ctx.actions->powerOff()) {
        RunOnceEntry::remove(*ctx.settings);
        QFile::remove(kept);
        return false;
    }
    ctx.programEnd->EndProgram();
    return true;
}

void RunAfterDownloadActions(AppContext& ctx, const std::function<void()>& showLog) {
    if (settingIsTrue(ctx, QStringLiteral("disconnect")))
        ctx.actions->hangUp();
    if (settingIsTrue(ctx, QStringLiteral("shutdown")) && ScheduleLogAndShutdown(ctx))
        return;
    if (showLog)
        showLog();
    if (!ctx.programEnd->ended())
        ctx.programEnd->EndProgram();
}

} // namespace AfterDownload
