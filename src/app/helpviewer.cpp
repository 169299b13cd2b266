#include "helpviewer.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QShortcut>
#include <QTextBrowser>
#include <QVBoxLayout>

// The resource file is compiled into a static library, whose initialiser
// nothing else would pull into the program.
void initQuorResources()
{
    static const bool done = [] {
        Q_INIT_RESOURCE(quor);
        return true;
    }();
    Q_UNUSED(done);
}

namespace {

const QString kHelpRoot = QStringLiteral("qrc:/aide/");
const QString kContentsPage = QStringLiteral("index.html");
const QString kCaptionPrefix = QStringLiteral("Aide de Quor");
constexpr QSize kInitialSize(820, 680);

// One page per help-context number, in the order of the numbers 1 to 9.
const char *const kContextPages[] = {
    "projets.html",     // 1: main window, "&Projet" and "&?"
    "vitesses.html",    // 2: "C&aractéristiques", speed-table dialog
    "commandes.html",   // 3: "&Enregistrer", "&Supprimer", "&Inserer", "I&tinéraire"
    "catalogue.html",   // 4: catalogue grid
    "itineraire.html",  // 5: stage grid, map and route commands, route dialog
    "cartes.html",      // 6: map window
    "gps.html",         // 7: route dialog while it exports
    "echange-gpx.html", // 8: GPX export and import
    "marches.html",     // 9: recorded walks: learning the speeds, comparing
};
constexpr int kContextCount = int(sizeof kContextPages / sizeof kContextPages[0]);

} // namespace

HelpViewer::HelpViewer(QWidget *parent) : QWidget(parent, Qt::Window)
{
    initQuorResources();
    setObjectName(QStringLiteral("HelpViewer"));
    setProperty(kHelpWindowProperty, true);
    setWindowTitle(kCaptionPrefix);
    resize(kInitialSize);

    browser = new QTextBrowser(this);
    browser->setObjectName(QStringLiteral("browser"));
    browser->setOpenLinks(true);
    browser->setOpenExternalLinks(false);

    contentsButton = new QPushButton(QStringLiteral("&Sommaire"), this);
    contentsButton->setObjectName(QStringLiteral("contentsButton"));
    backButton = new QPushButton(QStringLiteral("&Précédent"), this);
    backButton->setObjectName(QStringLiteral("backButton"));
    backButton->setEnabled(false);
    forwardButton = new QPushButton(QStringLiteral("Sui&vant"), this);
    forwardButton->setObjectName(QStringLiteral("forwardButton"));
    forwardButton->setEnabled(false);
    auto *closeButton = new QPushButton(QStringLiteral("&Fermer"), this);
    closeButton->setObjectName(QStringLiteral("closeButton"));

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(contentsButton);
    buttons->addWidget(backButton);
    buttons->addWidget(forwardButton);
    buttons->addStretch(1);
    buttons->addWidget(closeButton);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(browser, 1);

    connect(contentsButton, &QPushButton::clicked, this, [this] { showPage(contentsPage()); });
    connect(backButton, &QPushButton::clicked, browser, &QTextBrowser::backward);
    connect(forwardButton, &QPushButton::clicked, browser, &QTextBrowser::forward);
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
    connect(browser, &QTextBrowser::backwardAvailable, backButton, &QWidget::setEnabled);
    connect(browser, &QTextBrowser::forwardAvailable, forwardButton, &QWidget::setEnabled);
    connect(browser, &QTextBrowser::sourceChanged, this, [this] { updateCaption(); });

    // Help about the help: the contents page.
    auto *f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(f1, &QShortcut::activated, this, [this] { showPage(contentsPage()); });
}

QUrl HelpViewer::contentsPage()
{
    return QUrl(kHelpRoot + kContentsPage);
}

QUrl HelpViewer::pageForContext(int context)
{
    if (context < 1 || context > kContextCount)
        return contentsPage();
    return QUrl(kHelpRoot + QLatin1String(kContextPages[context - 1]));
}

void HelpViewer::showContents()
{
    showPage(contentsPage());
}

void HelpViewer::showContext(int context)
{
    showPage(pageForContext(context));
}

QUrl HelpViewer::page() const
{
    return browser->source();
}

QString HelpViewer::pageTitle() const
{
    return browser->documentTitle();
}

void HelpViewer::showPage(const QUrl &url)
{
    if (browser->source() != url)
        browser->setSource(url);
    updateCaption();
    show();
    raise();
    activateWindow();
}

void HelpViewer::updateCaption()
{
    const QString title = browser->documentTitle();
    setWindowTitle(title.isEmpty() ? kCaptionPrefix
                                   : kCaptionPrefix + QStringLiteral(" - ") + title);
}

HelpViewer &HelpOnDemand::made()
{
    if (!m_viewer)
        m_viewer = std::make_unique<HelpViewer>();
    return *m_viewer;
}

void HelpOnDemand::showContents()
{
    made().showContents();
}

void HelpOnDemand::showContext(int context)
{
    made().showContext(context);
}
