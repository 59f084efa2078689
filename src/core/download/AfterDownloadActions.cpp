#include "core/download/AfterDownloadActions.h"

#include "core/session/AppContext.h"
#include "core/session/AppSettings.h"
#include "platform/ProgramEnd.h"
#include "platform/SettingsStore.h"
#include "platform/SystemActions.h"

#include <QDir>
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

QString RunOnceCommand(const QString& programFolder) {
    return withSlash(programFolder) + QStringLiteral("kavro") + QStringLiteral(" /showlog");
}

QString autostartEntryPath() {
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty())
        config = QDir::homePath() + QStringLiteral("/.config");
    return withSlash(config) + QStringLiteral("autostart/kavro-runonce.desktop");
}

QString autostartEntryText(const QString& programFolder) {
    const QString program = withSlash(programFolder) + QStringLiteral("kavro");
    QString name = QStringLiteral("Kavro download log");
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=") +
           name +
           QStringLiteral("\n"
                          "Comment=Shows the log of the cars downloaded before the shutdown\n"
                          "Exec=") +
           execArgument(program) + QStringLiteral(" /showlog /runonce\n") +
           QStringLiteral("Terminal=false\n"
                          "NoDisplay=true\n"
                          "X-GNOME-Autostart-enabled=true\n");
}

void ScheduleLogAndShutdown(AppContext& ctx) {
    ctx.settings->WriteSetting(RegistryRoot::CurrentUser, AppSettings::kRunOnceKey,
                               QStringLiteral("Kavro"), RunOnceCommand(ctx.programFolder));
    const QString entry = autostartEntryPath();
    QDir().mkpath(QFileInfo(entry).absolutePath());
    QSaveFile file(entry);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(autostartEntryText(ctx.programFolder).toUtf8());
        file.commit();
    }
    ctx.actions->powerOff();
    ctx.programEnd->EndProgram();
}

void RunAfterDownloadActions(AppContext& ctx, const std::function<void()>& showLog) {
    if (settingIsTrue(ctx, QStringLiteral("disconnect")))
        ctx.actions->hangUp();
    if (settingIsTrue(ctx, QStringLiteral("shutdown"))) {
        ScheduleLogAndShutdown(ctx);
        return;
    }
    if (showLog)
        showLog();
    if (!ctx.programEnd->ended())
        ctx.programEnd->EndProgram();
}

} // namespace AfterDownload
