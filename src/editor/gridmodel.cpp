#include "gridmodel.h"

#include "data/stringgrid.h"

GridModel::GridModel(StringGrid &grid, bool fixedHeaderRow, QObject *parent)
    : QAbstractTableModel(parent), m_grid(grid), m_firstRow(fixedHeaderRow ? 1 : 0)
{
    m_grid.setObservers(
        [this](int first, int last) {
            if (first == 0 && m_firstRow == 1)
                emit headerDataChanged(Qt::Horizontal, 0, m_grid.columnCount() - 1);
            first = std::max(first, m_firstRow);
            if (last < first)
                return;
            emit dataChanged(index(viewRow(first), 0),
                             index(viewRow(last), m_grid.columnCount() - 1));
        },
        [this] { emit currentCellChanged(); });
}

GridModel::~GridModel()
{
    m_grid.setObservers({}, {});
}

int GridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_grid.rowCount() - m_firstRow;
}

int GridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_grid.columnCount();
}

QVariant GridModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return m_grid.cell(index.column(), gridRow(index.row()));
    case Qt::ForegroundRole:
        return m_textColor.isValid() ? QVariant(m_textColor) : QVariant();
    default:
        return {};
    }
}

bool GridModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || role != Qt::EditRole)
        return false;
    m_grid.setCell(index.column(), gridRow(index.row()), value.toString());
    return true;
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return m_firstRow == 1 ? m_grid.cell(section, 0) : QVariant();
    return gridRow(section);
}

Qt::ItemFlags GridModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}
