#pragma once

#include "core/catalogue/ServerList.h"

#include <QPointer>
#include <QWidget>

class QComboBox;
class QLabel;
class QMenu;
class QPushButton;
class QTimer;
class frmCars;
struct AppContext;

// The server selection window: fetches the server list 100 ms after it opens, lists the
// servers, and on Connect loads the chosen server's catalogue into the car browser. Its Options
// menu (and a drop of car ZIPs) installs cars from files and shows the installed cars, also when
// no server list could be had; its "Catalogues…" item keeps the player's catalogue sources, whose
// servers are listed after the built-in ones.
class frmSelect : public QWidget {
    Q_OBJECT
public:
    explicit frmSelect(AppContext& ctx, QWidget* parent = nullptr);
    ~frmSelect() override;

    // The servers of the last list read (indexed from 1).
    const ServerList& servers() const { return m_servers; }
    // The car browser, once a Connect has loaded it; hidden until a catalogue has been read.
    frmCars* carBrowser() const;

    QLabel* lblInfo = nullptr;
    QComboBox* cboSites = nullptr;
    QPushButton* cmdConnect = nullptr;
    QPushButton* cmdExit = nullptr;
    QWidget* picStatus = nullptr;
    QLabel* lblStatus = nullptr;
    QTimer* tmrDo = nullptr;
    QPushButton* cmdOpt = nullptr;
    QMenu* mnuOpt = nullptr;

    // The status line when no server list could be read.
    static QString noServersStatus();
    // The status line when the built-in list did not answer but catalogue sources gave servers.
    static QString builtInSilentStatus();
    // The box when nothing gave a server on a machine that is online, and its buttons.
    static QString nothingAnsweredText(const QStringList& tried);
    static QStringList nothingAnsweredButtons();

    // Fetches the player's catalogue sources again and lists the built-in servers and theirs
    // (after a source was added or removed).
    void listSources();
    // The Catalogues window, modal; with addressFirst the address field has the focus. The
    // servers are listed again when a source was added or removed.
    void showCatalogues(bool addressFirst = false);

protected:
    void closeEvent(QCloseEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;

private:
    void fetchServerList();
    // Reads the fetched built-in list into m_builtIn (the boxes of a corrupt or outdated list).
    void readServerList();
    // The built-in servers, then those of every source, into the list; tried gets the sources'
    // addresses.
    void fillServers(QStringList* tried);
    void nothingAnswered(const QStringList& tried);
    void connectToServer();
    void readyAgain();

    AppContext& m_ctx;
    ServerList m_builtIn;
    bool m_builtInAnswered = false;
    ServerList m_servers;
    QPointer<frmCars> m_cars;
    bool m_placed = false;
    // A fetch is under way: the menu's items and drops wait.
    bool m_busy = false;
};
