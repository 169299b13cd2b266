#pragma once

#include <QAbstractListModel>
#include <QListView>

class StringList;

// Shows a StringList: the list's texts are the model's rows, and its
// selected item is the view's selection.
class StringListModel : public QAbstractListModel
{
    Q_OBJECT
public:
    explicit StringListModel(StringList &list, QObject *parent = nullptr);
    ~StringListModel() override;

    StringList &list() { return m_list; }
    // Every row this high; 0 leaves the style's height.
    void setRowHeight(int pixels) { m_rowHeight = pixels; }
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;

signals:
    void currentChanged();

private:
    StringList &m_list;
    int m_rowHeight = 0;
};

// A list box over a StringList. A click or a key that picks an item runs the
// list's select handler through `select`; a selection made by the program
// shows without running it.
class StringListView : public QListView
{
    Q_OBJECT
public:
    StringListView(StringList &list, QWidget *parent = nullptr);

    StringList &list() { return m_model->list(); }
    void setRowHeight(int pixels) { m_model->setRowHeight(pixels); }
    // The rectangle of a row, for a test's click.
    QRect rowRect(int row) const;

signals:
    // The user picked a row (also the row already selected).
    void picked(int row);

protected:
    void mousePressEvent(QMouseEvent *event) override;

private:
    void showCurrent();

    StringListModel *m_model;
    bool m_showing = false;
    bool m_pickedByPress = false;
};
