#include "common/testmain.h"
#include "mapexport/mapexportdialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QRadioButton>
#include <QTest>

namespace {

constexpr int kKmz = 2; // the format's place in the list
constexpr int kTooMany = 154;

} // namespace

class ExportDialogTest : public QObject
{
    Q_OBJECT

private slots:
    // An export without a picked route keeps the route's choices for the
    // next one that has a route.
    void routeChoicesOutliveAnExportWithoutRoute()
    {
        MapExportOptions wanted;
        wanted.routeArea = true;
        wanted.drawRoute = true;
        const MapExportDialog withoutRoute(wanted, false);
        const MapExportDialog next(withoutRoute.options(), true);
        QVERIFY(next.AvecRoute->isChecked() && next.ZoneRoute->isChecked());
    }

    // Too many tiles at every resolution: the refusal and each resolution's
    // count are shown whole.
    void longTextsAreShownWhole()
    {
        MapExportDialog dialog(MapExportOptions(), true);
        dialog.setTileCounter([](const MapExportOptions &) { return kTooMany; });
        dialog.Format->setCurrentIndex(kKmz);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        const QLabel *message = dialog.Tuiles;
        int widest = 0;
        for (int i = 0; i < dialog.Resolution->count(); ++i)
            widest = std::max(widest, dialog.Resolution->fontMetrics().horizontalAdvance(
                                          dialog.Resolution->itemText(i)));
        QVERIFY(message->height() >= message->heightForWidth(message->width()) &&
                dialog.Resolution->width() > widest);
    }
};

QUOR_TEST(ExportDialogTest)
#include "tst_mapexport_dialog.moc"
