#include "app/aboutdialog.h"
#include "app/quorapp.h"
#include "app/tquor.h"
#include "common/testmain.h"
#include "platform/fakeplatform.h"
#include "platform/qtplatform.h"

#include <QAction>
#include <QDesktopServices>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>

namespace {

const QString kExpectedMail =
    QStringLiteral("mailto:quor@example.org?subject=Quor%20") + QStringLiteral(QUOR_VERSION);

} // namespace

// Receives what the desktop would hand to the user's mail program.
class MailCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void openMail(const QUrl &url) { urls.append(url); }
};

// "&A Propos": name, version, history and the mail link.
class AboutTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    FakePlatform m_platform;
    std::unique_ptr<QuorApp> m_app;

    AboutDialog *openAbout()
    {
        m_app->main->APropos1->trigger();
        return m_app->main->findChild<AboutDialog *>();
    }

private slots:
    void init() { m_app = std::make_unique<QuorApp>(m_platform, m_dir.path()); }
    void cleanup()
    {
        m_app.reset();
        m_platform.mails.clear();
        m_platform.errors.clear();
    }

    void theMenuCommandShowsTheWindow()
    {
        AboutDialog *about = openAbout();
        QVERIFY(about);
        QVERIFY(about->isVisible());
        // Modal: the map window does not take it for a change of window.
        QVERIFY(about->isModal());
        QCOMPARE(about->windowTitle(), QStringLiteral("A Propos de Quor"));
        QCOMPARE(about->nameLabel->text(), QStringLiteral("Quor"));
        about->close();
        // A second "&A Propos" shows the same window again.
        QCOMPARE(openAbout(), about);
        QVERIFY(about->isVisible());
        QCOMPARE(m_app->main->findChildren<AboutDialog *>().size(), 1);
        about->close();
    }

    void showsTheVersionTheBuildGave()
    {
        AboutDialog *about = openAbout();
        QCOMPARE(about->versionLabel->text(),
                 QStringLiteral("Version ") + QStringLiteral(QUOR_VERSION));
        QVERIFY(QRegularExpression(QStringLiteral("^Version \\d+\\.\\d+\\.\\d+$"))
                    .match(about->versionLabel->text())
                    .hasMatch());
        about->close();
    }

    void theHistoryDescribesThisVersionInFrench()
    {
        AboutDialog *about = openAbout();
        const QString history = about->history->toPlainText();
        QVERIFY2(history.contains(QStringLiteral("Version ") + QStringLiteral(QUOR_VERSION)),
                 qPrintable(history));
        QVERIFY(history.contains(QStringLiteral("Première version de Quor.")));
        QVERIFY(history.contains(QStringLiteral("Calcul des heures de passage")));
        about->close();
    }

    void theMailLinkAsksThePlatformForAMailtoAddress()
    {
        AboutDialog *about = openAbout();
        QVERIFY(about->mailLabel->text().contains(QStringLiteral("quor@example.org")));
        QTest::mouseClick(about->mailButton, Qt::LeftButton);
        QCOMPARE(m_platform.mails, QStringList{kExpectedMail});
        QVERIFY(m_platform.mails.first().startsWith(QStringLiteral("mailto:")));
        QVERIFY(m_platform.errors.isEmpty());
        about->close();
    }

    void theRealPlatformOpensTheMailUrl()
    {
        MailCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("mailto"), &catcher, "openMail");
        QtPlatform platform;
        platform.openMail(AboutDialog::mailAddress());
        platform.openMail(QStringLiteral("quor@example.org"));
        QDesktopServices::unsetUrlHandler(QStringLiteral("mailto"));
        QCOMPARE(catcher.urls.size(), 2);
        QCOMPARE(catcher.urls.at(0).toString(QUrl::FullyEncoded), kExpectedMail);
        QCOMPARE(catcher.urls.at(0).scheme(), QStringLiteral("mailto"));
        QCOMPARE(catcher.urls.at(0).path(), QStringLiteral("quor@example.org"));
        // A bare address gets the scheme.
        QCOMPARE(catcher.urls.at(1).toString(), QStringLiteral("mailto:quor@example.org"));
    }
};

QUOR_TEST(AboutTest)
#include "tst_about.moc"
