#pragma once

#include "core/catalogue/ServerList.h"

#include <QPointer>
#include <QWidget>

class QComboBox;
class QLabel;
class QPushButton;
class QTimer;
class frmCars;
struct AppContext;

// The server selection window: fetches the server list 100 ms after it opens, lists the
// servers, and on Connect loads the chosen server's catalogue into the car browser.
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

protected:
    void closeEvent(QCloseEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    void fetchServerList();
    void readServerList();
    void connectToServer();
    void readyAgain();

    AppContext& m_ctx;
    ServerList m_servers;
    QPointer<frmCars> m_cars;
    bool m_placed = false;
};
