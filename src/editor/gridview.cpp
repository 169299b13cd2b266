#include "gridview.h"

#include "data/stringgrid.h"
#include "widgets/editmask.h"
#include "gridmodel.h"
#include "platform/guard.h"

#include <QHeaderView>
#include <QLineEdit>

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
