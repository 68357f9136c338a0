#include "gui/frm_keys.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QKeySequence>
#include <QVBoxLayout>

#include "app/key_reference.h"
#include "gui/translation.h"

namespace qb::gui {

FrmKeys::FrmKeys(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("frmKeys"));
    auto* layout = new QVBoxLayout(this);  // owned by the window (Qt parent), as the table
    m_table = new QTableWidget(this);
    m_table->setObjectName(QStringLiteral("tblKeys"));
    m_table->setColumnCount(2);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionMode(QAbstractItemView::NoSelection);
    m_table->setFocusPolicy(Qt::NoFocus);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 8);
    m_table->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(m_table);
    resize(620, 660);
    Retranslated(this, [this] { Fill(); });
}

void FrmKeys::Fill() {
    setWindowTitle(KeyText("Key Reference"));
    m_table->setHorizontalHeaderLabels({KeyText("Keys"), KeyText("What they do")});
    const std::vector<KeyReferenceRow> rows = KeyReference();
    m_table->setRowCount(static_cast<int>(rows.size()));
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        const KeyReferenceRow& row = rows[static_cast<size_t>(i)];
        QString keys;
        QString action;
        if (row.source == KeyTextSource::Menu) {
            // A menu item's shortcut in the desktop's own words ("PgDown" reads "PgDown", Ctrl on a
            // Mac reads as its symbol); its caption as the menu shows it.
            keys = QKeySequence(QString::fromStdString(row.keys), QKeySequence::PortableText)
                       .toString(QKeySequence::NativeText);
            if (keys.isEmpty()) keys = KeyText(row.keys.c_str());
            // Without the access key: it is the menu's, not a key of this list.
            action = MenuText(row.action).remove(QLatin1Char('&'));
        } else {
            const QKeySequence sequence(QString::fromStdString(row.keys), QKeySequence::PortableText);
            const bool shortcut = row.keys.find("Ctrl+") == 0 || (row.keys.size() > 1 && row.keys[0] == 'F');
            keys = shortcut ? sequence.toString(QKeySequence::NativeText) : KeyText(row.keys.c_str());
            action = KeyText(row.action.c_str());
        }
        m_table->setItem(i, 0, new QTableWidgetItem(keys));
        m_table->setItem(i, 1, new QTableWidgetItem(action));
    }
    m_table->resizeColumnToContents(0);
}

}  // namespace qb::gui
