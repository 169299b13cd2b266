#pragma once

#include <QString>
#include <QVector>
#include <functional>

// The cells of a grid of texts with its current cell: the working copy of a
// table. Cells are addressed (column, row) throughout.
class StringGrid
{
public:
    StringGrid(int columnCount, int rowCount);

    int columnCount() const { return m_columns; }
    int rowCount() const { return m_rows; }

    const QString &cell(int column, int row) const;
    void setCell(int column, int row, const QString &text);

    int col() const { return m_col; }
    int row() const { return m_row; }

    // Every move of the current cell, by the user or by the program, comes
    // here. The select handler runs first; when it throws, the cursor stays
    // where it was and the error goes on to the caller. Returns whether the
    // cursor moved.
    bool moveTo(int column, int row);
    bool setCol(int column) { return moveTo(column, m_row); }
    bool setRow(int row) { return moveTo(m_col, row); }

    void copyRow(int from, int to);
    void clearRow(int row);
    void clearAll();

    using SelectHandler = std::function<void(int column, int row)>;
    void setSelectHandler(SelectHandler handler) { m_selectHandler = std::move(handler); }

    // Observers for a view of the grid.
    using CellsChanged = std::function<void(int firstRow, int lastRow)>;
    using CurrentChanged = std::function<void()>;
    void setObservers(CellsChanged cellsChanged, CurrentChanged currentChanged);

private:
    int index(int column, int row) const { return row * m_columns + column; }
    void notifyRows(int first, int last);

    int m_columns;
    int m_rows;
    QVector<QString> m_cells;
    int m_col = 0;
    int m_row = 0;
    SelectHandler m_selectHandler;
    CellsChanged m_cellsChanged;
    CurrentChanged m_currentChanged;
};
