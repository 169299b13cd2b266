#include "mapsession.h"

#include "data/appstate.h"
#include "data/linelist.h"
#include "data/quorerror.h"
#include "gridlabels.h"
#include "jfifdensity.h"
#include "routelist.h"
#include "waypointlist.h"

#include <QFileInfo>
#include <QFontMetrics>
#include <QPainter>

#include <exception>
#include <optional>

namespace {

const QString kEd50 = QStringLiteral("ED50");
const QString kWgs84 = QStringLiteral("WGS84");
const QString kRouteTitleSeparator = QStringLiteral(" >");
constexpr int kRouteCodeLength = 2;
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
    if (!m_imageCache.isCurrent(m_mapPath)) {
        // Another or a changed file: the old clean picture goes first, so
        // that decoding holds no more than the displayed picture besides the
        // new one. The displayed picture stays on screen until the new one
        // has decoded.
        m_clean = QImage();
        m_imageCache.clear();
    }
    m_clean = m_imageCache.load(m_mapPath);
    m_picture = m_clean;
    emit pictureReplaced();
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
    m_picture = m_clean;
    m_pictureFont = gridLabelFont(m_xdens);
    if (!m_picture.isNull()) {
        QPainter painter(&m_picture);
        painter.setFont(m_pictureFont);
        painter.setPen(GridLabels::kColour);
        PainterLabelCanvas canvas(painter);
        ::drawGridLabels(
            canvas, m_transform, m_picture.width(), m_picture.height(),
            gridTitle(m_verification.zone, m_verification.letter, m_verification.datum));
    }
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

// -------------------------------------------------------------- routes panel

void MapSession::loadRoutes()
{
    // A missing or unreadable file is a project without routes.
    RouteFiles::readRoutes(m_state, m_routeLines);
    m_routes.setItems(RouteFiles::routeNames(m_routeLines));
}

void MapSession::saveRoutes()
{
    m_routeLines = RouteList::rebuildRouteLines(m_routes.items(), m_routeLines);
    LineList::write(RouteFiles::routesPath(m_state), m_routeLines);
}

void MapSession::pickRoute()
{
    // A click beside the items picks no route.
    if (!m_ready || m_routes.current() < 0)
        return;
    m_pickedRoute = m_routes.currentText();
    m_routeButtonsEnabled = true;
    emit changed();
}

void MapSession::addRoute()
{
    if (!m_ready)
        return;
    if (!RouteList::acceptsNewName(m_newRouteName, m_routes.items()))
        return;
    if (!RouteList::freeRouteCode(m_routeLines))
        throw QuorError(RouteList::noFreeCodeMessage());
    m_routes.insert(m_routes.current() + 1, m_newRouteName);
    saveRoutes();
    emit changed();
}

void MapSession::deleteRoute()
{
    if (!m_ready)
        return;
    if (m_routes.current() >= 0)
        m_routes.remove(m_routes.current());
    saveRoutes();
    emit changed();
}

void MapSession::openWaypoints()
{
    if (!m_ready)
        return;
    // A route deleted since it was picked has no code to open: the routes
    // panel stays.
    const qsizetype k = RouteFiles::findLine(m_routeLines, m_pickedRoute);
    if (k < 0 || k + 1 >= m_routeLines.size())
        return;
    m_panel = Panel::Waypoints;
    m_routeName = m_routeLines.at(k);
    m_routeCodeLine = m_routeLines.at(k + 1);
    emit changed();
    openRoute();
}

// ----------------------------------------------------------- waypoints panel

QString MapSession::routeTitle() const
{
    return m_routeName + kRouteTitleSeparator + m_routeCodeLine;
}

QString MapSession::routeCode() const
{
    return routeTitle().right(kRouteCodeLength);
}

QString MapSession::waypointFilePath() const
{
    return RouteFiles::waypointPath(m_state, routeCode());
}

void MapSession::openRoute()
{
    // A route without a readable file is an empty route.
    RouteFiles::readWaypoints(m_state, routeCode(), m_waypointLines);
    m_waypoints.setItems(WaypointList::labels(m_waypointLines));
    drawWaypoints();
    emit changed();
}

void MapSession::drawWaypoints()
{
    // With every label in use the pending one stays as it was; a click then
    // refuses to add a point.
    if (const std::optional<QString> label =
            WaypointList::freeWaypointLabel(routeCode(), m_waypointLines))
        m_pendingLabel = *label;
    const RouteStyle style = routeStyle(m_xdens, m_ydens);
    QList<RouteMark> marks;
    // What comes before a damaged record is drawn all the same.
    std::exception_ptr failure;
    try {
        routeMarks(m_transform, style, m_waypointLines, marks);
    } catch (...) {
        failure = std::current_exception();
    }
    if (!m_picture.isNull()) {
        const QFontMetrics metrics(m_pictureFont, &m_picture);
        // Drawing the whole route again over itself changes only where its
        // marks differ from the last drawing's; a picture changed since
        // gets every mark.
        std::optional<QRegion> area;
        if (m_picture.cacheKey() == m_drawnPictureKey)
            area = redrawArea(m_drawnMarks, marks, metrics, style.penWidth);
        QRegion changedArea;
        if (area) {
            changedArea = *area & m_picture.rect();
        } else {
            for (const RouteMark &mark : marks)
                changedArea += markArea(mark, metrics, style.penWidth) & m_picture.rect();
        }
        if (!changedArea.isEmpty()) {
            QPainter painter(&m_picture);
            painter.setFont(m_pictureFont);
            if (area)
                painter.setClipRegion(changedArea);
            PainterRouteCanvas canvas(painter);
            drawMarks(canvas, style, marks);
        }
        m_drawnMarks = marks;
        m_drawnPictureKey = m_picture.cacheKey();
        emit pictureUpdated(changedArea);
    }
    if (failure)
        std::rethrow_exception(failure);
}

void MapSession::saveAndDraw()
{
    const WaypointList::PanelTexts panel{m_waypointTexts.easting,  m_waypointTexts.northing,
                                         m_waypointTexts.altitude, m_waypointTexts.mapName,
                                         m_waypointTexts.zone,     m_waypointTexts.letter,
                                         m_waypointTexts.datum};
    m_waypointLines =
        WaypointList::rebuildWaypointLines(m_waypoints.items(), m_waypointLines, panel);
    LineList::write(waypointFilePath(), m_waypointLines);
    drawWaypoints();
    m_waypoints.setCurrent(m_waypoints.count() - 1);
}

void MapSession::placeWaypoint()
{
    // The label is looked for again at the click: a save that failed since
    // the last drawing already took the one drawn then.
    const std::optional<QString> label =
        WaypointList::freeWaypointLabel(routeCode(), m_waypointLines);
    if (!label)
        throw QuorError(WaypointList::noFreeLabelMessage(routeCode()));
    m_pendingLabel = *label;
    // After the selected item; at the end when it is the last or the list is
    // empty, at the top when nothing is selected.
    m_waypoints.insert(m_waypoints.current() + 1, m_pendingLabel);
    m_waypointTexts.mapName = QFileInfo(m_mapPath).fileName();
    emit changed();
    saveAndDraw();
    emit changed();
}

qsizetype MapSession::selectedRecord() const
{
    if (m_waypoints.current() < 0)
        return -1;
    return RouteFiles::findLine(m_waypointLines, m_waypoints.currentText());
}

void MapSession::selectWaypoint()
{
    if (!m_ready)
        return;
    const qsizetype k = selectedRecord();
    if (k >= 0) {
        const RouteFiles::WaypointRecord record(m_waypointLines, k);
        m_waypointTexts.easting = record.easting();
        m_waypointTexts.northing = record.northing();
        m_waypointTexts.mapName = record.mapName();
        // A different altitude shown is stored again, as a typed one is.
        if (record.altitude() != m_waypointTexts.altitude)
            setAltitude(QString(record.altitude()));
    }
    m_editButtonsEnabled = true;
    emit changed();
}

void MapSession::setAltitude(const QString &text)
{
    // The text follows what the field shows, whatever the state.
    m_waypointTexts.altitude = text;
    if (!m_ready)
        return;
    const qsizetype k = selectedRecord();
    if (k < 0)
        return;
    const RouteFiles::WaypointRecord record(m_waypointLines, k);
    m_waypointLines[record.lineIndex(RouteFiles::Altitude)] = text;
    LineList::write(waypointFilePath(), m_waypointLines);
}

void MapSession::moveLabel(RouteFiles::WaypointLine offset, int delta)
{
    if (!m_ready)
        return;
    const qsizetype k = selectedRecord();
    if (k < 0)
        return;
    WaypointList::moveLabel(m_waypointLines, k, offset, delta);
    drawGridLabels();
    saveAndDraw();
    emit changed();
}

void MapSession::deleteWaypoint()
{
    if (!m_ready)
        return;
    if (m_waypoints.current() >= 0)
        m_waypoints.remove(m_waypoints.current());
    drawGridLabels();
    saveAndDraw();
    emit changed();
}

void MapSession::redraw()
{
    if (!m_ready)
        return;
    drawGridLabels();
    saveAndDraw();
    emit changed();
}
