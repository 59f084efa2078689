#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
struct AppContext;

// The Catalogues window of the server window's Options menu: the player's catalogue sources
// (address, name, what the last fetch found), an address field with Add… (the address is
// fetched and judged first; the window says what it found, or why it is not added) and Remove
// for the selected source. Close (or Escape) closes.
class frmCatalogues : public QDialog {
    Q_OBJECT
public:
    static inline const QString kMenuItem = QStringLiteral("Catalogues…");

    explicit frmCatalogues(AppContext& ctx, QWidget* parent = nullptr);

    // True once a source was added or removed.
    bool changed() const { return m_changed; }
    // Reads the sources again.
    void refresh();
    // Fetches and judges the address in txtAddress and keeps it when it is a server list or a
    // catalogue; lblFound says what was found. True when it was added.
    bool addAddress();
    void removeSelected();

    QLabel* lblInfo = nullptr;
    QTreeWidget* lstSources = nullptr;
    QLineEdit* txtAddress = nullptr;
    QPushButton* cmdAdd = nullptr;
    QPushButton* cmdRemove = nullptr;
    QPushButton* cmdClose = nullptr;
    QLabel* lblFound = nullptr;

private:
    void updateButtons();

    AppContext& m_ctx;
    bool m_changed = false;
    bool m_busy = false;
};
