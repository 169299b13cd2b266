#pragma once

#include <QObject>

class Platform;
class QWidget;

// F1 in any window of the program shows the help page of the control that
// has the focus: its own help-context number or the nearest one of the
// widgets that hold it, down to the window's own.
class ContextHelp : public QObject
{
    Q_OBJECT
public:
    explicit ContextHelp(Platform &platform, QObject *parent = nullptr);

    // Watches every key press of the application.
    void install();

    // The help-context number of `object` (a widget, a menu or a menu
    // command): its own, else the nearest parent widget's, else the main
    // window's.
    static int contextOf(const QObject *object);
    // The number for the widget that has the focus, or for `fallback` when
    // no widget has it.
    static int focusContext(const QWidget *fallback);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Platform &m_platform;
};
