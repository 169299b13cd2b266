#include "app/quorapp.h"
#include "app/tquor.h"
#include "app/tquorpro.h"
#include "common/testmain.h"
#include "common/testutil.h"
#include "data/catalogue.h"
#include "data/settings.h"
#include "editor/gridview.h"
#include "platform/fakeplatform.h"

#include <QAction>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace TestUtil;

namespace {

struct Fixture
{
    QTemporaryDir dir;
    FakePlatform platform;
    std::unique_ptr<QuorApp> app;

    QString programDir() const { return dir.path() + QLatin1Char('/'); }
    void start() { app = std::make_unique<QuorApp>(platform, dir.path()); }
    TQuor &main() { return *app->main; }
    void makeProject(const QString &name, const QByteArray &catalogue = QByteArray(4400, '\0'))
    {
        QDir(dir.path()).mkpath(name);
        writeBytes(programDir() + name + "/Quord.qud", catalogue);
    }
    void remember(const QString &name)
    {
        writeBytes(programDir() + "Quori.qud",
                   QByteArray("[Projet]\r\nNom=") + name.toLatin1() + "\r\n");
    }
};

QStringList enabledState(TQuor &w)
{
    QStringList out;
    for (QAction *a : {w.Ouvrir1, w.Nouveau1, w.Quitter2, w.Enregistrer1, w.Supprimer1, w.Inserer1,
                       w.Itinraire1, w.Cartes1, w.Routes1, w.Gps1, w.ExporterGpx1, w.ImPrimmer1,
                       w.Profil1, w.Voiture1, w.APropos1, w.Aides1})
        out << QStringLiteral("%1=%2").arg(a->objectName()).arg(a->isEnabled() ? 1 : 0);
    return out;
}

QStringList expectState(bool project)
{
    const int p = project ? 1 : 0;
    return {"Ouvrir1=1",
            "Nouveau1=1",
            "Quitter2=1",
            QStringLiteral("Enregistrer1=%1").arg(p),
            QStringLiteral("Supprimer1=%1").arg(p),
            QStringLiteral("Inserer1=%1").arg(p),
            QStringLiteral("Itinraire1=%1").arg(p),
            QStringLiteral("Cartes1=%1").arg(p),
            "Routes1=0",
            "Gps1=0",
            "ExporterGpx1=0",
            "ImPrimmer1=0",
            "Profil1=0",
            "Voiture1=1",
            "APropos1=1",
            "Aides1=1"};
}

} // namespace

// Start-up, the menus and the project commands in the real windows.
class StartupTest : public QObject
{
    Q_OBJECT
private slots:
    void firstStartHasNoProject()
    {
        Fixture f;
        f.start();
        QCOMPARE(f.main().windowTitle(), QStringLiteral("Editeur de route pour "));
        QVERIFY(f.main().liste_iti->isHidden());
        QCOMPARE(enabledState(f.main()), expectState(false));
        QCOMPARE(readBytes(f.programDir() + "Quorc.qud").size(), 300);
        QVERIFY(f.platform.errors.isEmpty());
    }

    void menuCaptionsAndSeparators()
    {
        Fixture f;
        f.start();
        QStringList captions;
        for (QAction *top : f.main().menuBar()->actions()) {
            captions << top->text();
            for (QAction *a : top->menu()->actions())
                captions << (a->isSeparator() ? QStringLiteral("-")
                                              : QStringLiteral("  ") + a->text());
        }
        const QStringList expected = {"&Projet",
                                      "  &Ouvrir",
                                      "  &Nouveau",
                                      "  Modèle de &terrain…",
                                      "-",
                                      "  &Quitter",
                                      "Ca&talogue",
                                      "  &Enregistrer",
                                      "  &Supprimer",
                                      "  &Inserer",
                                      "-",
                                      "  I&tinéraire",
                                      "-",
                                      "  &Cartes",
                                      "  Insère &Routes",
                                      "  &Gps",
                                      "  E&xporter GPX",
                                      "-",
                                      "  Im&primer",
                                      "  Pro&fil",
                                      "  Comparer avec une trace…",
                                      "C&aractéristiques",
                                      "  &Voiture",
                                      "  &Transfert",
                                      "  Vel&o",
                                      "  &Marches",
                                      "  &Poses",
                                      "-",
                                      "  Apprendre mes vitesses…",
                                      "&?",
                                      "  &A Propos",
                                      "  A&ides"};
        QCOMPARE(captions, expected);
        QCOMPARE(f.main().Itinraire1->property(kHelpContextProperty).toInt(), 3);
        QCOMPARE(f.main().Cartes1->property(kHelpContextProperty).toInt(), 5);
        QCOMPARE(f.main().Poses1->property(kHelpContextProperty).toInt(), 2);
        QCOMPARE(f.main().liste_iti->property(kHelpContextProperty).toInt(), 4);
    }

    void rememberedProjectIsOpened()
    {
        Fixture f;
        QByteArray catalogue(4400, '\0');
        catalogue.replace(16, 6, QByteArray("\x05Titre"));
        f.makeProject("Alpes", catalogue);
        f.remember("Alpes");
        f.start();
        QCOMPARE(f.main().windowTitle(), QStringLiteral("Editeur de route pour Alpes"));
        QVERIFY(!f.main().liste_iti->isHidden());
        QCOMPARE(f.main().catalogueGrid().cell(1, 0), QStringLiteral("Titre"));
        QCOMPARE(enabledState(f.main()), expectState(true));
    }

    void rememberedProjectWithoutCatalogueIsDropped()
    {
        Fixture f;
        QDir(f.dir.path()).mkpath("Vide");
        f.remember("Vide");
        f.start();
        QCOMPARE(f.main().windowTitle(), QStringLiteral("Editeur de route pour "));
        QCOMPARE(enabledState(f.main()), expectState(false));
        QVERIFY(f.platform.errors.isEmpty());
        f.main().close();
        QCOMPARE(readBytes(f.programDir() + "Quori.qud"),
                 QByteArray("[Projet]\r\nNom=\r\nItin\xE9raire=0\r\n"));
        QVERIFY(!QFile::exists(f.programDir() + "Vide/Quord.qud"));
    }

    void unreadableSpeedTableStillStarts()
    {
        Fixture f;
        writeBytes(f.programDir() + "Quorc.qud", QByteArray(10, '\0'));
        f.start();
        QCOMPARE(f.platform.errors, QStringList{"Lecture au-delà de la fin de fichier"});
        QCOMPARE(f.app->state.speedTable.value(10), 4000);
    }

    void createProjectDialog()
    {
        Fixture f;
        f.start();
        TQuorpro &pro = *f.app->pro;
        f.main().Nouveau1->trigger();
        QCOMPARE(pro.windowTitle(), QStringLiteral("Nouveau Projet"));
        QVERIFY(pro.isVisible());
        QCOMPARE(pro.size(), QSize(182, 86));
        QCOMPARE(pro.Edit1->geometry(), QRect(8, 8, 169, 26));
        QCOMPARE(pro.ButCreer->text(), QStringLiteral("&Créer"));
        QCOMPARE(pro.ButQuiter->geometry(), QRect(104, 48, 73, 25));

        // Empty: the dialog only closes.
        pro.ButCreer->click();
        QVERIFY(!pro.isVisible());
        QCOMPARE(f.main().windowTitle(), QStringLiteral("Editeur de route pour "));

        f.main().Nouveau1->trigger();
        pro.Edit1->setText(QStringLiteral("Forêt"));
        pro.ButCreer->click();
        QVERIFY(!pro.isVisible());
        QCOMPARE(f.main().windowTitle(), QStringLiteral("Editeur de route pour Forêt"));
        QCOMPARE(readBytes(f.programDir() + QStringLiteral("Forêt/Quord.qud")),
                 QByteArray(4400, '\0'));
        QCOMPARE(enabledState(f.main()), expectState(true));
        QVERIFY(!f.main().liste_iti->isHidden());
    }

    void createExistingProjectOpensItUnchanged()
    {
        Fixture f;
        QByteArray catalogue(4400, '\0');
        catalogue.replace(0, 4,
                          QByteArray("\x03"
                                     "ABC"));
        catalogue.append("TAIL");
        f.makeProject("Alpes", catalogue);
        f.start();
        f.app->pro->Edit1->setText("Alpes");
        f.app->pro->ButCreerClick();
        QCOMPARE(f.main().catalogueGrid().cell(0, 0), QStringLiteral("ABC"));
        QCOMPARE(readBytes(f.programDir() + "Alpes/Quord.qud"), catalogue);
    }

    void unsafeOrImpossibleNamesAreRefused()
    {
        Fixture f;
        f.makeProject("Alpes");
        f.remember("Alpes");
        f.start();
        TQuorpro &pro = *f.app->pro;
        f.main().Nouveau1->trigger();
        for (const QString &name :
             {QStringLiteral("../dehors"), QStringLiteral("/tmp/x"), QStringLiteral("a/../../b")}) {
            pro.Edit1->setText(name);
            pro.ButCreer->click();
            QVERIFY(pro.isVisible());
        }
        QCOMPARE(f.platform.errors.size(), 3);
        QCOMPARE(
            f.platform.errors.at(0),
            QStringLiteral("Nom de projet incorrect : le projet doit être un dossier placé sous "
                           "le dossier du programme."));
        QVERIFY(!QFile::exists(f.dir.path() + "/../dehors"));

        // A name that cannot be a directory: the runtime's message, and the
        // project that was open stays open.
        pro.Edit1->setText("manque/dedans");
        pro.ButCreer->click();
        QVERIFY(pro.isVisible());
        QCOMPARE(f.platform.errors.last(), QStringLiteral("Nom de fichier incorrect"));
        QCOMPARE(f.app->state.projectName, QStringLiteral("Alpes"));
        QCOMPARE(f.main().windowTitle(), QStringLiteral("Editeur de route pour Alpes"));
    }

    void openCancelledReloadsTheCatalogue()
    {
        Fixture f;
        f.makeProject("Alpes");
        f.remember("Alpes");
        f.start();
        f.main().catalogueGrid().setCell(1, 2, "non enregistré");
        f.platform.folderAnswers << std::nullopt;
        f.main().Ouvrir1->trigger();
        QCOMPARE(f.platform.dialogs.last().title, QStringLiteral("Ouvrir un projet"));
        QCOMPARE(f.platform.dialogs.last().directory, f.dir.path());
        QCOMPARE(f.main().catalogueGrid().cell(1, 2), QString());
        QCOMPARE(f.main().windowTitle(), QStringLiteral("Editeur de route pour Alpes"));
    }

    void openNestedFolderBecomesAProject()
    {
        Fixture f;
        f.start();
        QDir(f.dir.path()).mkpath("Alpes/Ete");
        f.platform.folderAnswers << (f.dir.path() + "/Alpes/Ete");
        f.main().Ouvrir1->trigger();
        QCOMPARE(f.app->state.projectName, QStringLiteral("Alpes/Ete"));
        QCOMPARE(f.main().windowTitle(), QStringLiteral("Editeur de route pour Alpes/Ete"));
        QCOMPARE(readBytes(f.programDir() + "Alpes/Ete/Quord.qud").size(), 4400);
        QCOMPARE(enabledState(f.main()), expectState(true));

        // Picking the program directory itself closes the project.
        f.platform.folderAnswers << f.dir.path();
        f.main().Ouvrir1->trigger();
        QCOMPARE(f.app->state.projectName, QString());
        QCOMPARE(enabledState(f.main()), expectState(false));
        QVERIFY(f.main().liste_iti->isHidden());
    }

    void quitAndCloseWriteTheSettings()
    {
        Fixture f;
        f.makeProject("Alpes");
        f.start();
        f.app->pro->Edit1->setText("Alpes");
        f.app->pro->ButCreerClick();
        f.main().Quitter2->trigger();
        QCOMPARE(readBytes(f.programDir() + "Quori.qud"),
                 QByteArray("[Projet]\r\nNom=Alpes\r\nItin\xE9raire=0\r\n"));

        Fixture g;
        g.makeProject("B");
        g.remember("B");
        g.start();
        QSignalSpy closed(g.app->main.get(), &TQuor::closed);
        g.main().close();
        QCOMPARE(closed.count(), 1);
        QCOMPARE(read_settings(g.programDir()).projectName, QStringLiteral("B"));
        QCOMPARE(read_settings(g.programDir()).itinerary, 0);
    }

    void helpCommands()
    {
        Fixture f;
        f.start();
        f.main().Aides1->trigger();
        QCOMPARE(f.platform.helpContentsShown, 1);
    }
};
QUOR_TEST(StartupTest)

#include "tst_startup.moc"
