#pragma once

#include <QDialog>
#include <QStringList>

class QLabel;
class QPushButton;
class QTreeWidget;
struct AppContext;
struct InstalledCar;

// The Installed Cars window: every car of the game in the game's order (id, name, serial number,
// and the marks "shares its serial number with X" and "invalid archive"), several rows at once
// selectable. Remove asks once, naming the cars, then removes them; Fix Serial Numbers opens the
// fixer; Open Folder shows the car's folder in the file manager; Close (or Escape) closes. Delete
// removes, Enter opens the folder. The list is read again after each action. Opened from the
// Options menus, or alone by "/CARS".
class frmInstalled : public QDialog {
    Q_OBJECT
public:
    explicit frmInstalled(AppContext& ctx, QWidget* parent = nullptr);

    // The Remarks column of a car: its marks joined by "; ", empty when it is sound.
    static QString remarks(const InstalledCar& car);
    // Open Folder on a desktop without a file manager to show the folder.
    static QString noFileManager(const QString& folder) {
        return QStringLiteral("There is no file manager to show %1: install xdg-utils (xdg-open) "
                              "or open the folder yourself.")
            .arg(folder);
    }
    // Reads the installed cars again (the selection stays on the cars still there).
    void refresh();
    QStringList selectedIds() const;

    QLabel* lblInfo = nullptr;
    QTreeWidget* lstInstalled = nullptr;
    QPushButton* cmdRemove = nullptr;
    QPushButton* cmdFix = nullptr;
    QPushButton* cmdOpen = nullptr;
    QPushButton* cmdClose = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void updateButtons();
    void removeSelected();
    void fixSerials();
    void openFolder();

    AppContext& m_ctx;
};
