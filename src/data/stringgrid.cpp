#include "stringgrid.h"

StringGrid::StringGrid(int columnCount, int rowCount)
    : m_columns(columnCount), m_rows(rowCount), m_cells(qsizetype(columnCount) * rowCount)
{
}

const QString &StringGrid::cell(int column, int row) const
{
    Q_ASSERT(column >= 0 && column < m_columns && row >= 0 && row < m_rows);
    return m_cells.at(index(column, row));
}

void StringGrid::setCell(int column, int row, const QString &text)
{
    Q_ASSERT(column >= 0 && column < m_columns && row >= 0 && row < m_rows);
    QString &target = m_cells[index(column, row)];
    if (target == text)
        return;
    target = text;
    notifyRows(row, row);
}

bool StringGrid::moveTo(int column, int row)
{
    Q_ASSERT(column >= 0 && column < m_columns && row >= 0 && row < m_rows);
    if (column == m_col && row == m_row)
        return false;
    if (m_selectHandler)
        m_selectHandler(column, row);
    m_col = column;
    m_row = row;
    if (m_currentChanged)
        m_currentChanged();
    return true;
}

void StringGrid::copyRow(int from, int to)
{
    for (int c = 0; c < m_columns; ++c)
        m_cells[index(c, to)] = m_cells.at(index(c, from));
    notifyRows(to, to);
}

void StringGrid::clearRow(int row)
{
    for (int c = 0; c < m_columns; ++c)
        m_cells[index(c, row)].clear();
    notifyRows(row, row);
}

void StringGrid::clearAll()
{
    for (QString &cell : m_cells)
        cell.clear();
    notifyRows(0, m_rows - 1);
}

void StringGrid::setObservers(CellsChanged cellsChanged, CurrentChanged currentChanged)
{
    m_cellsChanged = std::move(cellsChanged);
    m_currentChanged = std::move(currentChanged);
}

void StringGrid::notifyRows(int first, int last)
{
    if (m_cellsChanged)
        m_cellsChanged(first, last);
}
