#include "app/contexthelp.h"
#include "app/helpviewer.h"
#include "app/quorapp.h"
#include "app/tquor.h"
#include "common/testmain.h"
#include "common/testutil.h"
#include "data/catalogue.h"
#include "editor/gridview.h"
#include "gps/tquorrte.h"
#include "maps/calibrationpanel.h"
#include "maps/mapview.h"
#include "maps/tquorpla.h"
#include "platform/fakeplatform.h"
#include "platform/qtplatform.h"
#include "speeds/tquorcar.h"
#include "widgets/stringlistview.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>

using namespace TestUtil;

namespace {

const QString kHelpFolder = QStringLiteral(":/aide/");

QString readPage(const QString &name)
{
    QFile file(kHelpFolder + name);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

// The pages a page links to, without anchors.
QStringList linksOf(const QString &html)
{
    QStringList out;
    static const QRegularExpression href(QStringLiteral("href=\"([^\"#]+)[^\"]*\""));
    for (auto it = href.globalMatch(html); it.hasNext();)
        out << it.next().captured(1);
    return out;
}

struct App
{
    QTemporaryDir dir;
    FakePlatform platform;
    std::unique_ptr<QuorApp> app;
    ContextHelp contextHelp{platform};

    App()
    {
        initQuorResources();
        QDir(dir.path()).mkpath(QStringLiteral("Alpes"));
        writeBytes(dir.path() + QStringLiteral("/Alpes/Quord.qud"), QByteArray(4400, '\0'));
        writeBytes(dir.path() + QStringLiteral("/Quori.qud"), "[Projet]\r\nNom=Alpes\r\n");
        app = std::make_unique<QuorApp>(platform, dir.path());
        contextHelp.install();
    }

    // F1 pressed on `widget`, its window being the active one.
    void pressF1(QWidget *widget)
    {
        QApplication::setActiveWindow(widget->window());
        widget->setFocus();
        QTest::keyClick(widget, Qt::Key_F1);
    }
};

} // namespace

// The help pages, their viewer and the ways to reach them.
class HelpTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { initQuorResources(); }

    void aidesAsksForTheContentsPage()
    {
        App a;
        a.app->main->Aides1->trigger();
        QCOMPARE(a.platform.helpContentsShown, 1);
        QVERIFY(a.platform.helpContexts.isEmpty());
    }

    void theRealPlatformShowsTheContentsInTheViewer()
    {
        QtPlatform platform;
        HelpViewer viewer;
        platform.setHelpDisplay(&viewer);
        platform.showHelpContents();
        QVERIFY(viewer.isVisible());
        QVERIFY(viewer.property(kHelpWindowProperty).toBool());
        QCOMPARE(viewer.page(), QUrl(QStringLiteral("qrc:/aide/index.html")));
        QCOMPARE(viewer.pageTitle(), QStringLiteral("Sommaire"));
        QCOMPARE(viewer.windowTitle(), QStringLiteral("Aide de Quor - Sommaire"));
        QVERIFY(viewer.browser->toPlainText().contains(
            QStringLiteral("Premiers pas avec le projet Exemple")));

        platform.showHelpContext(HelpContext::StageGrid);
        QCOMPARE(viewer.page(), QUrl(QStringLiteral("qrc:/aide/itineraire.html")));
        QCOMPARE(viewer.pageTitle(), QStringLiteral("L'itinéraire : le tableau des étapes"));
        // Back to the contents page, and forward again.
        QVERIFY(viewer.backButton->isEnabled());
        viewer.backButton->click();
        QCOMPARE(viewer.page(), QUrl(QStringLiteral("qrc:/aide/index.html")));
        viewer.forwardButton->click();
        QCOMPARE(viewer.page(), QUrl(QStringLiteral("qrc:/aide/itineraire.html")));
        viewer.contentsButton->click();
        QCOMPARE(viewer.page(), QUrl(QStringLiteral("qrc:/aide/index.html")));
    }

    void eachContextHasItsPage_data()
    {
        QTest::addColumn<int>("context");
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("title");
        QTest::newRow("1") << 1 << "projets.html"
                           << "La fenêtre principale et les projets";
        QTest::newRow("2") << 2 << "vitesses.html"
                           << "Les caractéristiques : vitesses et pauses";
        QTest::newRow("3") << 3 << "commandes.html"
                           << "Enregistrer, Supprimer, Inserer et Itinéraire";
        QTest::newRow("4") << 4 << "catalogue.html"
                           << "Le catalogue des itinéraires";
        QTest::newRow("5") << 5 << "itineraire.html"
                           << "L'itinéraire : le tableau des étapes";
        QTest::newRow("6") << 6 << "cartes.html"
                           << "La fenêtre des cartes";
        QTest::newRow("7") << 7 << "gps.html"
                           << "Exporter une route vers un GPS";
        QTest::newRow("unknown 0") << 0 << "index.html"
                                   << "Sommaire";
        QTest::newRow("8") << 8 << "echange-gpx.html"
                           << "Échanger des routes au format GPX";
        QTest::newRow("9") << 9 << "marches.html"
                           << "Vos marches enregistrées : apprendre vos vitesses, comparer avec "
                              "l'horaire";
        QTest::newRow("unknown 10") << 10 << "index.html"
                                    << "Sommaire";
    }

    void eachContextHasItsPage()
    {
        QFETCH(int, context);
        QFETCH(QString, page);
        QFETCH(QString, title);
        HelpViewer viewer;
        viewer.showContext(context);
        QCOMPARE(viewer.page(), QUrl(QStringLiteral("qrc:/aide/") + page));
        QCOMPARE(viewer.pageTitle(), title);
        QVERIFY(!viewer.browser->toPlainText().trimmed().isEmpty());
    }

    void everyLinkLeadsToAPageAndEveryPageIsReachable()
    {
        const QStringList pages = QDir(kHelpFolder).entryList({QStringLiteral("*.html")});
        QVERIFY(pages.size() >= 13);
        for (const QString &page : pages) {
            const QString html = readPage(page);
            QVERIFY2(html.contains(QStringLiteral("<title>")), qPrintable(page));
            for (const QString &link : linksOf(html))
                QVERIFY2(pages.contains(link), qPrintable(page + QStringLiteral(" -> ") + link));
        }
        QSet<QString> seen{QStringLiteral("index.html")};
        QStringList queue{QStringLiteral("index.html")};
        while (!queue.isEmpty()) {
            for (const QString &link : linksOf(readPage(queue.takeFirst()))) {
                if (!seen.contains(link)) {
                    seen.insert(link);
                    queue << link;
                }
            }
        }
        QCOMPARE(seen.size(), pages.size());
    }

    void theTimeRulesCarryTheWorkedExample()
    {
        HelpViewer viewer;
        viewer.browser->setSource(QUrl(QStringLiteral("qrc:/aide/calcul.html")));
        QCOMPARE(viewer.pageTitle(), QStringLiteral("Le calcul des heures"));
        const QString text = viewer.browser->toPlainText();
        for (const char *time : {"08:00", "08:30", "09:30", "10:30", "11:30"})
            QVERIFY2(text.contains(QLatin1String(time)), time);
        QVERIFY(text.contains(QStringLiteral("L'heure d'arrivée du catalogue devient 11:30.")));
        QVERIFY(text.contains(QStringLiteral("le code de la ligne 2 devient MM")));
    }

    void theExampleIsExplained()
    {
        const QString text = readPage(QStringLiteral("premiers-pas.html"));
        QVERIFY(text.contains(QStringLiteral("<b>Projet &gt; Ouvrir</b>")));
        QVERIFY(text.contains(QStringLiteral("Vallon.jpg")));
        QVERIFY(text.contains(QStringLiteral("Sentier du lac")));
        QVERIFY(
            readPage(QStringLiteral("index.html")).contains(QStringLiteral("premiers-pas.html")));
    }

    void f1OnTheStageGridShowsContext5()
    {
        App a;
        TQuor &w = *a.app->main;
        w.show();
        w.Itinraire1->trigger();
        QVERIFY(w.liste_eta->isVisible());
        a.pressF1(w.liste_eta);
        QCOMPARE(a.platform.helpContexts, QList<int>{HelpContext::StageGrid});
    }

    void f1OnTheCatalogueGridShowsContext4()
    {
        App a;
        TQuor &w = *a.app->main;
        w.show();
        a.pressF1(w.liste_iti);
        QCOMPARE(a.platform.helpContexts, QList<int>{HelpContext::CatalogueGrid});
    }

    void f1OnTheSpeedDialogShowsContext2()
    {
        App a;
        a.app->main->Marches1->trigger();
        TQuorcar &car = *a.app->car();
        QVERIFY(car.isVisible());
        a.pressF1(car.MaskEdit2);
        QCOMPARE(a.platform.helpContexts, QList<int>{HelpContext::Speeds});
    }

    void f1InTheMapWindowShowsContext6()
    {
        App a;
        TQuorpla &map = *a.app->pla();
        QTest::keyClick(map.ScrollBox1, Qt::Key_F1);
        QTest::keyClick(map.Calibra->ValiCalibr, Qt::Key_F1);
        QCOMPARE(a.platform.helpContexts, (QList<int>{HelpContext::Map, HelpContext::Map}));
    }

    void f1InTheRouteDialogFollowsItsMode()
    {
        App a;
        TQuor &w = *a.app->main;
        w.Itinraire1->trigger();
        TQuorrte &rte = *a.app->rte();
        w.Routes1->trigger();
        QTest::keyClick(rte.Quitter, Qt::Key_F1);
        // While it exports, the dialog and its controls carry context 7.
        w.Gps1->trigger();
        QEvent activate(QEvent::WindowActivate);
        QCoreApplication::sendEvent(&rte, &activate);
        QTest::keyClick(static_cast<QWidget *>(rte.LRoutes), Qt::Key_F1);
        QCOMPARE(a.platform.helpContexts,
                 (QList<int>{HelpContext::StageGrid, HelpContext::GpsExport}));
    }

    void f1InTheViewerShowsTheContents()
    {
        FakePlatform platform;
        ContextHelp contextHelp(platform);
        contextHelp.install();
        HelpViewer viewer;
        viewer.showContext(HelpContext::Map);
        QApplication::setActiveWindow(&viewer);
        viewer.browser->setFocus();
        QTest::keyClick(viewer.browser, Qt::Key_F1);
        QCOMPARE(viewer.page(), HelpViewer::contentsPage());
        QVERIFY(platform.helpContexts.isEmpty());
    }

    void f1InAMenuNamesTheHighlightedCommand()
    {
        App a;
        TQuor &w = *a.app->main;
        QCOMPARE(ContextHelp::contextOf(w.Voyages1), HelpContext::CatalogueCommands);
        w.Voyages1->setActiveAction(w.Cartes1);
        QCOMPARE(ContextHelp::contextOf(w.Voyages1), HelpContext::StageGrid);
        QCOMPARE(ContextHelp::contextOf(w.Poses1), HelpContext::Speeds);
        // A widget without a number of its own takes its window's.
        QCOMPARE(ContextHelp::contextOf(a.app->car()->Label1), HelpContext::Speeds);
        QCOMPARE(ContextHelp::contextOf(nullptr), HelpContext::Main);
    }
};

QUOR_TEST(HelpTest)
#include "tst_help.moc"
