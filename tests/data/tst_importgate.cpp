#include "common/testmain.h"
#include "data/importgate.h"

#include <QTest>
#include <cmath>
#include <limits>

using namespace ImportGate;

namespace {

const QString kNotInCodePage = QStringLiteral(
    "le texte contient des caractères que les fichiers du projet ne peuvent pas garder");

} // namespace

// What a text or number written by another program becomes in the project.
class ImportGateTest : public QObject
{
    Q_OBJECT
private slots:
    void textsBecomeOneLineOfTheCodePage_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("nameReason");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("labelReason");
        QTest::newRow("CR") << "Tour\rdu lac"
                            << "Tour du lac"
                            << ""
                            << "Tour du lac"
                            << "";
        QTest::newRow("CR LF, tab and bell run as one") << " Col\r\n\t\adu Loup\n"
                                                        << "Col du Loup"
                                                        << ""
                                                        << "Col du Loup"
                                                        << "";
        QTest::newRow("spaces kept between words") << "A  B \x1f C"
                                                   << "A  B   C"
                                                   << ""
                                                   << "A  B   C"
                                                   << "";
        QTest::newRow("Unicode line separator") << QString::fromUtf16(u"Pic\u2028Sud") << "Pic Sud"
                                                << ""
                                                << "Pic Sud"
                                                << "";
        QTest::newRow("accents and euro of the code page")
            << QString::fromUtf16(u"Forêt € Œuvre") << QString::fromUtf16(u"Forêt € Œuvre") << ""
            << QString::fromUtf16(u"Forêt € Œuvre") << "";
        QTest::newRow("Cyrillic") << QString::fromUtf16(u"Путь") << QString::fromUtf16(u"Путь")
                                  << kNotInCodePage << QString::fromUtf16(u"Путь")
                                  << kNotInCodePage;
        QTest::newRow("emoji") << QString::fromUtf16(u"Lac \U0001F3D4")
                               << QString::fromUtf16(u"Lac \U0001F3D4") << kNotInCodePage
                               << QString::fromUtf16(u"Lac \U0001F3D4") << kNotInCodePage;
        QTest::newRow("only controls") << "\r\n\t"
                                       << ""
                                       << "le texte est vide"
                                       << ""
                                       << "le texte est vide";
        QTest::newRow("comma: a route may, a label may not")
            << "Lac, rive nord"
            << "Lac, rive nord"
            << ""
            << "Lac, rive nord"
            << "le texte contient une virgule, séparateur des champs du format Waypoint+";
        // A label becomes a stage's place of 40 characters.
        const QString forty = QString(39, QLatin1Char('a')) + QLatin1Char('b');
        QTest::newRow("label of 40 kept") << forty << forty << "" << forty << "";
        QTest::newRow("label of 41 cut to 40")
            << forty + QLatin1Char('c') << forty + QLatin1Char('c') << "" << forty << "";
        QTest::newRow("cut, then trimmed") << QString(39, QLatin1Char('a')) + QStringLiteral(" bc")
                                           << QString(39, QLatin1Char('a')) + QStringLiteral(" bc")
                                           << "" << QString(39, QLatin1Char('a')) << "";
    }
    void textsBecomeOneLineOfTheCodePage()
    {
        QFETCH(QString, text);
        QFETCH(QString, name);
        QFETCH(QString, nameReason);
        QFETCH(QString, label);
        QFETCH(QString, labelReason);
        const Text r = routeName(text);
        QCOMPARE(r.value, name);
        QCOMPARE(r.reason, nameReason);
        QCOMPARE(r.usable(), nameReason.isEmpty());
        const Text l = ImportGate::label(text);
        QCOMPARE(l.value, label);
        QCOMPARE(l.reason, labelReason);
    }

    void altitudesTheFilesCanHold_data()
    {
        QTest::addColumn<double>("metres");
        QTest::addColumn<bool>("kept");
        QTest::addColumn<int>("stored");
        QTest::newRow("Dead Sea") << -430.6 << true << -431;
        QTest::newRow("Everest") << 8848.86 << true << 8849;
        QTest::newRow("half to even down") << 1000.5 << true << 1000;
        QTest::newRow("half to even up") << 1001.5 << true << 1002;
        QTest::newRow("minus zero") << -0.0 << true << 0;
        QTest::newRow("highest 32-bit") << 2147483647.0 << true << 2147483647;
        QTest::newRow("rounds past it") << 2147483647.5 << false << 0;
        QTest::newRow("3e9") << 3e9 << false << 0;
        QTest::newRow("lowest 32-bit") << -2147483648.0 << true << int(-2147483648LL);
        QTest::newRow("one below") << -2147483649.0 << false << 0;
        QTest::newRow("1e308") << 1e308 << false << 0;
        QTest::newRow("-1e308") << -1e308 << false << 0;
        QTest::newRow("inf") << std::numeric_limits<double>::infinity() << false << 0;
        QTest::newRow("NaN") << std::nan("") << false << 0;
    }
    void altitudesTheFilesCanHold()
    {
        QFETCH(double, metres);
        QFETCH(bool, kept);
        QFETCH(int, stored);
        const std::optional<qint32> a = altitude(metres);
        QCOMPARE(a.has_value(), kept);
        if (kept)
            QCOMPARE(*a, stored);
    }
};

QUOR_TEST(ImportGateTest)
#include "tst_importgate.moc"
