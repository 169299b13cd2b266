#include "profilelabels.h"

#include <QLineF>

#include <algorithm>
#include <cmath>
#include <limits>

namespace ElevationProfile::Chart {

namespace {

// A name stands at most this many half lines above its dot's own clearance:
// higher, it would no longer read as the stage's, and only the stages that
// keep their labels go higher, tied to their dots by a leader.
constexpr int kNameLevels = 3;
// How many of its own heights a crowded mark's number may stand below it.
constexpr int kNumberDrops = 6;
// The numbers by the dots of the stages left without a label are this size.
constexpr int kMarkSize = 7;

// Whether the segment passes through the rectangle (Liang-Barsky clipping).
bool crosses(const QLineF &segment, const QRectF &r)
{
    const double dx = segment.dx();
    const double dy = segment.dy();
    const double p[] = {-dx, dx, -dy, dy};
    const double q[] = {segment.x1() - r.left(), r.right() - segment.x1(), segment.y1() - r.top(),
                        r.bottom() - segment.y1()};
    double t0 = 0;
    double t1 = 1;
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0)
                return false;
        } else if (p[i] < 0) {
            t0 = std::max(t0, q[i] / p[i]);
        } else {
            t1 = std::min(t1, q[i] / p[i]);
        }
    }
    return t0 <= t1;
}

// The highest device y (the smallest) of the line between x0 and x1, or
// infinity where the line does not pass.
double lineTop(const QList<QLineF> &line, double x0, double x1)
{
    double top = std::numeric_limits<double>::infinity();
    for (const QLineF &s : line) {
        const double lo = std::min(s.x1(), s.x2());
        const double hi = std::max(s.x1(), s.x2());
        if (hi < x0 || lo > x1)
            continue;
        if (lo == hi) {
            top = std::min({top, s.y1(), s.y2()});
            continue;
        }
        for (double x : {std::max(lo, x0), std::min(hi, x1)})
            top = std::min(top, s.y1() + (x - s.x1()) * s.dy() / s.dx());
    }
    return top;
}

// The stages whose labels stay whatever the room, first first: the start,
// the finish, the highest, the lowest and the stops.
QList<qsizetype> keptStages(const QList<Stage> &stages)
{
    qsizetype highest = 0;
    qsizetype lowest = 0;
    for (qsizetype i = 1; i < stages.size(); ++i) {
        if (stages[i].point->altitude > stages[highest].point->altitude)
            highest = i;
        if (stages[i].point->altitude < stages[lowest].point->altitude)
            lowest = i;
    }
    QList<qsizetype> kept;
    for (qsizetype i : {qsizetype(0), stages.size() - 1, highest, lowest}) {
        if (!kept.contains(i))
            kept.append(i);
    }
    for (qsizetype i = 0; i < stages.size(); ++i) {
        if (stages[i].stop && !kept.contains(i))
            kept.append(i);
    }
    return kept;
}

QList<QRect> lowestFirst(QList<QRect> rects)
{
    std::stable_sort(rects.begin(), rects.end(),
                     [](const QRect &a, const QRect &b) { return a.bottom() > b.bottom(); });
    return rects;
}

// What the label of a break says: the kilometres and the means.
QString breakText(const ProfilePoint &p)
{
    return kilometres(p.driven) + (p.vehicle == QLatin1Char('T')   ? kByTransfer
                                   : p.vehicle == QLatin1Char('O') ? kByBicycle
                                                                   : kByCar);
}

} // namespace

bool Placer::isFree(const QRect &rect, const QRect &bounds) const
{
    if (!bounds.contains(rect))
        return false;
    // Texts side by side keep a little apart, so that two times never
    // read as one.
    for (const QRect &t : m_taken) {
        if (t.adjusted(-m_apart, 0, m_apart, 0).intersects(rect))
            return false;
    }
    const QRectF around =
        QRectF(rect).adjusted(-m_clearance, -m_clearance, m_clearance, m_clearance);
    for (const QLineF &l : m_lines) {
        if (crosses(l, around))
            return false;
    }
    return true;
}

bool Placer::isClear(const QLineF &line) const
{
    return std::none_of(m_taken.begin(), m_taken.end(),
                        [&](const QRect &t) { return crosses(line, QRectF(t)); });
}

QRect Placer::find(const QList<QRect> &candidates, const QRect &bounds,
                   const std::function<bool(const QRect &)> &accept) const
{
    for (const QRect &r : candidates) {
        if (isFree(r, bounds) && (!accept || accept(r)))
            return r;
    }
    return {};
}

ChartLabels::ChartLabels(const Frame &frame, const ChartArea &area, const ChartLines &lines,
                         Placer &placer, PageBuilder &page)
    : m_frame(frame), m_area(area), m_lines(lines), m_placer(placer), m_page(page),
      m_nameBounds(QPoint(frame.margin, frame.headerBottom),
                   QPoint(frame.size.width() - frame.margin, area.bottom)),
      m_timeBounds(QPoint(frame.margin, area.timeTop),
                   QSize(frame.size.width() - 2 * frame.margin, kTimeRows * frame.labelHeight)),
      m_rise(std::max(1, frame.labelHeight / 2)), m_nearest(kNameLevels * m_rise),
      m_names(frame.stages.size()), m_times(frame.stages.size()), m_numbers(frame.stages.size()),
      m_leaders(frame.stages.size())
{
}

// Rectangles of a text of `size` at each of `xs`, from bottom edge
// `bottoms[k]` up to the header by half lines.
QList<QRect> ChartLabels::stack(const QList<int> &xs, const QList<int> &bottoms, QSize size) const
{
    QList<QRect> out;
    for (qsizetype k = 0; k < xs.size(); ++k) {
        for (int y = bottoms[k] - size.height(); y >= m_frame.headerBottom; y -= m_rise)
            out << QRect(QPoint(xs[k], y), size);
    }
    return out;
}

// Above the point `at` and clear of the line over their width: centred, to
// the right, to the left, close above the dot; a stage that must keep its
// label then has the lowest of them, however high.
QList<QRect> ChartLabels::above(QPoint at, QSize size, bool keep) const
{
    const Frame &f = m_frame;
    const QList<int> xs{at.x() - size.width() / 2, at.x() + f.dotRadius,
                        at.x() - f.dotRadius - size.width()};
    QList<int> bottoms;
    for (int x : xs) {
        const double over = lineTop(m_lines.lineF, x - f.pen, x + size.width() + f.pen);
        const int clear = std::isinf(over) ? m_area.bottom : int(std::floor(over)) - f.pen - f.gap;
        bottoms << std::min(clear, at.y() - f.dotRadius - f.gap);
    }
    const QList<QRect> all = stack(xs, bottoms, size);
    QList<QRect> near = all;
    near.removeIf(
        [&](const QRect &r) { return at.y() - f.dotRadius - f.gap - r.bottom() > m_nearest; });
    return keep ? near + lowestFirst(all) : near;
}

// A kept name far above its dot is tied to it by a leader that crosses no
// text.
QLineF ChartLabels::leaderOf(const QRect &name, QPoint at) const
{
    const Frame &f = m_frame;
    if (at.y() - f.dotRadius - f.gap - name.bottom() <= m_nearest)
        return QLineF();
    QLineF leader(QPointF(std::clamp(at.x(), name.left(), name.right()), name.bottom() + f.gap),
                  at);
    leader.setLength(leader.length() - 2 * f.dotRadius);
    return leader;
}

// A number below its dot is tied to it from its top.
QLineF ChartLabels::tieBelow(QPoint at, const QRect &number) const
{
    QLineF leader(at, QPointF(number.center().x(), number.top() - m_frame.gap));
    leader = QLineF(leader.p2(), leader.p1());
    leader.setLength(std::max(0.0, leader.length() - 2 * m_frame.dotRadius));
    return leader;
}

// The first place above the dot at `at` for a text of `size` whose leader,
// if it needs one, crosses no text; a null rectangle when there is none.
QRect ChartLabels::findAbove(QPoint at, QSize size, bool keep) const
{
    return m_placer.find(above(at, size, keep), m_nameBounds, [&](const QRect &r) {
        const QLineF leader = leaderOf(r, at);
        return leader.isNull() || m_placer.isClear(leader);
    });
}

// The first place in the rows below the axis for a time of `size` under the
// dot at `at`.
QRect ChartLabels::findTime(QPoint at, QSize size) const
{
    QList<QRect> candidates;
    for (int row = 0; row < kTimeRows; ++row) {
        for (int x : {at.x() - size.width() / 2, at.x() - m_frame.dotRadius,
                      at.x() + m_frame.dotRadius - size.width()})
            candidates << QRect(QPoint(x, m_area.timeTop + row * m_frame.labelHeight), size);
    }
    return m_placer.find(candidates, m_timeBounds);
}

// A break's label stands on the axis by its strokes, under the line when
// there is room, above it when not.
void ChartLabels::placeBreakLabels()
{
    const DistanceAxis &axis = m_area.axis;
    const int tick = m_lines.tick;
    for (qsizetype b = 0; b < axis.drives.size(); ++b) {
        const QString text = breakText(*axis.drives[b]);
        const QSize size = m_page.size(text, kLabelSize);
        const int x = axis.breakX(b);
        const int onAxis = m_area.bottom - tick - m_frame.pen - m_frame.gap;
        const QRect r = m_placer.find(
            lowestFirst(stack({x - size.width() / 2, x + 2 * tick, x - 2 * tick - size.width()},
                              {onAxis, onAxis, onAxis}, size)),
            m_nameBounds);
        if (!r.isNull()) {
            m_placer.block(r);
            m_breakLabels.append({text, r});
        }
    }
}

// A stage's label: its name above the line, its time below the axis, both
// or neither.
bool ChartLabels::label(qsizetype i, bool keep)
{
    const Stage &s = m_frame.stages[i];
    const QPoint at = m_lines.dots[i];
    QRect name, time;
    if (!s.point->place.isEmpty()) {
        name = findAbove(at, m_page.size(s.point->place, kLabelSize), keep);
        if (name.isNull())
            return false;
    }
    if (!s.time.isEmpty()) {
        time = findTime(at, m_page.size(s.time, kLabelSize));
        if (time.isNull())
            return false;
    }
    for (const QRect &r : {name, time}) {
        if (!r.isNull())
            m_placer.block(r);
    }
    if (!name.isNull())
        m_leaders[i] = leaderOf(name, at);
    if (!m_leaders[i].isNull())
        m_placer.block(m_leaders[i]);
    m_names[i] = name;
    m_times[i] = time;
    return true;
}

QList<qsizetype> ChartLabels::placeStageLabels()
{
    QList<qsizetype> unlabelled;
    const QList<qsizetype> kept = keptStages(m_frame.stages);
    for (qsizetype i : kept) {
        if (!label(i, true))
            unlabelled.append(i);
    }
    for (qsizetype i = 0; i < m_frame.stages.size(); ++i) {
        if (!kept.contains(i) && !label(i, false))
            unlabelled.append(i);
    }
    return unlabelled;
}

// The first place for stage `i`'s number of `size`: by its dot, or tied to
// it by a leader, which this sets.
QRect ChartLabels::findNumber(qsizetype i, QSize size)
{
    const QPoint at = m_lines.dots[i];
    const int r = m_frame.dotRadius + 1;
    const int w = size.width();
    const int h = size.height();
    QRect n = m_placer.find(
        {QRect(at.x() + r, at.y() - r - h, w, h), QRect(at.x() - r - w, at.y() - r - h, w, h),
         QRect(at.x() + r, at.y() + r, w, h), QRect(at.x() - r - w, at.y() + r, w, h)},
        m_nameBounds);
    if (!n.isNull())
        return n;
    // Where lines crowd the dot, the number stands higher, tied to it.
    n = findAbove(at, size, true);
    if (!n.isNull()) {
        m_leaders[i] = leaderOf(n, at);
        return n;
    }
    // Or below it, where a summit leaves room between its slopes.
    QList<QRect> below;
    for (int k = 1; k <= kNumberDrops; ++k) {
        for (int x : {at.x() - w / 2, at.x() + w, at.x() - 2 * w})
            below << QRect(x, at.y() + r + k * h, w, h);
    }
    n = m_placer.find(below, m_nameBounds,
                      [&](const QRect &rect) { return m_placer.isClear(tieBelow(at, rect)); });
    if (!n.isNull())
        m_leaders[i] = tieBelow(at, n);
    return n;
}

void ChartLabels::placeNumbers(const QList<qsizetype> &unlabelled, qsizetype capacity)
{
    const QSize size = m_page.size(QString::number(m_frame.stages.size()), kMarkSize);
    for (qsizetype i : unlabelled) {
        if (m_marked.size() >= capacity)
            break;
        const QRect n = findNumber(i, size);
        if (!m_leaders[i].isNull())
            m_placer.block(m_leaders[i]);
        if (n.isNull())
            continue;
        m_placer.block(n);
        m_numbers[i] = n;
        m_marked.append(i);
    }
    std::sort(m_marked.begin(), m_marked.end());
}

void ChartLabels::draw()
{
    const Frame &f = m_frame;
    for (const auto &[text, r] : m_breakLabels)
        m_page.text(text, kLabelSize, kBlack, r.topLeft());
    QList<QString> numberTexts(f.stages.size());
    for (qsizetype k = 0; k < m_marked.size(); ++k)
        numberTexts[m_marked[k]] = QString::number(k + 1);
    for (qsizetype i = 0; i < f.stages.size(); ++i) {
        const Stage &s = f.stages[i];
        if (!m_leaders[i].isNull())
            m_page.line(m_leaders[i].p1().toPoint(), m_leaders[i].p2().toPoint(), kLeaderGrey,
                        std::max(1, f.pen / 2));
        if (!m_names[i].isNull())
            m_page.text(s.point->place, kLabelSize, kBlack, m_names[i].topLeft());
        if (!m_times[i].isNull())
            m_page.text(s.time, kLabelSize, kRed, m_times[i].topLeft());
        if (!m_numbers[i].isNull()) {
            // Left of the dot, the number ends against it.
            const QRect &n = m_numbers[i];
            const QString &text = numberTexts[i];
            const int x = n.left() < m_lines.dots[i].x()
                              ? n.right() + 1 - m_page.size(text, kMarkSize).width()
                              : n.left();
            m_page.text(text, kMarkSize, kBlack, QPoint(x, n.top()));
        }
    }
}

} // namespace ElevationProfile::Chart
