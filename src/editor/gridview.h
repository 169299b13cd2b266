#pragma once

#include <QStyledItemDelegate>
#include <QTableView>
#include <functional>

class GridModel;
class Platform;

// The in-place editor of a grid: applies the column's typing mask while the
// user types and keeps the editor's text in the cell at every change.
class GridDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using MaskProvider = std::function<QString(int column)>;
    explicit GridDelegate(QObject *parent = nullptr) : QStyledItemDelegate(parent) {}
    void setMaskProvider(MaskProvider provider) { m_maskProvider = std::move(provider); }

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model,
                      const QModelIndex &index) const override;

private:
    MaskProvider m_maskProvider;
};

// A QTableView over a GridModel whose current cell follows the StringGrid's:
// a user's move goes through StringGrid::moveTo, so the grid's select handler
// runs before it and a failure keeps the cursor where it was.
class GridView : public QTableView
{
    Q_OBJECT
public:
    GridView(GridModel *model, Platform &platform, QWidget *parent = nullptr);

    GridModel *gridModel() const { return m_model; }
    GridDelegate *gridDelegate() const { return m_delegate; }
    void setMaskProvider(GridDelegate::MaskProvider provider);
    // Shows the grid's current cell as the view's current index.
    void syncFromGrid();
    // Lets the user resize a row by dragging its lower line within `column`,
    // for a grid that shows no row numbers to drag; -1 turns this off.
    void setRowResizeColumn(int column);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void onViewCurrentChanged(const QModelIndex &current, const QModelIndex &previous);
    // The view row whose lower line lies under `pos`, or -1.
    int rowLineAt(const QPoint &pos) const;

    GridModel *m_model;
    GridDelegate *m_delegate;
    Platform &m_platform;
    bool m_syncing = false;
    int m_rowResizeColumn = -1;
    int m_resizingRow = -1;
};
