#pragma once

#include "profilechart.h"

#include <QLineF>

#include <functional>
#include <utility>

namespace ElevationProfile::Chart {

// The texts placed so far, and the lines and marks they keep clear of.
class Placer
{
public:
    Placer(double clearance, int apart) : m_clearance(clearance), m_apart(apart) {}

    void block(const QRect &rect) { m_taken.append(rect); }
    void block(const QLineF &line) { m_lines.append(line); }

    bool isFree(const QRect &rect, const QRect &bounds) const;
    // Whether a line keeps clear of the texts.
    bool isClear(const QLineF &line) const;
    // The first free rectangle that `accept` takes, or a null one.
    QRect find(const QList<QRect> &candidates, const QRect &bounds,
               const std::function<bool(const QRect &)> &accept = {}) const;

private:
    double m_clearance;
    int m_apart;
    QList<QRect> m_taken;
    QList<QLineF> m_lines;
};

// The texts around the chart: the breaks' labels on the distance axis, the
// stages' names above the line and their times below the axis, and a number
// by the dot of each stage that finds no room for those, as many as the
// legend lists.
class ChartLabels
{
public:
    ChartLabels(const Frame &frame, const ChartArea &area, const ChartLines &lines, Placer &placer,
                PageBuilder &page);

    void placeBreakLabels();
    // Labels the stages that keep their labels, then the others as room
    // allows; returns the stages left without, in that order.
    QList<qsizetype> placeStageLabels();
    // Numbers the first of `unlabelled` that find room, at most `capacity`.
    void placeNumbers(const QList<qsizetype> &unlabelled, qsizetype capacity);
    // The numbered stages in order: the first is number 1.
    const QList<qsizetype> &marked() const { return m_marked; }
    void draw();

private:
    QList<QRect> stack(const QList<int> &xs, const QList<int> &bottoms, QSize size) const;
    QList<QRect> above(QPoint at, QSize size, bool keep) const;
    QLineF leaderOf(const QRect &name, QPoint at) const;
    QLineF tieBelow(QPoint at, const QRect &number) const;
    QRect findAbove(QPoint at, QSize size, bool keep) const;
    QRect findTime(QPoint at, QSize size) const;
    bool label(qsizetype i, bool keep);
    QRect findNumber(qsizetype i, QSize size);

    const Frame &m_frame;
    const ChartArea &m_area;
    const ChartLines &m_lines;
    Placer &m_placer;
    PageBuilder &m_page;
    QRect m_nameBounds;
    QRect m_timeBounds;
    int m_rise = 1;    // the step between the heights a name may take
    int m_nearest = 0; // a name higher above its dot needs a leader
    QList<std::pair<QString, QRect>> m_breakLabels;
    QList<QRect> m_names;
    QList<QRect> m_times;
    QList<QRect> m_numbers;
    QList<QLineF> m_leaders;
    QList<qsizetype> m_marked;
};

} // namespace ElevationProfile::Chart
