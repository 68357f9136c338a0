#include "gui/library_panel.h"

#include <QColor>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QSignalBlocker>
#include <QStandardPaths>
#include <QToolButton>

#include "app/app_state.h"
#include "gui/qt_ui.h"
#include "gui/thumb_worker.h"
#include "gui/translation.h"
#include "library/stage_list.h"
#include "library/thumbnail.h"
#include "session/stage_session.h"

namespace qb::gui {

namespace {

constexpr int kControlHeight = 24;
// Typed characters within this time make one search text.
constexpr qint64 kTypeAheadMs = 1000;

// The sort box's items, in LibrarySort's order.
const char* const kSortTexts[kLibrarySortCount] = {"文件", "名称", "作者", "日期", "类型"};

QString RowKey(const std::string& file, const std::string& entry) {
    return QString::fromStdString(file) + QLatin1Char('!') + QString::fromStdString(entry);
}

// The headless tool beside the program, else the one on the PATH.
QString ShotProgram() {
    const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("quillback-shot"));
    if (QFileInfo(beside).isExecutable()) return beside;
    const QString onPath = QStandardPaths::findExecutable(QStringLiteral("quillback-shot"));
    return onPath.isEmpty() ? beside : onPath;
}

}  // namespace

LibraryPanel::LibraryPanel(QWidget* client, QListWidget* list, AppState& state, std::function<void()> changed)
    : QObject(client), m_client(client), m_list(list), m_state(state), m_changed(std::move(changed)) {
    m_filter = new QLineEdit(client);
    m_filter->setObjectName(QStringLiteral("txtFilter"));
    m_filter->setClearButtonEnabled(true);
    m_filter->setFocusPolicy(Qt::ClickFocus);
    m_filter->setText(FromContentText(state.Stages.Filter));
    m_sort = new QComboBox(client);
    m_sort->setObjectName(QStringLiteral("cboSort"));
    m_sort->setFocusPolicy(Qt::NoFocus);
    for (int i = 0; i < kLibrarySortCount; ++i) m_sort->addItem(QString());
    m_sort->setCurrentIndex(static_cast<int>(state.Stages.Sort));
    m_grid = new QToolButton(client);
    m_grid->setObjectName(QStringLiteral("cmdGrid"));
    m_grid->setCheckable(true);
    m_grid->setFocusPolicy(Qt::NoFocus);
    for (QWidget* w : {static_cast<QWidget*>(m_filter), static_cast<QWidget*>(m_sort), static_cast<QWidget*>(m_grid)})
        w->hide();
    m_list->setUniformItemSizes(false);
    m_list->setMouseTracking(true);
    // A picture still being drawn (or one that cannot be) takes a picture's place, so that every cell
    // has the size of one with a picture.
    QPixmap blank(kThumbnailSize, kThumbnailSize * 3 / 4);
    blank.fill(QColor(0xd8, 0xd8, 0xd8));
    m_placeholder = QIcon(blank);
    Retranslated(client, [this] { Retranslate(); });

    connect(m_filter, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_state.Stages.Filter = text.toStdString();
        ShowLibraryRows(m_state.Stages);
        m_changed();
    });
    connect(m_sort, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index < 0 || index >= kLibrarySortCount) return;
        m_state.Stages.Sort = static_cast<LibrarySort>(index);
        ShowLibraryRows(m_state.Stages);
        m_changed();
    });
    connect(m_grid, &QToolButton::toggled, this, [this](bool on) {
        SetGrid(on);
        m_changed();  // the grid is wider than the list: the window's layout follows
    });
    // Enter or Escape in the filter box hands the keyboard back to the stage.
    connect(m_filter, &QLineEdit::returnPressed, this, [this] { m_client->setFocus(); });
}

LibraryPanel::~LibraryPanel() = default;

void LibraryPanel::Retranslate() {
    m_filter->setPlaceholderText(ToolText("筛选：名称、作者、文件"));
    for (int i = 0; i < kLibrarySortCount; ++i) m_sort->setItemText(i, ToolText(kSortTexts[i]));
    m_sort->setToolTip(ToolText("排序"));
    m_grid->setText(ToolText("缩略图"));
    m_grid->setToolTip(ToolText("列表或缩略图"));
}

bool LibraryPanel::GridShown() const {
    return m_grid->isChecked();
}

void LibraryPanel::Place(const QRect& area, bool shown) {
    for (QWidget* w : {static_cast<QWidget*>(m_filter), static_cast<QWidget*>(m_sort), static_cast<QWidget*>(m_grid)})
        w->setVisible(shown);
    if (!shown) return;
    const int gridWidth = std::min(area.width() / 3, 56);
    m_filter->setGeometry(area.left(), area.top(), area.width(), kControlHeight);
    m_sort->setGeometry(area.left(), area.top() + kControlHeight, area.width() - gridWidth, kControlHeight);
    m_grid->setGeometry(area.right() + 1 - gridWidth, area.top() + kControlHeight, gridWidth, kControlHeight);
    m_list->setGeometry(area.left(), area.top() + 2 * kControlHeight, area.width(),
                        std::max(0, area.height() - 2 * kControlHeight));
}

void LibraryPanel::Fill() {
    const StageList& list = m_state.Stages;
    const bool grid = m_grid->isChecked();
    // The settings are read after the window is made: show the order and filter the core holds.
    if (m_sort->currentIndex() != static_cast<int>(list.Sort)) {
        QSignalBlocker block(m_sort);
        m_sort->setCurrentIndex(static_cast<int>(list.Sort));
    }
    if (m_filter->text().toStdString() != list.Filter) {
        QSignalBlocker block(m_filter);
        m_filter->setText(FromContentText(list.Filter));
    }
    const int count = static_cast<int>(list.Rows.size() == list.Names.size() ? list.Rows.size() : 0);
    const auto text = [&](int i) {
        const QString name = FromContentText(list.Names[static_cast<size_t>(i)]);
        if (i >= count || list.Rows[static_cast<size_t>(i)].Author.empty()) return name;
        // Under a picture the author gets a line of its own.
        return name + (grid ? QStringLiteral("\n") : QStringLiteral(" \u00b7 ")) +
               FromContentText(list.Rows[static_cast<size_t>(i)].Author);
    };
    const int shown = static_cast<int>(list.Names.size());
    bool same = m_list->count() == shown;
    for (int i = 0; same && i < shown; ++i) same = m_list->item(i)->text() == text(i);
    if (!same) {
        m_list->clear();
        m_rowOfKey.clear();
        for (int i = 0; i < shown; ++i) {
            auto* item = new QListWidgetItem(text(i), m_list);
            if (i < count) {
                const LibraryRow& row = list.Rows[static_cast<size_t>(i)];
                const QString key = RowKey(row.File, row.Entry);
                m_rowOfKey.insert(key, i);
                item->setToolTip(FromContentText(row.ListName));
                if (grid) item->setIcon(m_icons.value(key, m_placeholder));
            }
        }
        if (grid) RequestThumbnails();
    }
}

void LibraryPanel::SetGrid(bool on) {
    m_list->setViewMode(on ? QListView::IconMode : QListView::ListMode);
    m_list->setIconSize(on ? QSize(kThumbnailSize, kThumbnailSize * 3 / 4) : QSize());
    // Cells of one size: pictures of every shape (4:3, 16:9) line up, the name and author below.
    m_list->setGridSize(on ? QSize(kGridCellWidth, kThumbnailSize * 3 / 4 + 2 * m_list->fontMetrics().height() + 8)
                           : QSize());
    m_list->setUniformItemSizes(on);
    m_list->setResizeMode(QListView::Adjust);
    m_list->setMovement(QListView::Static);
    m_list->setWordWrap(on);
    m_list->setTextElideMode(Qt::ElideRight);
    m_list->clear();
    Fill();
    if (on) RequestThumbnails();
}

void LibraryPanel::RequestThumbnails() {
    if (m_state.Dirs.Cache.empty()) return;
    if (!m_worker) {
        m_worker = std::make_unique<ThumbWorker>(ShotProgram(), m_state.Dirs.Cache);
        connect(m_worker.get(), &ThumbWorker::Ready, this, &LibraryPanel::ThumbnailReady, Qt::QueuedConnection);
    }
    std::vector<LibraryRow> missing;
    for (const LibraryRow& row : m_state.Stages.Rows)
        if (!m_icons.contains(RowKey(row.File, row.Entry))) missing.push_back(row);
    if (!missing.empty()) m_worker->Request(missing, m_state.MugeDir);
}

void LibraryPanel::ThumbnailReady(const QString& file, const QString& entry, const QString& png) {
    const QString key = file + QLatin1Char('!') + entry;
    QIcon icon = m_placeholder;
    if (!png.isEmpty()) icon = QIcon(QPixmap(png));
    m_icons.insert(key, icon);
    if (!m_grid->isChecked()) return;
    const int row = m_rowOfKey.value(key, -1);
    if (row >= 0 && row < m_list->count()) m_list->item(row)->setIcon(icon);
}

bool LibraryPanel::TakeKey(const QKeyEvent& key) {
    if (!m_list->isVisible() || !m_list->underMouse()) return false;
    if (key.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
    if ((key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter) && !m_typed.isEmpty()) {
        const int row = m_list->currentRow();
        m_typed.clear();
        if (row >= 0) {
            lstStages_Click(m_state, row);
            m_changed();
        }
        return true;
    }
    const QString typed = key.text();
    if (typed.isEmpty() || !typed.at(0).isPrint()) return false;
    if (!m_lastKey.isValid() || m_lastKey.elapsed() > kTypeAheadMs) m_typed.clear();
    m_lastKey.restart();
    // The row that matched the text so far stays while it still matches.
    const int from = m_typed.isEmpty() ? m_list->currentRow() : m_list->currentRow() - 1;
    m_typed += typed;
    const int row = TypeAheadIndex(m_state.Stages, m_typed.toStdString(), from);
    if (row >= 0) {
        QSignalBlocker block(m_list);
        m_list->setCurrentRow(row);
        m_list->scrollToItem(m_list->item(row));
    }
    return true;
}

}  // namespace qb::gui
