#pragma once

#include "gridlabels.h"
#include "mapconversion.h"
#include "routedrawing.h"

#include <QFont>
#include <QImage>
#include <QList>
#include <QRect>
#include <QRegion>
#include <QSize>
#include <QString>

class QPainter;

// What the map window draws over the scan: the datum title and the kilometre
// labels, then the routes in the order they were drawn. It is kept as marks
// and painted over whatever part of the scan is shown or printed, so that
// the scan is never copied to carry them.
//
// Every mark covers its pixels whole (white behind texts and inside circles,
// no anti-aliasing on the red), so a pixel shows the last mark drawn over
// it: a mark drawn again simply moves to the top, and the overlay never
// grows past one copy of each mark.
class MapOverlay
{
public:
    bool isEmpty() const { return m_labels.isEmpty() && m_routes.isEmpty(); }
    void clear();

    // The title centred at the top and the kilometre labels of a picture of
    // `size`, in place of everything drawn. Texts are measured as on the
    // picture `device`.
    void setGridLabels(const QFont &font, const MapTransform &t, QSize size, const QString &title,
                       const QImage &device);
    // Route marks drawn over what is there. Answers the pixels that may have
    // changed.
    QRegion addRoute(const QFont &font, const RouteStyle &style, const QList<RouteMark> &marks,
                     const QImage &device);

    // Paints the part within `area` with a painter in picture pixels,
    // clipped to `area`.
    void paint(QPainter &painter, const QRect &area) const;

private:
    struct Label
    {
        QRect box; // the pixels it may touch
        QPoint topLeft;
        QString text;
    };
    struct RouteLayer
    {
        QFont font;
        RouteStyle style;
        QList<RouteMark> marks;
        QList<QRect> boxes;
        QRect bounds;
    };

    QFont m_labelFont;
    QList<Label> m_labels;
    QList<RouteLayer> m_routes;
};

// The picture the map window shows: the scan with the overlay. While a big
// scan is still decoding, only its top rows are there; the others show as
// blank paper until they come. Copies share the scan's pixels.
class MapPicture
{
public:
    MapPicture() = default;
    // The scan alone.
    MapPicture(const QImage &scan); // NOLINT: a bare picture is a map picture without marks

    QSize size() const { return m_size; }
    int width() const { return m_size.width(); }
    int height() const { return m_size.height(); }
    QRect rect() const { return QRect(QPoint(0, 0), m_size); }
    bool isNull() const { return m_size.isEmpty(); }

    // The full scan; null while some of its rows are still to come.
    const QImage &scan() const;
    // Whether rows of the scan are still to come.
    bool isPartial() const { return m_rows < m_size.height(); }
    // How many rows, from the top, are there.
    int readyRows() const { return m_rows; }
    void setScan(const QImage &scan);
    // A scan of `size` whose rows are still to come.
    void setPartial(QSize size);
    // The first `rows` rows of `scan`, being decoded, are there; nothing
    // but those rows is read from it. Answers the rows that came.
    QRect setReadyRows(const QImage &scan, int rows);
    void clear();

    MapOverlay &overlay() { return m_overlay; }
    const MapOverlay &overlay() const { return m_overlay; }
    // The picture texts are measured on.
    const QImage &device() const;

    // The pixels of `area` (within the picture) as shown, in a picture of
    // their own: the scan's own pixels and format, the overlay drawn over.
    QImage compose(const QRect &area) const;

    // What the rows still to come show.
    static constexpr QRgb kPendingColour = 0xffe8e8e8;

private:
    QImage m_scan;
    QSize m_size;
    int m_rows = 0;
    MapOverlay m_overlay;
};

// Draws `source` (pixels of the picture) into `target` on the device, band by
// band, each map pixel a block of device dots of its own colour: the same
// dots as one drawing of the whole composed picture, with at most a band of
// it composed at a time.
void paintMapPicture(QPainter &painter, const MapPicture &picture, const QRect &source,
                     const QRect &target);
