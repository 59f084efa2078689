#pragma once

#include <QObject>
#include <QStringList>
#include <QTimer>

class InstanceChannel;
class QWidget;
struct AppContext;

// What the running Kavro does with a later start's work (see InstanceChannel): it brings its
// window forward, installs handed-over car ZIPs through the download window when no run is going
// (otherwise they wait in the channel's queue until the run and its log are over), and offers a
// kavro:// link as the command line's link does. Each hand-over is said on standard error.
class HandOffReceiver : public QObject {
    Q_OBJECT
public:
    HandOffReceiver(AppContext& ctx, InstanceChannel& channel);

    // The window a player sees now: the modal one, else the active one, else the first visible.
    static QWidget* frontWindow();

private:
    void take(const QStringList& zips, const QStringList& links);
    void installQueued();
    // A run or its log, a box or a question is on screen, or start-up has not shown a window.
    bool busy() const;

    AppContext& m_ctx;
    InstanceChannel& m_channel;
    QTimer m_retry;
    bool m_installing = false;
};
