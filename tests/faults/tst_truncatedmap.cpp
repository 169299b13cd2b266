#include "common/testmain.h"
#include "data/quorerror.h"
#include "faultfixture.h"
#include "maps/jfifdensity.h"
#include "maps/jpegdecoder.h"
#include "maps/verificationpanel.h"

#include <QTest>

#include <jerror.h>

using namespace Faults;
using TestUtil::readBytes;

namespace {

constexpr int kKibibyte = 1024;

QString jpegError(int code)
{
    return QStringLiteral("Erreur JPEG #%1").arg(code);
}

} // namespace

// A map file cut short, as an interrupted copy leaves it, at every 1 KiB:
// the map window shows the decoder's message and goes on, and no file of the
// project changes.
class TruncatedMapTest : public QObject
{
    Q_OBJECT
private slots:
    void everyKibibyte()
    {
        Program p;
        p.start();
        const QByteArray whole = readBytes(p.mapPath());
        QVERIFY2(whole.size() > 16 * kKibibyte, qPrintable(QString::number(whole.size())));
        const QString cut = p.projectFile(QStringLiteral("coupee.jpg"));
        // The cut map has the calibration of the whole one.
        QVERIFY(QFile::copy(calibrationFileName(p.mapPath()), calibrationFileName(cut)));

        int cuts = 0;
        for (qsizetype size = 0; size < whole.size(); size += kKibibyte) {
            TestUtil::writeBytes(cut, whole.left(size));
            const auto before = p.files();
            p.platform.errors.clear();
            p.showMap(cut);
            const QString expected = jpegError(size == 0 ? JERR_INPUT_EMPTY : JWRN_JPEG_EOF);
            QVERIFY2(p.platform.errors == QStringList{expected},
                     qPrintable(QStringLiteral("%1 bytes: %2")
                                    .arg(size)
                                    .arg(p.platform.errors.join(QStringLiteral(" | ")))));
            QCOMPARE(differences(before, p.files()), QString());
            ++cuts;
        }
        QCOMPARE(cuts, int((whole.size() + kKibibyte - 1) / kKibibyte));

        // The whole map again: shown, calibrated, no message.
        TestUtil::writeBytes(cut, whole);
        p.platform.errors.clear();
        p.showMap(cut);
        QVERIFY(p.platform.errors.isEmpty());
        QCOMPARE(p.app->pla()->session().cleanImage().size(),
                 QSize(mapParams().width, mapParams().height));
        QVERIFY(p.app->pla()->VerifCalibra->isVisibleTo(p.app->pla()));
    }

    void densityOfACutHeader()
    {
        // The density fields are read from the header; a file cut inside
        // them is refused, one cut after them gives the densities.
        Program p;
        const QByteArray whole = readBytes(p.mapPath());
        const QString cut = p.projectFile(QStringLiteral("coupee.jpg"));
        const qsizetype identifier = whole.indexOf("JFIF");
        QVERIFY(identifier > 0);
        // "JFIF", its zero byte, the version, the units and two densities.
        const qsizetype fieldsEnd = identifier + 4 + 1 + 2 + 1 + 2 + 2;
        for (qsizetype size = 0; size <= fieldsEnd + 1; ++size) {
            TestUtil::writeBytes(cut, whole.left(size));
            QString refusal;
            JfifDensity density;
            try {
                density = readJfifDensity(cut);
            } catch (const QuorError &error) {
                refusal = error.text();
            }
            if (size < fieldsEnd) {
                QCOMPARE(refusal, QStringLiteral("Lecture au-delà de la fin de fichier"));
            } else {
                QCOMPARE(refusal, QString());
                QCOMPARE(density.unitsCode, mapParams().units);
                QCOMPARE(density.xdens, mapParams().xdens);
                QCOMPARE(density.ydens, mapParams().ydens);
            }
        }
    }
};

QUOR_TEST(TruncatedMapTest)
#include "tst_truncatedmap.moc"
