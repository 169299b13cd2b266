#pragma once

#include <QList>
#include <functional>

class QImage;
class QPainter;
class QRect;
struct SheetOperation;

// Paints a layout of drawing operations with a painter already begun on the
// device it was laid out for: a printer, or a widget on screen, so what the
// screen shows is what the paper gets.
namespace SheetPainter {

// A picture goes to the device in bands of this many rows: the printer engine
// then converts one band at a time, never a whole page's worth of picture.
constexpr int kBandRows = 256;

// `newPage` is called for each page break; `picture` is the picture whose
// pixels the picture operations copy (none: they are left out).
void paint(QPainter &painter, const QList<SheetOperation> &operations,
           const std::function<void()> &newPage, const QImage *picture = nullptr);

// The same, with the picture operations drawn by `drawPicture`.
using PictureDrawer = std::function<void(const QRect &source, const QRect &target)>;
void paint(QPainter &painter, const QList<SheetOperation> &operations,
           const std::function<void()> &newPage, const PictureDrawer &drawPicture);

// Copies `source` pixels of `picture` into `target`, band by band, each band
// a view of the picture's rows rather than a copy: the same pixels on the
// device as one drawing of the whole.
void paintPicture(QPainter &painter, const QImage &picture, const QRect &source,
                  const QRect &target, int bandRows = kBandRows);

} // namespace SheetPainter
