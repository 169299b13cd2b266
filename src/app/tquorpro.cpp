#include "tquorpro.h"

#include "platform/guard.h"
#include "widgets/look.h"
#include "platform/platform.h"
#include "tquor.h"

#include <QEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

using namespace Look;

namespace {

constexpr QSize kClientSize(182, 86);

} // namespace

TQuorpro::TQuorpro(TQuor &main, Platform &platform, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), m_main(main),
      m_platform(platform)
{
    setObjectName(QStringLiteral("TQuorpro"));
    setWindowTitle(QStringLiteral("Gestion des projets"));
    setModal(false);
    setFont(arial(13));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kNavy);
    setPalette(pal);
    setAutoFillBackground(true);
    setFixedSize(kClientSize);
    setProperty(kHelpContextProperty, HelpContext::Main);

    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(8, 8, 169, 26);
    Edit1->setFont(arial(16));

    ButCreer = new QPushButton(QStringLiteral("&Créer"), this);
    ButCreer->setObjectName(QStringLiteral("ButCreer"));
    ButCreer->setGeometry(16, 48, 75, 25);
    ButCreer->setDefault(true);

    ButQuiter = new QPushButton(QStringLiteral("&Quitter"), this);
    ButQuiter->setObjectName(QStringLiteral("ButQuiter"));
    ButQuiter->setGeometry(104, 48, 73, 25);

    connect(ButCreer, &QPushButton::clicked, this,
            [this] { guarded(m_platform, this, [this] { ButCreerClick(); }); });
    connect(ButQuiter, &QPushButton::clicked, this, [this] { ButQuiterClick(); });

    if (const QScreen *screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
}

bool TQuorpro::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate)
        FormActivate();
    return QDialog::event(event);
}

void TQuorpro::FormActivate()
{
    Edit1->clear();
}

void TQuorpro::ButCreerClick()
{
    const QString name = Edit1->text();
    if (!name.isEmpty())
        m_main.createProject(name);
    hide();
}

void TQuorpro::ButQuiterClick()
{
    hide();
}
