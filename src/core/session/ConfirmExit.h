#pragma once

#include <QtGlobal>

struct AppContext;

// The exit question of every main window: "Are you sure you want to exit?" (title "Exit",
// Yes/No). Yes ends the program at once (and returns 0 where the end is only recorded);
// No returns 1, which a close handler uses as its cancel-the-close value.
qint16 ConfirmExit(AppContext& ctx);
