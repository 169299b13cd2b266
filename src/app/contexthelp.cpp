#include "contexthelp.h"

#include "platform/platform.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QWidget>

namespace {

bool hasContext(const QObject *object)
{
    return object->property(kHelpContextProperty).isValid();
}

} // namespace

ContextHelp::ContextHelp(Platform &platform, QObject *parent)
    : QObject(parent), m_platform(platform)
{
}

void ContextHelp::install()
{
    qApp->installEventFilter(this);
}

int ContextHelp::contextOf(const QObject *object)
{
    if (const auto *menu = qobject_cast<const QMenu *>(object)) {
        // In an open menu the highlighted command is the one asked about.
        if (const QAction *action = menu->activeAction(); action && hasContext(action))
            return action->property(kHelpContextProperty).toInt();
    }
    if (object && !object->isWidgetType()) {
        if (hasContext(object))
            return object->property(kHelpContextProperty).toInt();
        return HelpContext::Main;
    }
    for (auto *w = static_cast<const QWidget *>(object); w; w = w->parentWidget()) {
        if (hasContext(w))
            return w->property(kHelpContextProperty).toInt();
    }
    return HelpContext::Main;
}

int ContextHelp::focusContext(const QWidget *fallback)
{
    const QWidget *focus = QApplication::focusWidget();
    return contextOf(focus ? focus : fallback);
}

bool ContextHelp::eventFilter(QObject *watched, QEvent *event)
{
    // Key events pass here once for every widget they are offered to; the
    // first one, the focus widget, answers and the event stops.
    if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_F1 && key->modifiers() == Qt::NoModifier) {
            m_platform.showHelpContext(contextOf(watched));
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
