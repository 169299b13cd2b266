#include "mapsession.h"

#include "backgrounddecode.h"

#include "data/appstate.h"
#include "data/linelist.h"
#include "data/quorerror.h"
#include "gridlabels.h"
#include "jfifdensity.h"


#include <exception>

namespace {

const QString kEd50 = QStringLiteral("ED50");
const QString kWgs84 = QStringLiteral("WGS84");
constexpr int kPoints = 3;
// A masked field's text holds a blank for every position left unfilled.
const QChar kUnfilledPosition = QLatin1Char(' ');

QString padded(const QString &text, int digits)
{
    return text.size() < digits ? text + QString(digits - text.size(), kUnfilledPosition) : text;
}

} // namespace

MapSession::MapSession(AppState &state, QObject *parent) : QObject(parent), m_state(state)
{
    m_routes.setSelectHandler([this](int) { pickRoute(); });
    m_waypoints.setSelectHandler([this](int) { selectWaypoint(); });
}

MapSession::~MapSession() = default;

void MapSession::setCatalogueTitleSource(std::function<QString()> source)
{
    m_catalogueTitle = std::move(source);
}

void MapSession::setMapPath(const QString &path)
{
    m_mapPath = path;
}

// ------------------------------------------------------------------ the map

void MapSession::clearLists()
{
    m_ready = false;
    m_calibrationLines.clear();
    m_routeLines.clear();
    m_waypointLines.clear();
}

void MapSession::activate()
{
    clearLists();
    reset();
}

void MapSession::release()
{
    clearLists();
    // The decoded picture stays in the cache for the next activation.
    m_clean = QImage();
    emit changed();
}

void MapSession::loadMapImage()
{
    if (m_imageCache.isCurrent(m_mapPath)) {
        m_decoding.reset();
        m_clean = m_imageCache.image();
        m_shown.setScan(m_clean);
        m_shown.overlay().clear();
        emit pictureReplaced();
        return;
    }
    // Coming back while the same unchanged file decodes: the decoding goes on.
    if (m_decoding && m_decoding->path() == m_mapPath &&
        m_decoding->stamp() == fileStamp(m_mapPath)) {
        m_shown.overlay().clear();
        emit pictureReplaced();
        return;
    }
    // Another or a changed file: the old clean picture goes first, so that
    // decoding holds no more than the displayed picture besides the new one.
    // The displayed picture stays on screen until the new one is decoded, or
    // for a big scan until its rows start to come.
    m_decoding.reset();
    m_clean = QImage();
    m_imageCache.clear();
    const FileStamp stamp = fileStamp(m_mapPath);
    JpegDecodeOptions header;
    header.headerOnly = true;
    QSize size;
    decodeJpegFile(m_mapPath, header, &size);
    if (qint64(size.width()) * size.height() < BackgroundDecode::backgroundFrom()) {
        m_clean = m_imageCache.load(m_mapPath);
        m_shown.setScan(m_clean);
    } else {
        startDecoding(stamp, size);
    }
    m_shown.overlay().clear();
    emit pictureReplaced();
}

void MapSession::startDecoding(const FileStamp &stamp, QSize size)
{
    // The window shows the rows as they come, from the top; everything else
    // is served at once, in pixels of the full scan.
    const quint64 generation = ++m_decodeGeneration;
    m_shown.setPartial(size);
    m_decoding = std::make_unique<BackgroundDecode>(
        m_mapPath, stamp, this,
        [this, generation] {
            if (generation == m_decodeGeneration)
                showDecodedRows();
        },
        [this, generation] {
            if (generation != m_decodeGeneration)
                return;
            const QString error = finishDecoding();
            if (!error.isEmpty())
                emit decodeFailed(error);
        });
}

void MapSession::showDecodedRows()
{
    if (!m_decoding)
        return;
    const BackgroundDecode::Progress progress = m_decoding->progress();
    const QRect came = m_shown.setReadyRows(progress.picture, progress.rows);
    if (!came.isEmpty())
        emit pictureUpdated(QRegion(came));
}

QString MapSession::finishDecoding()
{
    if (!m_decoding)
        return {};
    m_decoding->wait();
    BackgroundDecode::Result result = m_decoding->take();
    const QString path = m_decoding->path();
    const FileStamp stamp = m_decoding->stamp();
    m_decoding.reset();
    if (result.picture.isNull()) {
        m_ready = false;
        m_loadFailed = true;
        m_loadError = result.error;
        emit changed();
        return result.error;
    }
    m_imageCache.store(path, stamp, result.picture);
    // A window left meanwhile keeps only the cache's copy and the shown one,
    // which are the same pixels.
    if (m_ready)
        m_clean = result.picture;
    m_shown.setScan(result.picture);
    emit pictureReplaced();
    return {};
}

void MapSession::waitForScan()
{
    const QString error = finishDecoding();
    if (!error.isEmpty())
        throw QuorError(error);
}

void MapSession::reset()
{
    // Nothing acts on the lists until the map has loaded again.
    m_ready = false;
    try {
        loadMapImage();
    } catch (const QuorError &error) {
        m_loadFailed = true;
        m_loadError = error.text();
        emit changed();
        throw;
    }
    m_loadFailed = false;
    m_loadError.clear();
    m_ready = true;
    if (m_catalogueTitle)
        m_newRouteName = m_catalogueTitle();
    m_form.zone = kDefaultZone;
    m_form.letter = kDefaultLetter;
    if (!m_form.checked[0])
        setPointChecked(0, true);
    m_panel = Panel::None;
    m_routeButtonsEnabled = false;

    std::exception_ptr damaged;
    bool calibrated = false;
    try {
        calibrated = loadCalibration();
    } catch (const QuorError &) {
        // A damaged calibration file must not leave the window without a
        // panel: the user sees why, then validates a new calibration that
        // replaces the file.
        damaged = std::current_exception();
    }
    m_panel = calibrated ? Panel::Verification : Panel::Calibration;
    loadRoutes();
    emit changed();
    if (damaged)
        std::rethrow_exception(damaged);
}

void MapSession::changeMap(const QString &path)
{
    m_mapPath = path;
    reset();
}

void MapSession::pointerMoved(int x, int y)
{
    if (!m_ready)
        return;
    if (m_panel == Panel::Calibration) {
        for (int k = 0; k < kPoints; ++k) {
            if (m_form.checked[k]) {
                m_form.points[k].x = QString::number(x);
                m_form.points[k].y = QString::number(y);
            }
        }
    }
    const UtmReal utm = PixelToUtm(m_transform, x, y);
    const QString easting = QString::number(roundHalfEven(utm.easting));
    const QString northing = QString::number(roundHalfEven(utm.northing));
    if (m_panel == Panel::Verification) {
        m_verification.x = easting;
        m_verification.y = northing;
    } else if (m_panel == Panel::Waypoints) {
        m_waypointTexts.easting = easting;
        m_waypointTexts.northing = northing;
    }
    emit changed();
}

void MapSession::click()
{
    if (!m_ready)
        return;
    if (m_panel == Panel::Calibration) {
        m_form.checked = {};
        emit changed();
    } else if (m_panel == Panel::Waypoints) {
        placeWaypoint();
    }
}

void MapSession::drawGridLabels()
{
    m_pictureFont = gridLabelFont(m_xdens);
    m_shown.overlay().clear();
    if (!m_shown.isNull())
        m_shown.overlay().setGridLabels(
            m_pictureFont, m_transform, m_shown.size(),
            gridTitle(m_verification.zone, m_verification.letter, m_verification.datum),
            m_shown.device());
    emit pictureReplaced();
}

// --------------------------------------------------------- calibration panel

QString MapSession::zoneText() const
{
    return QString::number(m_form.zone);
}

QString MapSession::letterText() const
{
    return QString(QChar(m_form.letter));
}

QString MapSession::datumText() const
{
    return m_form.datum == kDatumEd50 ? kEd50 : kWgs84;
}

void MapSession::setZone(int position)
{
    if (!m_ready)
        return;
    m_form.zone = qBound(kMinZone, position, kMaxZone);
    emit changed();
}

void MapSession::setLetter(int position)
{
    if (!m_ready)
        return;
    m_form.letter = qBound(kFirstLetter, position, kLastLetter);
    emit changed();
}

void MapSession::setDatum(int position)
{
    if (!m_ready)
        return;
    m_form.datum = qBound(kDatumEd50, position, kDatumWgs84);
    emit changed();
}

void MapSession::setPointChecked(int point, bool checked)
{
    if (point < 0 || point >= kPoints || m_form.checked[point] == checked)
        return;
    m_form.checked[point] = checked;
    if (checked) {
        for (int k = 0; k < kPoints; ++k) {
            if (k != point)
                m_form.checked[k] = false;
        }
        // Each point is expected near its own corner of the map: point 1
        // top-left, point 2 bottom-right, point 3 bottom-left.
        emit scrollRequested(point == 1, point != 0);
    }
    emit changed();
}

void MapSession::setEasting(int point, const QString &text)
{
    if (point < 0 || point >= kPoints)
        return;
    m_form.points[point].easting = text.left(kEastingDigits);
    emit changed();
}

void MapSession::setNorthing(int point, const QString &text)
{
    if (point < 0 || point >= kPoints)
        return;
    m_form.points[point].northing = text.left(kNorthingDigits);
    emit changed();
}

CalibrationTexts MapSession::paddedPointTexts() const
{
    CalibrationTexts texts = m_form.points;
    for (PointTexts &point : texts) {
        point.easting = padded(point.easting, kEastingDigits);
        point.northing = padded(point.northing, kNorthingDigits);
    }
    return texts;
}

QStringList MapSession::calibrationFieldLines() const
{
    QStringList lines(CalibrationLine::Count);
    lines[CalibrationLine::Zone] = zoneText();
    lines[CalibrationLine::Letter] = letterText();
    lines[CalibrationLine::Datum] = datumText();
    const CalibrationTexts texts = paddedPointTexts();
    for (int k = 0; k < kPoints; ++k) {
        using namespace CalibrationLine;
        lines[of(k, PixelX)] = texts[k].x;
        lines[of(k, Easting)] = texts[k].easting;
        lines[of(k, PixelY)] = texts[k].y;
        lines[of(k, Northing)] = texts[k].northing;
    }
    return lines;
}

bool MapSession::computeCalibration()
{
    if (!computeTransformFromTexts(m_transform, paddedPointTexts()))
        return false;
    // The header is read again at every computation: the file may have been
    // replaced since.
    const JfifDensity density = readJfifDensity(m_mapPath);
    m_unitsCode = density.unitsCode;
    m_xdens = density.xdens;
    m_ydens = density.ydens;
    const qint64 scale = MapScale(m_transform.c[1], m_transform.d[2], density.xdens, density.ydens,
                                  density.unitsCode);
    m_verification.scale = QString::number(scale);
    return true;
}

void MapSession::showCalibration(const QString &zone, const QString &letter, const QString &datum)
{
    m_verification.zone = zone;
    m_verification.letter = letter;
    m_verification.datum = datum;
    m_waypointTexts.zone = zone;
    m_waypointTexts.letter = letter;
    m_waypointTexts.datum = datum;
}

void MapSession::validateCalibration()
{
    if (!m_ready)
        return;
    // Whatever the computation changed before a failure is shown.
    struct Notify
    {
        MapSession *session;
        ~Notify() { emit session->changed(); }
    } notify{this};
    if (!computeCalibration())
        return;
    m_panel = Panel::Verification;
    const QStringList lines = calibrationFieldLines();
    m_calibrationLines = lines;
    showCalibration(lines[CalibrationLine::Zone], lines[CalibrationLine::Letter],
                    lines[CalibrationLine::Datum]);
    LineList::write(calibrationFileName(m_mapPath), lines);
}

bool MapSession::loadCalibration()
{
    QStringList lines;
    if (!LineList::read(calibrationFileName(m_mapPath), lines))
        return false;
    m_calibrationLines = lines;
    // Each line is placed as it is read: a file cut short fills what it has.
    const QString &zone = calibrationLine(lines, CalibrationLine::Zone);
    m_verification.zone = zone;
    m_waypointTexts.zone = zone;
    const QString &letter = calibrationLine(lines, CalibrationLine::Letter);
    m_verification.letter = letter;
    m_waypointTexts.letter = letter;
    const QString &datum = calibrationLine(lines, CalibrationLine::Datum);
    m_verification.datum = datum;
    m_waypointTexts.datum = datum;
    for (int k = 0; k < kPoints; ++k) {
        using namespace CalibrationLine;
        PointTexts &point = m_form.points[k];
        point.x = calibrationLine(lines, of(k, PixelX));
        point.easting = calibrationLine(lines, of(k, Easting)).left(kEastingDigits);
        point.y = calibrationLine(lines, of(k, PixelY));
        point.northing = calibrationLine(lines, of(k, Northing)).left(kNorthingDigits);
    }
    computeCalibration();
    return true;
}

// -------------------------------------------------------- verification panel

void MapSession::confirmCalibration()
{
    if (!m_ready)
        return;
    drawGridLabels();
    m_panel = Panel::Routes;
    emit changed();
}

void MapSession::redoCalibration()
{
    if (!m_ready)
        return;
    m_panel = Panel::Calibration;
    emit changed();
}
