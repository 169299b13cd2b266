#include "gridview.h"

#include "data/stringgrid.h"
#include "widgets/editmask.h"
#include "gridmodel.h"
#include "platform/guard.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QMouseEvent>

#include <algorithm>
#include <cstdlib>

namespace {
// How far from a row's lower line, in pixels, the pointer still takes it.
constexpr int kRowLineGrip = 3;
} // namespace

QWidget *GridDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &,
                                    const QModelIndex &index) const
{
    auto *editor = new QLineEdit(parent);
    editor->setFrame(false);
    const QString mask = m_maskProvider ? m_maskProvider(index.column()) : QString();
    if (!mask.isEmpty()) {
        auto *validator = new MaskValidator(mask, editor);
        if (!validator->isFreeText()) {
            editor->setValidator(validator);
            editor->setMaxLength(validator->maxLength());
        }
    }
    // The cell holds what is being typed at every moment.
    QPersistentModelIndex target(index);
    auto *model = const_cast<QAbstractItemModel *>(index.model());
    connect(editor, &QLineEdit::textEdited, editor, [model, target](const QString &text) {
        if (target.isValid())
            model->setData(target, text, Qt::EditRole);
    });
    return editor;
}

void GridDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    auto *line = static_cast<QLineEdit *>(editor);
    const QString text = index.data(Qt::EditRole).toString();
    if (line->text() != text)
        line->setText(text);
}

void GridDelegate::setModelData(QWidget *editor, QAbstractItemModel *model,
                                const QModelIndex &index) const
{
    model->setData(index, static_cast<QLineEdit *>(editor)->text(), Qt::EditRole);
}

GridView::GridView(GridModel *model, Platform &platform, QWidget *parent)
    : QTableView(parent), m_model(model), m_delegate(new GridDelegate(this)), m_platform(platform)
{
    setModel(model);
    setItemDelegate(m_delegate);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                    QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    setTabKeyNavigation(true);
    setWordWrap(false);
    horizontalHeader()->setHighlightSections(false);
    verticalHeader()->setHighlightSections(false);

    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            &GridView::onViewCurrentChanged);
    connect(model, &GridModel::currentCellChanged, this, &GridView::syncFromGrid);
    syncFromGrid();
}

void GridView::setMaskProvider(GridDelegate::MaskProvider provider)
{
    m_delegate->setMaskProvider(std::move(provider));
}

void GridView::syncFromGrid()
{
    const StringGrid &grid = m_model->grid();
    const QModelIndex target =
        m_model->index(m_model->viewRow(std::max(grid.row(), m_model->firstRow())), grid.col());
    if (currentIndex() == target)
        return;
    m_syncing = true;
    selectionModel()->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect);
    m_syncing = false;
}

void GridView::onViewCurrentChanged(const QModelIndex &current, const QModelIndex &)
{
    if (m_syncing || !current.isValid())
        return;
    StringGrid &grid = m_model->grid();
    const int row = m_model->gridRow(current.row());
    const int column = current.column();
    if (row == grid.row() && column == grid.col())
        return;
    const bool moved = guarded(m_platform, window(), [&] { grid.moveTo(column, row); });
    if (!moved) {
        // The cursor stays on its cell.
        QMetaObject::invokeMethod(this, &GridView::syncFromGrid, Qt::QueuedConnection);
    }
}

void GridView::setRowResizeColumn(int column)
{
    m_rowResizeColumn = column;
    // The pointer's shape tells where a line can be taken.
    viewport()->setMouseTracking(column >= 0);
}

int GridView::rowLineAt(const QPoint &pos) const
{
    if (m_rowResizeColumn < 0 || columnAt(pos.x()) != m_rowResizeColumn)
        return -1;
    // The line under a row is also the top of the next one, so look at the
    // rows just above and below the pointer.
    for (const int y : {pos.y() - kRowLineGrip, pos.y() + kRowLineGrip}) {
        const int row = rowAt(y);
        if (row < 0)
            continue;
        const int bottom = rowViewportPosition(row) + rowHeight(row);
        if (std::abs(pos.y() - bottom) <= kRowLineGrip)
            return row;
    }
    return -1;
}

void GridView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        m_resizingRow = rowLineAt(event->position().toPoint());
        if (m_resizingRow >= 0)
            return;
    }
    QTableView::mousePressEvent(event);
}

void GridView::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    if (m_resizingRow >= 0) {
        const int height = std::max(pos.y() - rowViewportPosition(m_resizingRow),
                                    verticalHeader()->minimumSectionSize());
        verticalHeader()->resizeSection(m_resizingRow, height);
        return;
    }
    if (event->buttons() == Qt::NoButton) {
        if (rowLineAt(pos) >= 0)
            viewport()->setCursor(Qt::SplitVCursor);
        else
            viewport()->unsetCursor();
    }
    QTableView::mouseMoveEvent(event);
}

void GridView::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_resizingRow >= 0 && event->button() == Qt::LeftButton) {
        m_resizingRow = -1;
        return;
    }
    QTableView::mouseReleaseEvent(event);
}
