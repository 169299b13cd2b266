#include "walkcommands.h"

#include "comparisondialog.h"
#include "comparisonsheet.h"
#include "data/appstate.h"
#include "data/catalogue.h"
#include "data/filelayer.h"
#include "data/gpxfile.h"
#include "data/quorerror.h"
#include "data/speedtable.h"
#include "data/stringgrid.h"
#include "editor/printers.h"
#include "editor/routesheetprint.h"
#include "gps/gpxexport.h"
#include "learnspeedsdialog.h"
#include "platform/guard.h"
#include "platform/platform.h"
#include "speedlearning.h"
#include "trackcomparison.h"
#include "walkaltitudes.h"

#include <QFileInfo>
#include <QPrinter>

namespace WalkCommands {

namespace {

const QString kGpxFilter = QStringLiteral("Fichier GPX|*.gpx");
const QString kCsvFilter = QStringLiteral("Fichier CSV|*.csv");
const QString kLearnTitle = QStringLiteral("Apprendre mes vitesses");
const QString kCompareTitle = QStringLiteral("Comparer avec une trace");
const QString kPickWalks = QStringLiteral("Choisissez une ou plusieurs marches enregistrées");
// The walking and stop entries of the speed table.
constexpr int kClimbEntry = 9;
constexpr int kFlatEntry = 10;
constexpr int kDescentEntry = 11;
constexpr int kFirstStopEntry = 12;
constexpr int kStops = 3;

QString startFolder(const AppState &state)
{
    return state.projectName.isEmpty() ? state.programDirectory : state.projectDirectory();
}

void applyLearned(AppState &state, const LearningReport &report)
{
    SpeedTable &table = state.speedTable;
    if (report.climbLearned)
        table.setValue(kClimbEntry, SpeedLearning::tableValue(report.learned.climb,
                                                              SpeedLearning::kLargestClimb));
    if (report.flatLearned)
        table.setValue(kFlatEntry,
                       SpeedLearning::tableValue(report.learned.flat, SpeedLearning::kLargestFlat));
    if (report.descentLearned)
        table.setValue(kDescentEntry, SpeedLearning::tableValue(report.learned.descent,
                                                                SpeedLearning::kLargestDescent));
    save_speed_table(state);
}

GpxDocument readGpx(Platform &platform, QWidget *parent, const QString &title, const QString &path)
{
    const Progress reading = platform.startProgress(
        parent, title, QStringLiteral("Lecture de %1…").arg(QFileInfo(path).fileName()));
    return Gpx::read(path, reading);
}

// The datum of the stages' positions: the one the project's waypoints agree
// on, else the user's answer; none when the user cancels.
std::optional<QString> stageDatum(Platform &platform, QWidget *parent,
                                  const GpxExport::StageDatums &datums)
{
    if (std::optional<QString> agreed = TrackComparisons::projectDatum(datums))
        return agreed;
    const QStringList choices{QLatin1String(Coordinates::kEd50),
                              QLatin1String(Coordinates::kWgs84)};
    const std::optional<int> picked = platform.chooseItem(
        parent, kCompareTitle,
        QStringLiteral("Les cartes du projet ne disent pas dans quel système sont les positions "
                       "des étapes. Système des positions :"),
        choices);
    if (!picked || *picked < 0 || *picked >= choices.size())
        return std::nullopt;
    return choices.at(*picked);
}

void printComparison(Platform &platform, QWidget *parent, QPrinter &printer,
                     const TrackComparison &comparison, const QString &heading,
                     const QTimeZone &zone)
{
    const QString job = QStringLiteral("Comparaison de ") + comparison.itinerary;
    if (!choosePortraitPrinter(platform, parent, printer, job, job))
        return;
    const DeviceTextMetrics metrics(&printer);
    const QString title =
        comparison.itinerary.isEmpty() ? QStringLiteral("Itinéraire") : comparison.itinerary;
    printRouteSheet(printer,
                    ComparisonSheet::layout(title, heading, TrackComparisons::columnTitles(),
                                            TrackComparisons::rows(comparison, zone),
                                            QSize(printer.width(), printer.height()), metrics));
}

void exportComparison(Platform &platform, QWidget *parent, const AppState &state,
                      const TrackComparison &comparison, const QTimeZone &zone)
{
    const QString proposed = PrintJob::fileName(comparison.itinerary) + QStringLiteral(".csv");
    const std::optional<QString> path =
        platform.saveFile(parent, QStringLiteral("Exporter la comparaison en CSV"),
                          startFolder(state), proposed, kCsvFilter, QStringLiteral("csv"));
    if (path)
        FileLayer::writeAtomic(*path, TrackComparisons::csv(comparison, zone));
}

} // namespace

void learnSpeeds(Platform &platform, QWidget *parent, AppState &state)
{
    const QStringList paths =
        platform.openFiles(parent, kPickWalks, startFolder(state), kGpxFilter);
    if (paths.isEmpty())
        return;
    const AltitudeLookup terrain = state.projectName.isEmpty()
                                       ? AltitudeLookup()
                                       : WalkAltitudes::projectModel(state.projectDirectory());
    const RecordedWalks::Altitudes altitudes = terrain && platform.confirm(parent, kTerrainQuestion)
                                                   ? RecordedWalks::Altitudes::FromTerrainModel
                                                   : RecordedWalks::Altitudes::Recorded;
    QList<RecordedWalk> walks;
    QStringList skipped;
    try {
        for (const QString &path : paths) {
            const GpxDocument document = readGpx(platform, parent, kLearnTitle, path);
            const Progress working = platform.startProgress(
                parent, kLearnTitle, QStringLiteral("Découpage des marches…"));
            walks << RecordedWalks::fromDocument(document, QFileInfo(path).fileName(), altitudes,
                                                 terrain, working, &skipped);
        }
    } catch (const Cancelled &) {
        return;
    }
    const LearningReport report = SpeedLearning::learn(walks, WalkingRates::of(state.speedTable));
    const SpeedTable &table = state.speedTable;
    QStringList stopLabels;
    QList<int> stopMinutes;
    for (int i = 0; i < kStops; ++i) {
        stopLabels << table.label(kFirstStopEntry + i);
        stopMinutes << table.value(kFirstStopEntry + i);
    }
    LearnSpeedsDialog dialog(
        report, {table.label(kClimbEntry), table.label(kFlatEntry), table.label(kDescentEntry)},
        stopLabels, stopMinutes, parent);
    if (platform.runDialog(dialog) && platform.confirm(parent, kApplyQuestion))
        applyLearned(state, report);
}

void compareWithTrack(Platform &platform, QWidget *parent, const AppState &state,
                      const StringGrid &stages, const StringGrid &catalogue, int catalogueRow,
                      QPrinter &printer, const QTimeZone &zone)
{
    const std::optional<QString> path = platform.openFile(parent, startFolder(state), kGpxFilter);
    if (!path)
        return;
    GpxDocument document;
    try {
        document = readGpx(platform, parent, kCompareTitle, *path);
    } catch (const Cancelled &) {
        return;
    }
    const QString fileName = QFileInfo(*path).fileName();
    // The walk is read from the track chosen; a file without any is refused
    // with the message of the speeds' learning.
    QList<qsizetype> tracks;
    for (qsizetype t = 0; t < document.tracks.size(); ++t) {
        if (!document.tracks.at(t).points.isEmpty())
            tracks.append(t);
    }
    if (tracks.isEmpty())
        RecordedWalks::fromDocument({}, fileName, RecordedWalks::Altitudes::Recorded, {});
    qsizetype track = tracks.front();
    if (tracks.size() > 1) {
        QStringList names;
        for (const qsizetype t : tracks)
            names << (document.tracks.at(t).name.trimmed().isEmpty()
                          ? QStringLiteral("Trace %1").arg(t + 1)
                          : document.tracks.at(t).name.trimmed());
        const std::optional<int> picked =
            platform.chooseItem(parent, kCompareTitle, QStringLiteral("Trace :"), names);
        if (!picked || *picked < 0 || *picked >= names.size())
            return;
        track = tracks.at(*picked);
    }
    const GpxPath &chosen = document.tracks.at(track);
    const QString walkName = chosen.name.trimmed().isEmpty() ? fileName : chosen.name.trimmed();
    const RecordedWalk walk =
        RecordedWalks::fromTrack(chosen, walkName, RecordedWalks::Altitudes::Recorded, {});
    const GpxExport::StageDatums datums = GpxExport::stageDatums(state);
    const std::optional<QString> datum = stageDatum(platform, parent, datums);
    if (!datum)
        return;
    const QString title = catalogue.cell(Catalogue::Title, catalogueRow).trimmed();
    const TrackComparison comparison = TrackComparisons::compare(
        stages, title, TrackComparisons::stagePositions(stages, datums, *datum), walk);
    // The sheet's line under the title, and the window's heading after it.
    const QString heading =
        QStringLiteral("Comparé à la trace « %1 » (étapes passées à moins de %2 m)")
            .arg(walk.name)
            .arg(qRound(comparison.nearMetres));
    QStringList shown{(title.isEmpty() ? QStringLiteral("Itinéraire") : title) +
                      QStringLiteral(" : ") + heading};
    shown << walk.notices(false);
    ComparisonDialog dialog(
        shown.join(QLatin1Char('\n')), TrackComparisons::columnTitles(),
        TrackComparisons::rows(comparison, zone),
        [&] {
            guarded(platform, parent,
                    [&] { printComparison(platform, parent, printer, comparison, heading, zone); });
        },
        [&] {
            guarded(platform, parent,
                    [&] { exportComparison(platform, parent, state, comparison, zone); });
        },
        parent);
    platform.runDialog(dialog);
}

} // namespace WalkCommands
