#include "gui/frmCatalogues.h"

#include "core/catalogue/CatalogueSources.h"
#include "core/session/AppContext.h"
#include "gui/ClassicFont.h"
#include "platform/ProgramEnd.h"
#include "platform/SettingsStore.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

enum Column { Address, Name, LastFetch };
const QString kTitle = QStringLiteral("NFSHS Kavro - Catalogues");

QString lastFetchText(const CatalogueSources::Source& s) {
    if (s.lastFetch.isEmpty())
        return QStringLiteral("not fetched yet");
    const QDateTime when = QDateTime::fromString(s.when, Qt::ISODate);
    if (!when.isValid())
        return s.lastFetch;
    return s.lastFetch + QStringLiteral(" (") +
           QLocale::system().toString(when.toLocalTime(), QLocale::ShortFormat) + u')';
}

} // namespace

frmCatalogues::frmCatalogues(AppContext& ctx, QWidget* parent) : QDialog(parent), m_ctx(ctx) {
    setObjectName(QStringLiteral("frmCatalogues"));
    setWindowTitle(kTitle);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setFont(ClassicFont());
    resize(620, 320);

    lblInfo = new QLabel(QStringLiteral("The server window lists the servers of these server "
                                        "lists and catalogues after its own."),
                         this);
    lblInfo->setObjectName(QStringLiteral("lblInfo"));
    lblInfo->setWordWrap(true);
    lstSources = new QTreeWidget(this);
    lstSources->setObjectName(QStringLiteral("lstSources"));
    lstSources->setHeaderLabels(
        {QStringLiteral("Address"), QStringLiteral("Name"), QStringLiteral("Last fetch")});
    lstSources->setRootIsDecorated(false);
    lstSources->setUniformRowHeights(true);
    lstSources->header()->setStretchLastSection(true);
    lstSources->setColumnWidth(Address, 250);
    lstSources->setColumnWidth(Name, 140);

    txtAddress = new QLineEdit(this);
    txtAddress->setObjectName(QStringLiteral("txtAddress"));
    txtAddress->setPlaceholderText(
        QStringLiteral("Address of a server list or a catalogue (http:// or https://)"));
    cmdAdd = new QPushButton(QStringLiteral("Add…"), this);
    cmdAdd->setObjectName(QStringLiteral("cmdAdd"));
    lblFound = new QLabel(this);
    lblFound->setObjectName(QStringLiteral("lblFound"));
    lblFound->setWordWrap(true);
    lblFound->setTextFormat(Qt::PlainText);
    cmdRemove = new QPushButton(QStringLiteral("Remove"), this);
    cmdRemove->setObjectName(QStringLiteral("cmdRemove"));
    cmdClose = new QPushButton(QStringLiteral("Close"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));

    auto* address = new QHBoxLayout;
    address->addWidget(txtAddress, 1);
    address->addWidget(cmdAdd);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdRemove);
    buttons->addStretch(1);
    buttons->addWidget(cmdClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblInfo);
    layout->addWidget(lstSources, 1);
    layout->addLayout(address);
    layout->addWidget(lblFound);
    layout->addLayout(buttons);

    // Enter in the address field adds; it never closes the window.
    for (QPushButton* b : {cmdAdd, cmdRemove, cmdClose}) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }
    connect(txtAddress, &QLineEdit::returnPressed, this, [this] { addAddress(); });
    connect(txtAddress, &QLineEdit::textChanged, this, [this] { updateButtons(); });
    connect(cmdAdd, &QPushButton::clicked, this, [this] { addAddress(); });
    connect(cmdRemove, &QPushButton::clicked, this, [this] { removeSelected(); });
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::accept);
    connect(lstSources, &QTreeWidget::itemSelectionChanged, this, [this] { updateButtons(); });

    refresh();
    txtAddress->setFocus();
}

void frmCatalogues::refresh() {
    const QString selected =
        lstSources->currentItem() ? lstSources->currentItem()->text(Address) : QString();
    lstSources->clear();
    for (const CatalogueSources::Source& s : CatalogueSources(*m_ctx.settings).list()) {
        auto* item = new QTreeWidgetItem(lstSources, {s.url, s.name, lastFetchText(s)});
        for (int c : {Address, Name, LastFetch})
            item->setToolTip(c, item->text(c));
        if (s.url == selected)
            lstSources->setCurrentItem(item);
    }
    updateButtons();
}

void frmCatalogues::updateButtons() {
    cmdAdd->setEnabled(!m_busy && !txtAddress->text().trimmed().isEmpty());
    cmdRemove->setEnabled(!m_busy && lstSources->currentItem() &&
                          lstSources->currentItem()->isSelected());
    txtAddress->setEnabled(!m_busy);
    cmdClose->setEnabled(!m_busy);
}

bool frmCatalogues::addAddress() {
    const QString url = txtAddress->text().trimmed();
    if (url.isEmpty() || m_busy)
        return false;
    m_busy = true;
    updateButtons();
    lblFound->setText(QStringLiteral("Fetching %1...").arg(url));
    const CatalogueSources::Found found = CatalogueSources::judge(m_ctx, url);
    m_busy = false;
    if (m_ctx.programEnd->ended())
        return false;
    bool added = false;
    if (found.accepted()) {
        CatalogueSources sources(*m_ctx.settings);
        added = sources.add({url, found.name, QString(), QString()}) &&
                sources.recordFetch(url, found.text());
        if (added) {
            m_changed = true;
            lblFound->setText(QStringLiteral("Added %1: %2.").arg(url, found.text()));
            txtAddress->clear();
        } else {
            lblFound->setText(QStringLiteral("Not added: the settings (%1) cannot be written.")
                                  .arg(m_ctx.settings->filePath()));
        }
    } else {
        lblFound->setText(QStringLiteral("Not added: %1.").arg(found.text()));
    }
    refresh();
    txtAddress->setFocus();
    return added;
}

void frmCatalogues::removeSelected() {
    QTreeWidgetItem* item = lstSources->currentItem();
    if (!item || m_busy)
        return;
    const QString url = item->text(Address);
    if (CatalogueSources(*m_ctx.settings).remove(url)) {
        m_changed = true;
        lblFound->setText(QStringLiteral("Removed %1.").arg(url));
    }
    refresh();
}
