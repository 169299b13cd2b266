#include "stringlistview.h"

#include "data/stringlist.h"

#include <QItemSelectionModel>
#include <QMouseEvent>

StringListModel::StringListModel(StringList &list, QObject *parent)
    : QAbstractListModel(parent), m_list(list)
{
    m_list.setObservers(
        [this] {
            beginResetModel();
            endResetModel();
            emit currentChanged();
        },
        [this] { emit currentChanged(); });
}

StringListModel::~StringListModel()
{
    m_list.setObservers({}, {});
}

int StringListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_list.count();
}

QVariant StringListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_list.count())
        return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return m_list.at(index.row());
    if (role == Qt::SizeHintRole && m_rowHeight > 0)
        return QSize(0, m_rowHeight);
    return {};
}

StringListView::StringListView(StringList &list, QWidget *parent)
    : QListView(parent), m_model(new StringListModel(list, this))
{
    setModel(m_model);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(m_model, &StringListModel::currentChanged, this, &StringListView::showCurrent);
    // A key or a click that selects a row picks it. The current row alone
    // is no pick: the view makes its first row current when it takes the
    // focus, without selecting it.
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (m_showing)
            return;
        const QModelIndexList rows = selectionModel()->selectedRows();
        if (rows.isEmpty())
            return;
        m_pickedByPress = true;
        emit picked(rows.first().row());
    });
    // A click on the selected item changes no selection but is a click.
    connect(this, &QListView::clicked, this, [this](const QModelIndex &index) {
        if (!m_pickedByPress && index.isValid())
            emit picked(index.row());
    });
}

QRect StringListView::rowRect(int row) const
{
    return visualRect(m_model->index(row));
}

void StringListView::mousePressEvent(QMouseEvent *event)
{
    m_pickedByPress = false;
    QListView::mousePressEvent(event);
}

void StringListView::showCurrent()
{
    m_showing = true;
    const int row = m_model->list().current();
    if (row >= 0) {
        const QModelIndex index = m_model->index(row);
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        scrollTo(index);
    } else {
        selectionModel()->clearSelection();
        selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    }
    m_showing = false;
}
