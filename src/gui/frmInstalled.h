#pragma once

#include "core/browser/CarFilter.h"

#include <QDialog>
#include <QStringList>
#include <functional>

class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTreeWidget;
struct AppContext;
struct InstalledCar;

// The Installed Cars window: the cars in the game in the game's order, then the cars parked in
// its garage (id, name, where, serial number, and the marks "shares its serial number with X"
// and "invalid archive"), several rows at once selectable; a click on a column header sorts by
// it. A find field above the list keeps the rows whose name or id holds the text. Remove asks
// once, naming the cars, then removes them (a parked car from the garage); Park moves the cars
// selected out of the game into the garage, Return brings parked ones back; Fix Serial Numbers
// opens the fixer; Open Folder shows the car's folder in the file manager; Close (or Escape)
// closes. Delete removes, Enter opens the folder. Beside the list, the sets: "Save as..." keeps
// the cars in the game now under a name, Use makes a set's cars the cars in the game (parking
// the others), Delete forgets a set. The list is read again after each action. Opened from the
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
    // "12 of 50 cars in the game".
    static QString countText(int inGame);
    // Reads the installed and parked cars and the sets again (the selection stays on the cars
    // still there).
    void refresh();
    QStringList selectedIds() const;
    // Keeps the rows whose name or id holds the text (case and accents ignored).
    void setFilterText(const QString& text);

    // Asks for a set's name (title, label, the text proposed); an empty answer cancels. Tests
    // replace it; the window asks with an input box.
    std::function<QString(const QString&, const QString&, const QString&)> askText;

    QLabel* lblInfo = nullptr;
    QLineEdit* txtFind = nullptr;
    QTreeWidget* lstInstalled = nullptr;
    QLabel* lblCount = nullptr;
    QPushButton* cmdRemove = nullptr;
    QPushButton* cmdPark = nullptr;
    QPushButton* cmdFix = nullptr;
    QPushButton* cmdOpen = nullptr;
    QPushButton* cmdClose = nullptr;
    QGroupBox* frmSets = nullptr;
    QListWidget* lstSets = nullptr;
    QPushButton* cmdSaveSet = nullptr;
    QPushButton* cmdUseSet = nullptr;
    QPushButton* cmdDeleteSet = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void buildSets();
    void updateButtons();
    void removeSelected();
    void parkOrReturn();
    void fixSerials();
    void openFolder();
    void saveSet();
    void useSet();
    void deleteSet();
    void refreshSets();
    // Selected rows in the game and parked ones.
    int selectedParked() const;
    // Shows the result of a garage move: why it was refused, or the serial warnings of the cars
    // that came back.
    void report(bool ok, const QString& error, const QStringList& warnings);

    AppContext& m_ctx;
    CarFilter m_filter;
};
