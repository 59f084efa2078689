#include "gui/CheckConnection.h"

#include "core/session/AppContext.h"
#include "core/session/AppSettings.h"
#include "core/session/CommandLine.h"
#include "gui/frmSelect.h"
#include "platform/MessageBoxService.h"
#include "platform/ProgramEnd.h"

namespace {
const QString kTitle = QStringLiteral("Active Internet Connection");
const QString kText = QStringLiteral(
    "Unable to find an active internet connection. Please make sure you are connected to the "
    "internet.\r\n\r\nIf you are connected and you still get this error message, click on Ignore "
    "to continue.");
constexpr int kAbortRetryIgnoreRetryDefault = 306;
} // namespace

bool CheckConnection(AppContext& ctx) {
    while (!AppSettings::IsConnected(ctx)) {
        const auto answer = ctx.prompts->show(kText, kTitle, kAbortRetryIgnoreRetryDefault);
        if (ctx.programEnd->ended())
            return false;
        if (answer == MessageBoxService::Abort) {
            // Started from the welcome window, that window stays for another try. Under
            // "/SKIPINTRO" there is no window at all: the program ends rather than run on unseen.
            if (CommandLine(ctx.commandLine).has(CommandLine::kSkipIntro))
                ctx.programEnd->EndProgram();
            return false;
        }
        if (answer == MessageBoxService::Ignore)
            break;
        // Retry: ask again.
    }
    auto* select = new frmSelect(ctx);
    select->show();
    return true;
}
