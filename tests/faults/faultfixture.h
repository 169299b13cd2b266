#pragma once

// Shared by the fault tests: a program directory with a project whose every
// kind of file has been saved, faults injected through the file layer (the
// tests run as root, which ignores permission bits), and a byte-for-byte
// picture of every file to prove that a fault cost nothing saved before it.

#include "app/quorapp.h"
#include "app/tquor.h"
#include "common/testutil.h"
#include "data/catalogue.h"
#include "data/filelayer.h"
#include "data/itinerary.h"
#include "data/linelist.h"
#include "data/speedtable.h"
#include "data/stringgrid.h"
#include "gps/tquorrte.h"
#include "maps/calibration.h"
#include "maps/calibrationpanel.h"
#include "maps/mapfixtures.h"
#include "maps/mapsession.h"
#include "maps/tquorpla.h"
#include "platform/fakeplatform.h"
#include "speeds/tquorcar.h"
#include "widgets/stringlistview.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMap>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <memory>

namespace Faults {

// Every file and folder below `root`, hidden ones included: a file maps to its
// bytes, a folder (name ending in "/") to nothing.
inline QMap<QString, QByteArray> snapshot(const QString &root)
{
    QMap<QString, QByteArray> tree;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    const QDir base(root);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info = it.fileInfo();
        const QString name = base.relativeFilePath(path);
        if (info.isDir())
            tree.insert(name + QLatin1Char('/'), QByteArray());
        else
            tree.insert(name, TestUtil::readBytes(path));
    }
    return tree;
}

// What differs between two snapshots, one line per file; empty when every
// file is byte for byte as it was.
inline QString differences(const QMap<QString, QByteArray> &before,
                           const QMap<QString, QByteArray> &after)
{
    QStringList out;
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        if (!after.contains(it.key()))
            out << QStringLiteral("gone: ") + it.key();
        else if (after.value(it.key()) != it.value())
            out << QStringLiteral("changed: ") + it.key();
    }
    for (auto it = after.cbegin(); it != after.cend(); ++it) {
        if (!before.contains(it.key()))
            out << QStringLiteral("new: ") + it.key();
    }
    return out.join(QStringLiteral(", "));
}

// A fault of the file layer for the lifetime of the object.
class Fault
{
public:
    explicit Fault(FileLayer::FaultHook hook) { FileLayer::setFaultHook(std::move(hook)); }
    ~Fault() { FileLayer::setFaultHook({}); }
    Fault(const Fault &) = delete;
    Fault &operator=(const Fault &) = delete;
};

inline QString folderOf(const QString &path)
{
    return path.left(path.lastIndexOf(QLatin1Char('/')));
}

// A read-only file: it opens for reading only.
inline FileLayer::FaultHook readOnlyFile(const QString &file)
{
    return [file](FileLayer::Op op, const QString &path) {
        return op == FileLayer::Op::OpenReadWrite && path == file ? EACCES : 0;
    };
}

// A read-only folder: its files open as before, but nothing is created,
// renamed or removed in it.
inline FileLayer::FaultHook readOnlyFolder(const QString &folder)
{
    return [folder](FileLayer::Op op, const QString &path) {
        const bool inFolder = folderOf(path) == folder;
        switch (op) {
        case FileLayer::Op::CreateTemp:
        case FileLayer::Op::Rename:
        case FileLayer::Op::Remove:
        case FileLayer::Op::MakeDir:
            return inFolder ? EACCES : 0;
        default:
            return 0;
        }
    };
}

// A disk with no room left: every write of content fails.
inline FileLayer::FaultHook diskFull()
{
    return
        [](FileLayer::Op op, const QString &) { return op == FileLayer::Op::Write ? ENOSPC : 0; };
}

constexpr int kCatalogueRows = 3;
const QString kProject = QStringLiteral("Alpes");
const QString kOtherProject = QStringLiteral("Vosges");
const QString kMapName = QStringLiteral("carte.jpg");
const QString kRouteName = QStringLiteral("Forêt");
// The settings file as the walker left it, with a comment and a section of
// their own.
const QByteArray kSettings = "; mes r\xE9glages\r\n[Projet]\r\nNom=Alpes\r\nItin\xE9raire=0\r\n"
                             "[Autre]\r\nclef=valeur\r\n";

// A calibration of the test map: c = (500000, 2, 0), d = (5000000, 0, -2).
inline QStringList calibrationLines()
{
    return {QStringLiteral("31"),      QStringLiteral("T"),       QStringLiteral("ED50"),
            QStringLiteral("0"),       QStringLiteral("500000"),  QStringLiteral("0"),
            QStringLiteral("5000000"), QStringLiteral("1000"),    QStringLiteral("502000"),
            QStringLiteral("800"),     QStringLiteral("4998400"), QStringLiteral("0"),
            QStringLiteral("500000"),  QStringLiteral("800"),     QStringLiteral("4998400")};
}

inline QStringList waypointLines()
{
    QStringList lines;
    const char *const points[][4] = {{"AA000", "512345", "4845678", "1200"},
                                     {"AA001", "512960", "4846012", "1350"}};
    for (const auto &p : points) {
        lines << QLatin1String(p[0]) << QLatin1String(p[1]) << QLatin1String(p[2])
              << QLatin1String(p[3]) << kMapName << QStringLiteral("31") << QStringLiteral("T")
              << QStringLiteral("ED50") << QStringLiteral("0") << QStringLiteral("0");
    }
    return lines;
}

inline MapFixtures::JpegParams mapParams()
{
    MapFixtures::JpegParams params;
    params.width = 400;
    params.height = 300;
    params.quality = 90;
    return params;
}

// A map with detail everywhere, so that its data runs over many kilobytes.
inline QByteArray mapBytes()
{
    return MapFixtures::makeJpeg(mapParams(), [](int x, int y) {
        return QColor((x * 7) % 256, (y * 13) % 256, ((x ^ y) * 5) % 256);
    });
}

// The program directory of a walker who has used every part of the program:
// a speed table of their own, settings naming the project, a catalogue of
// three itineraries with their stages, routes, waypoints, a map with its
// calibration, and a second project.
struct Program
{
    QTemporaryDir dir;
    FakePlatform platform;
    std::unique_ptr<QuorApp> app;

    QString root() const { return dir.path(); }
    QString programFile(const QString &name) const { return root() + QLatin1Char('/') + name; }
    QString projectDir() const { return programFile(kProject); }
    QString projectFile(const QString &name) const
    {
        return projectDir() + QLatin1Char('/') + name;
    }
    QString mapPath() const { return projectFile(kMapName); }

    TQuor &main() { return *app->main; }
    StringGrid &catalogue() { return main().catalogueGrid(); }
    StringGrid &stages() { return main().stageGrid(); }

    Program()
    {
        SpeedTable speeds;
        speeds.setValue(SpeedTable::entryOf(4, 2), 3500); // a slower walker
        TestUtil::writeBytes(programFile(QStringLiteral("Quorc.qud")), speeds.block());
        TestUtil::writeBytes(programFile(QStringLiteral("Quori.qud")), kSettings);
        QDir(root()).mkdir(kProject);
        QDir(root()).mkdir(kOtherProject);

        StringGrid catalogue(Catalogue::kColumns, Catalogue::kRows);
        const char *const rows[kCatalogueRows][5] = {
            {"COL", "Col du Noir", "07/03/05", "08:30", "17:15"},
            {"LAC", "Lac de la Forêt", "12/08/2024", "07:00", "12:40"},
            {"SOMMET", "Sommet", "", "09:05", ""}};
        for (int r = 0; r < kCatalogueRows; ++r) {
            for (int c = 0; c < Catalogue::kColumns; ++c)
                catalogue.setCell(c, r, QString::fromUtf8(rows[r][c]));
        }
        QByteArray catalogueBlock = Catalogue::blockFromGrid(catalogue, QByteArray());
        TestUtil::writeBytes(projectFile(QStringLiteral("Quord.qud")), catalogueBlock + "TAIL");
        TestUtil::writeBytes(programFile(kOtherProject + QStringLiteral("/Quord.qud")),
                             catalogueBlock);

        for (int n = 0; n < kCatalogueRows; ++n) {
            StringGrid stages(Itinerary::kColumns, Itinerary::kGridRows);
            stages.setCell(Itinerary::Place, 1, QStringLiteral("Parking %1").arg(n));
            stages.setCell(Itinerary::Means, 1, QStringLiteral("MP"));
            stages.setCell(Itinerary::Altitude, 1, QStringLiteral("1200"));
            stages.setCell(Itinerary::Distance, 1, QStringLiteral("2500"));
            stages.setCell(Itinerary::Time, 1, QStringLiteral("08:30"));
            stages.setCell(Itinerary::Place, 2, QStringLiteral("Refuge"));
            stages.setCell(Itinerary::Altitude, 2, QStringLiteral("1850"));
            QByteArray reserved(Itinerary::kBlockSize, '\0');
            reserved[Itinerary::kReservedOffset] = char(0x5A + n);
            TestUtil::writeBytes(projectFile(Itinerary::fileName(n)),
                                 Itinerary::blockFromGrid(stages, reserved));
        }

        TestUtil::writeBytes(projectFile(QStringLiteral("Quorr.qud")),
                             LineList::joinLines({kRouteName, QStringLiteral("AA")}));
        TestUtil::writeBytes(projectFile(QStringLiteral("Quorr.AA")),
                             LineList::joinLines(waypointLines()));
        TestUtil::writeBytes(mapPath(), mapBytes());
        TestUtil::writeBytes(calibrationFileName(mapPath()),
                             LineList::joinLines(calibrationLines()));
    }

    ~Program()
    {
        FileLayer::setFaultHook({});
        app.reset();
    }

    void start() { app = std::make_unique<QuorApp>(platform, root()); }

    QMap<QString, QByteArray> files() const { return snapshot(root()); }

    // Opens the itinerary of catalogue row `row` in the stage grid.
    void openItinerary(int row)
    {
        catalogue().moveTo(Catalogue::Title, row);
        main().Itinraire1->trigger();
    }

    // Types a new flat walking speed in the speed dialog and presses
    // "&Mémoriser".
    void changeWalkingSpeeds(int flat = 4200)
    {
        TQuorcar &car = *app->car();
        main().Marches1->trigger();
        car.FormActivate();
        car.MaskEdit2->setText(QString::number(flat));
        QVERIFY(car.Memoriser->isEnabled());
        car.Memoriser->click();
    }

    // Exports the route to `target` through the route dialog.
    void exportRoute(const QString &target)
    {
        TQuorrte &rte = *app->rte();
        platform.saveFileAnswers.append(target);
        rte.openForExport();
        QCoreApplication::processEvents();
        QEvent activate(QEvent::WindowActivate);
        QCoreApplication::sendEvent(&rte, &activate);
        rte.LRoutes->list().select(0);
        rte.RInsererClick();
    }

    // Shows the map as "&Cartes" does.
    void showMap(const QString &path)
    {
        app->pla()->showMap(path);
        QApplication::setActiveWindow(app->pla());
    }

    // Types the sample calibration into the calibration panel.
    void fillCalibration()
    {
        TQuorpla &pla = *app->pla();
        MapSession &session = pla.session();
        const QStringList lines = calibrationLines();
        QLineEdit *const eastings[3] = {pla.Calibra->X1_c, pla.Calibra->X2_c, pla.Calibra->X3_c};
        QLineEdit *const northings[3] = {pla.Calibra->Y1_c, pla.Calibra->Y2_c, pla.Calibra->Y3_c};
        for (int k = 0; k < 3; ++k) {
            using namespace CalibrationLine;
            // The point captured where the pointer stood, as a click leaves it.
            session.setPointChecked(k, true);
            session.pointerMoved(lines.at(of(k, PixelX)).toInt(), lines.at(of(k, PixelY)).toInt());
            session.setPointChecked(k, false);
            eastings[k]->setText(lines.at(of(k, Easting)));
            northings[k]->setText(lines.at(of(k, Northing)));
        }
    }

    QString cannotCreate(const QString &path) const
    {
        return QStringLiteral("Impossible de créer le fichier ") + path;
    }
};

} // namespace Faults
