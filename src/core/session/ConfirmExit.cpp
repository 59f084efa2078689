#include "core/session/ConfirmExit.h"

#include "core/session/AppContext.h"
#include "platform/MessageBoxService.h"
#include "platform/ProgramEnd.h"

qint16 ConfirmExit(AppContext& ctx) {
    const auto answer = ctx.prompts->show(QStringLiteral("Are you sure you want to exit?"),
                                          QStringLiteral("Exit"), 4);
    if (answer == MessageBoxService::Yes) {
        ctx.programEnd->EndProgram();
        return 0;
    }
    return 1;
}
