#pragma once
// The key reference (Help menu, F1): every key and mouse action, in a window that can stay open
// beside the stage. Its rows come from the core (app/key_reference.h); it only shows them.
#include <QTableWidget>
#include <QWidget>

namespace qb::gui {

class FrmKeys : public QWidget {
    Q_OBJECT
public:
    explicit FrmKeys(QWidget* parent = nullptr);
    QTableWidget* Table() const { return m_table; }

private:
    void Fill();
    QTableWidget* m_table = nullptr;
};

}  // namespace qb::gui
