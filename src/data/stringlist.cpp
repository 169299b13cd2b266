#include "stringlist.h"

QString StringList::currentText() const
{
    return m_current >= 0 ? m_items.at(m_current) : QString();
}

void StringList::select(int row)
{
    if (row < 0 || row >= count())
        return;
    changeCurrent(row);
    if (m_selectHandler)
        m_selectHandler(row);
}

void StringList::setCurrent(int row)
{
    changeCurrent(row >= 0 && row < count() ? row : -1);
}

void StringList::setItems(const QStringList &items)
{
    m_items = items;
    m_current = -1;
    if (m_itemsChanged)
        m_itemsChanged();
}

void StringList::insert(int row, const QString &text)
{
    row = qBound(0, row, count());
    m_items.insert(row, text);
    // The selected item stays selected.
    if (m_current >= row)
        ++m_current;
    if (m_itemsChanged)
        m_itemsChanged();
}

void StringList::remove(int row)
{
    if (row < 0 || row >= count())
        return;
    m_items.removeAt(row);
    m_current = -1;
    if (m_itemsChanged)
        m_itemsChanged();
}

void StringList::setObservers(ItemsChanged itemsChanged, CurrentChanged currentChanged)
{
    m_itemsChanged = std::move(itemsChanged);
    m_currentChanged = std::move(currentChanged);
}

void StringList::changeCurrent(int row)
{
    m_current = row;
    if (m_currentChanged)
        m_currentChanged();
}
