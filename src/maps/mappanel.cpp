#include "mappanel.h"

#include "mapsession.h"
#include "platform/guard.h"
#include "widgets/look.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>

MapPanel::MapPanel(const QString &name, int width, MapPanelHost host, QWidget *parent)
    : QFrame(parent), m_session(host.session), m_host(std::move(host))
{
    setObjectName(name);
    setFixedWidth(width);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Look::kLimeGreen);
    pal.setColor(QPalette::WindowText, Look::kRed);
    pal.setColor(QPalette::ButtonText, Look::kRed);
    // A button that cannot act says so by its grey caption.
    pal.setColor(QPalette::Disabled, QPalette::ButtonText, Look::kGrey);
    setPalette(pal);
}

void MapPanel::run(const std::function<void()> &body)
{
    guarded(m_host.platform, m_host.window, body);
    m_host.refresh();
}

void MapPanel::waitForScan()
{
    if (!m_session.isDecoding())
        return;
    QGuiApplication::setOverrideCursor(Qt::BusyCursor);
    struct Restore
    {
        ~Restore() { QGuiApplication::restoreOverrideCursor(); }
    } restore;
    m_session.waitForScan();
}

QLabel *MapPanel::caption(const QString &text)
{
    return new QLabel(text, this);
}

QPushButton *MapPanel::button(const QString &name, const QString &text)
{
    auto *b = new QPushButton(text, this);
    b->setObjectName(name);
    return b;
}

void MapPanel::display(QLabel *label, const QString &text)
{
    if (label->text() != text)
        label->setText(text);
}

void MapPanel::display(QLineEdit *field, const QString &text)
{
    if (field->text() != text) {
        const QSignalBlocker blocker(field);
        field->setText(text);
    }
}
