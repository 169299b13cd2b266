#pragma once

#include <QDialog>
#include <QList>
#include <QStringList>
#include <functional>

class QLabel;
class QPushButton;
class QTableWidget;

// The itinerary against a recorded walk, as a table; "Imprimer…" and
// "Exporter en CSV…" run the actions they are given, inside the event guard
// of the caller. The dialog shows the texts it was given and holds nothing
// else.
class ComparisonDialog : public QDialog
{
    Q_OBJECT
public:
    ComparisonDialog(const QString &heading, const QStringList &titles,
                     const QList<QStringList> &rows, std::function<void()> print,
                     std::function<void()> exportCsv, QWidget *parent = nullptr);

    QLabel *heading = nullptr;
    QTableWidget *table = nullptr;
    QPushButton *imprimer = nullptr;
    QPushButton *exporter = nullptr;
    QPushButton *fermer = nullptr;
};
