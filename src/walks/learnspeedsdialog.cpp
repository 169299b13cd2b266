#include "learnspeedsdialog.h"

#include "recordedwalk.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kRateRows = 3;
constexpr int kTallestTable = 8;
// Wide enough for the errors' five columns without scrolling.
constexpr int kMinimumWidth = 760;
constexpr double kMetresPerKilometre = 1000;
constexpr double kSecondsPerHour = 3600;
const QString kNone = QStringLiteral("—");

QString decimal(double value, int decimals)
{
    return QString::number(value, 'f', decimals).replace(QLatin1Char('.'), QLatin1Char(','));
}

QTableWidgetItem *item(const QString &text)
{
    auto *cell = new QTableWidgetItem(text);
    cell->setFlags(Qt::ItemIsEnabled);
    return cell;
}

QTableWidget *table(const QStringList &titles, int rows, QWidget *parent)
{
    auto *t = new QTableWidget(rows, int(titles.size()), parent);
    t->setHorizontalHeaderLabels(titles);
    t->verticalHeader()->hide();
    t->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    t->horizontalHeader()->setStretchLastSection(true);
    t->setSelectionMode(QAbstractItemView::NoSelection);
    t->setFocusPolicy(Qt::NoFocus);
    return t;
}

// As high as its rows, up to kTallestTable of them; the rest scrolls.
void fitHeight(QTableWidget *t)
{
    const int shown = std::clamp(t->rowCount(), 1, kTallestTable);
    t->setFixedHeight(t->horizontalHeader()->sizeHint().height() +
                      shown * t->verticalHeader()->defaultSectionSize() + 2 * t->frameWidth());
}

} // namespace

namespace LearnSpeedsText {

QString errorText(double minutesPerHour)
{
    if (!std::isfinite(minutesPerHour))
        return kNone;
    return decimal(minutesPerHour, 1) + QStringLiteral(" min");
}

QString usedText(const LearningReport &report)
{
    return QStringLiteral("Appris sur %1 tronçons : %2 km et %3 de marche, arrêts non compris.")
        .arg(report.legs)
        .arg(decimal(report.metres / kMetresPerKilometre, 1))
        .arg(RecordedWalks::durationText(report.hours * kSecondsPerHour));
}

QString stopsText(const LearningReport &report, const QStringList &stopLabels,
                  const QList<int> &stopMinutes)
{
    QStringList table;
    for (int i = 0; i < stopLabels.size() && i < stopMinutes.size(); ++i)
        table << QStringLiteral("%1 %2 min").arg(stopLabels.at(i).trimmed()).arg(stopMinutes.at(i));
    const QString yours = QStringLiteral(" (vos poses : %1)").arg(table.join(QStringLiteral(", ")));
    if (report.stops == 0)
        return QStringLiteral("Aucun arrêt de plus de deux minutes.") + yours;
    return QStringLiteral("%1 arrêts ; durée médiane %2, le plus long %3.")
               .arg(report.stops)
               .arg(RecordedWalks::durationText(report.medianStopSeconds),
                    RecordedWalks::durationText(report.longestStopSeconds)) +
           yours;
}

} // namespace LearnSpeedsText

LearnSpeedsDialog::LearnSpeedsDialog(const LearningReport &report, const QStringList &walkLabels,
                                     const QStringList &stopLabels, const QList<int> &stopMinutes,
                                     QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("LearnSpeedsDialog"));
    setWindowTitle(QStringLiteral("Apprendre mes vitesses"));
    setMinimumWidth(kMinimumWidth);
    auto *layout = new QVBoxLayout(this);

    layout->addWidget(new QLabel(QStringLiteral("Vitesses de marche, en m/h :"), this));
    rates = table({QString(), QStringLiteral("Actuelles"), QStringLiteral("Apprises")}, kRateRows,
                  this);
    rates->setObjectName(QStringLiteral("rates"));
    const double current[] = {report.current.climb, report.current.flat, report.current.descent};
    const double learned[] = {report.learned.climb, report.learned.flat, report.learned.descent};
    const bool decided[] = {report.climbLearned, report.flatLearned, report.descentLearned};
    const double largest[] = {SpeedLearning::kLargestClimb, SpeedLearning::kLargestFlat,
                              SpeedLearning::kLargestDescent};
    for (int r = 0; r < kRateRows; ++r) {
        rates->setItem(r, 0, item(walkLabels.value(r).trimmed()));
        rates->setItem(r, 1, item(QString::number(qRound64(current[r]))));
        rates->setItem(r, 2,
                       item(decided[r]
                                ? QString::number(SpeedLearning::tableValue(learned[r], largest[r]))
                                : kNone));
    }
    fitHeight(rates);
    layout->addWidget(rates);

    usedText = new QLabel(LearnSpeedsText::usedText(report), this);
    usedText->setObjectName(QStringLiteral("usedText"));
    layout->addWidget(usedText);

    layout->addWidget(
        new QLabel(QStringLiteral("Erreur de l'horaire prévu, par heure de marche :"), this));
    errors = table({QStringLiteral("Marche"), QStringLiteral("Tronçons"),
                    QStringLiteral("Vitesses actuelles"), QStringLiteral("Vitesses apprises"),
                    QStringLiteral("Apprises sans cette marche")},
                   int(report.walks.size()), this);
    errors->setObjectName(QStringLiteral("errors"));
    for (int w = 0; w < report.walks.size(); ++w) {
        const LearningReport::Walk &walk = report.walks.at(w);
        errors->setItem(w, 0, item(walk.name));
        errors->setItem(w, 1, item(QString::number(walk.legs)));
        errors->setItem(w, 2, item(LearnSpeedsText::errorText(walk.currentError)));
        errors->setItem(w, 3, item(LearnSpeedsText::errorText(walk.learnedError)));
        errors->setItem(
            w, 4, item(walk.leftOutError ? LearnSpeedsText::errorText(*walk.leftOutError) : kNone));
    }
    fitHeight(errors);
    layout->addWidget(errors);

    stopsText = new QLabel(LearnSpeedsText::stopsText(report, stopLabels, stopMinutes), this);
    stopsText->setObjectName(QStringLiteral("stopsText"));
    stopsText->setWordWrap(true);
    layout->addWidget(stopsText);

    noticesText = new QLabel(report.notices.join(QLatin1Char('\n')), this);
    noticesText->setObjectName(QStringLiteral("noticesText"));
    noticesText->setWordWrap(true);
    noticesText->setVisible(!report.notices.isEmpty());
    layout->addWidget(noticesText);

    auto *buttons = new QDialogButtonBox(this);
    appliquer = buttons->addButton(QStringLiteral("Appliquer"), QDialogButtonBox::AcceptRole);
    appliquer->setObjectName(QStringLiteral("appliquer"));
    appliquer->setEnabled(report.climbLearned || report.flatLearned || report.descentLearned);
    fermer = buttons->addButton(QStringLiteral("Fermer"), QDialogButtonBox::RejectRole);
    fermer->setObjectName(QStringLiteral("fermer"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}
