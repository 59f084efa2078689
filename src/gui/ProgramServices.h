#pragma once

#include "core/session/AppContext.h"
#include "core/session/Session.h"
#include "gui/QtMessageBoxService.h"
#include "platform/Clock.h"
#include "platform/DesktopActions.h"
#include "platform/ProgramEnd.h"
#include "platform/SettingsStore.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>

// The real services of a running program (the settings store of the user, the desktop's
// message boxes and actions, an end that ends the process, the one HTTP client) and the
// context that hands them to the windows. Made once, after the application object.
struct ProgramServices {
    Session session;
    SettingsStore settings{SettingsStore::defaultPath()};
    QtMessageBoxService prompts;
    ProgramEnd programEnd{false};
    Clock clock;
    DesktopActions actions;
    QNetworkAccessManager network;
    AppContext ctx;

    ProgramServices() {
        ctx.session = &session;
        ctx.settings = &settings;
        ctx.prompts = &prompts;
        ctx.programEnd = &programEnd;
        ctx.clock = &clock;
        ctx.actions = &actions;
        ctx.network = &network;
        ctx.programFolder = QCoreApplication::applicationDirPath();
        ctx.programFile = QCoreApplication::applicationFilePath();
    }
    ProgramServices(const ProgramServices&) = delete;
    ProgramServices& operator=(const ProgramServices&) = delete;
};
