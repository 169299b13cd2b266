#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// The items of a list box and its selected item: the working copy of a list
// of names. The view shows it; handlers read it, never the view's items.
class StringList
{
public:
    const QStringList &items() const { return m_items; }
    int count() const { return int(m_items.size()); }
    const QString &at(int row) const { return m_items.at(row); }
    // -1 when nothing is selected.
    int current() const { return m_current; }
    // The selected item's text; empty when nothing is selected.
    QString currentText() const;

    // The user picks an item: it becomes the selected one, then the select
    // handler runs. A row outside the list picks nothing and runs nothing.
    void select(int row);
    // The program selects an item (or none with -1): no handler runs, as a
    // selection made by the program is no click of the user.
    void setCurrent(int row);

    void setItems(const QStringList &items);
    // Inserts before `row` (at the end when row is count()); the selected
    // item stays selected.
    void insert(int row, const QString &text);
    // Removes the item; nothing is selected afterwards.
    void remove(int row);
    void clear() { setItems({}); }

    using SelectHandler = std::function<void(int row)>;
    void setSelectHandler(SelectHandler handler) { m_selectHandler = std::move(handler); }

    // Observers for a view of the list.
    using ItemsChanged = std::function<void()>;
    using CurrentChanged = std::function<void()>;
    void setObservers(ItemsChanged itemsChanged, CurrentChanged currentChanged);

private:
    void changeCurrent(int row);

    QStringList m_items;
    int m_current = -1;
    SelectHandler m_selectHandler;
    ItemsChanged m_itemsChanged;
    CurrentChanged m_currentChanged;
};
