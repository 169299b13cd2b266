#include "aboutdialog.h"

#include "appicon.h"
#include "helpviewer.h"
#include "platform/guard.h"
#include "platform/platform.h"

#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace {

const QString kAuthorsAddress = QStringLiteral("quor@example.org");
const QString kHistoryPage = QStringLiteral(":/historique.html");
constexpr int kIconPixels = 64;
constexpr int kNamePoints = 20;
constexpr QSize kInitialSize(560, 520);

} // namespace

AboutDialog::AboutDialog(Platform &platform, QWidget *parent)
    : QDialog(parent), m_platform(platform)
{
    initQuorResources();
    setObjectName(QStringLiteral("AboutDialog"));
    setWindowTitle(QStringLiteral("A Propos de Quor"));
    setProperty(kHelpContextProperty, HelpContext::Main);
    resize(kInitialSize);

    auto *icon = new QLabel(this);
    icon->setPixmap(AppIcon::pixmap(kIconPixels));

    nameLabel = new QLabel(QStringLiteral("Quor"), this);
    nameLabel->setObjectName(QStringLiteral("nameLabel"));
    QFont big = nameLabel->font();
    big.setPointSize(kNamePoints);
    big.setBold(true);
    nameLabel->setFont(big);

    versionLabel = new QLabel(QStringLiteral("Version ") + version(), this);
    versionLabel->setObjectName(QStringLiteral("versionLabel"));
    versionLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto *purpose = new QLabel(
        QStringLiteral("Éditeur de feuilles de route pour préparer randonnées et sorties :\n"
                       "itinéraires, calcul des horaires, cartes scannées, routes GPS."),
        this);
    purpose->setWordWrap(true);

    history = new QTextBrowser(this);
    history->setObjectName(QStringLiteral("history"));
    history->setOpenLinks(false);
    QFile page(kHistoryPage);
    if (page.open(QIODevice::ReadOnly))
        history->setHtml(QString::fromUtf8(page.readAll()));

    mailLabel = new QLabel(QStringLiteral("Une remarque, une erreur ? Écrivez aux auteurs : ") +
                               kAuthorsAddress,
                           this);
    mailLabel->setObjectName(QStringLiteral("mailLabel"));
    mailLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    mailLabel->setWordWrap(true);

    mailButton = new QPushButton(QStringLiteral("&Écrire aux auteurs"), this);
    mailButton->setObjectName(QStringLiteral("mailButton"));
    closeButton = new QPushButton(QStringLiteral("&Fermer"), this);
    closeButton->setObjectName(QStringLiteral("closeButton"));
    closeButton->setDefault(true);

    auto *title = new QVBoxLayout;
    title->addWidget(nameLabel);
    title->addWidget(versionLabel);
    auto *head = new QHBoxLayout;
    head->addWidget(icon);
    head->addLayout(title, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(mailButton);
    buttons->addStretch(1);
    buttons->addWidget(closeButton);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(head);
    layout->addWidget(purpose);
    layout->addWidget(new QLabel(QStringLiteral("Historique des versions :"), this));
    layout->addWidget(history, 1);
    layout->addWidget(mailLabel);
    layout->addLayout(buttons);

    connect(mailButton, &QPushButton::clicked, this,
            [this] { guarded(m_platform, this, [this] { mailClick(); }); });
    connect(closeButton, &QPushButton::clicked, this, &QDialog::accept);
}

QString AboutDialog::version()
{
    return QStringLiteral(QUOR_VERSION);
}

QString AboutDialog::mailAddress()
{
    QUrl url;
    url.setScheme(QStringLiteral("mailto"));
    url.setPath(kAuthorsAddress);
    url.setQuery(QStringLiteral("subject=Quor ") + version());
    return url.toString(QUrl::FullyEncoded);
}

void AboutDialog::mailClick()
{
    m_platform.openMail(mailAddress());
}
