#include "core/catalogue/FetchQuietly.h"

#include "core/catalogue/FetchFile.h"
#include "core/session/AppContext.h"
#include "platform/MessageBoxService.h"

namespace {

class KeptMessage : public MessageBoxService {
public:
    Answer show(const QString& text, const QString&, int) override {
        message = text;
        return Ok;
    }
    QString message;
};

} // namespace

bool FetchQuietly(AppContext& ctx, const QString& url, const QString& fileName, QString& message) {
    KeptMessage kept;
    MessageBoxService* prompts = ctx.prompts;
    ctx.prompts = &kept;
    const bool fetched = FetchFile(ctx, url, fileName);
    ctx.prompts = prompts;
    message = fetched ? QString() : kept.message;
    return fetched;
}
