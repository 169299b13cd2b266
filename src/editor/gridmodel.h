#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QFont>

class StringGrid;

// Shows a StringGrid in a QTableView. With a fixed header row, grid row 0 is
// the horizontal header and view row v is grid row v + 1.
class GridModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    GridModel(StringGrid &grid, bool fixedHeaderRow, QObject *parent = nullptr);
    ~GridModel() override;

    StringGrid &grid() { return m_grid; }
    int firstRow() const { return m_firstRow; }
    int gridRow(int viewRow) const { return viewRow + m_firstRow; }
    int viewRow(int gridRow) const { return gridRow - m_firstRow; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    void setTextColor(const QColor &color) { m_textColor = color; }

signals:
    void currentCellChanged();

private:
    StringGrid &m_grid;
    int m_firstRow;
    QColor m_textColor;
};
