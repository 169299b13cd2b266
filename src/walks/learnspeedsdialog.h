#pragma once

#include "speedlearning.h"

#include <QDialog>
#include <QStringList>

class QLabel;
class QPushButton;
class QTableWidget;

// What the walker's recorded walks say of the walking rates, beside the
// current ones: "Appliquer" accepts the dialog, "Fermer" rejects it. It only
// shows the report it was given.
class LearnSpeedsDialog : public QDialog
{
    Q_OBJECT
public:
    // `labels` are the speed table's labels of the three walking entries and
    // of the three stops, `stopMinutes` the stops' current values.
    LearnSpeedsDialog(const LearningReport &report, const QStringList &walkLabels,
                      const QStringList &stopLabels, const QList<int> &stopMinutes,
                      QWidget *parent = nullptr);

    QTableWidget *rates = nullptr;  // the three rates, current and learned
    QLabel *usedText = nullptr;     // legs and kilometres used
    QTableWidget *errors = nullptr; // each walk's error per hour
    QLabel *stopsText = nullptr;    // the stops found
    QLabel *noticesText = nullptr;  // what the reading left out
    QPushButton *appliquer = nullptr;
    QPushButton *fermer = nullptr;
};

namespace LearnSpeedsText {
// "6,3 min" for 6.25 minutes of error an hour; "—" for none.
QString errorText(double minutesPerHour);
QString usedText(const LearningReport &report);
QString stopsText(const LearningReport &report, const QStringList &stopLabels,
                  const QList<int> &stopMinutes);
} // namespace LearnSpeedsText
