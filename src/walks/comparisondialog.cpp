#include "comparisondialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <utility>

namespace {
// Wide enough for the nine columns without scrolling on a laptop screen.
constexpr QSize kInitialSize(980, 560);
} // namespace

ComparisonDialog::ComparisonDialog(const QString &headingText, const QStringList &titles,
                                   const QList<QStringList> &rows, std::function<void()> print,
                                   std::function<void()> exportCsv, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("ComparisonDialog"));
    setWindowTitle(QStringLiteral("Comparer avec une trace"));
    resize(kInitialSize);
    auto *layout = new QVBoxLayout(this);
    heading = new QLabel(headingText, this);
    heading->setObjectName(QStringLiteral("heading"));
    heading->setWordWrap(true);
    layout->addWidget(heading);

    table = new QTableWidget(int(rows.size()), int(titles.size()), this);
    table->setObjectName(QStringLiteral("table"));
    table->setHorizontalHeaderLabels(titles);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    for (int r = 0; r < rows.size(); ++r) {
        for (int c = 0; c < rows.at(r).size() && c < titles.size(); ++c)
            table->setItem(r, c, new QTableWidgetItem(rows.at(r).at(c)));
    }
    layout->addWidget(table);

    auto *buttons = new QDialogButtonBox(this);
    imprimer = buttons->addButton(QStringLiteral("Imprimer…"), QDialogButtonBox::ActionRole);
    imprimer->setObjectName(QStringLiteral("imprimer"));
    exporter = buttons->addButton(QStringLiteral("Exporter en CSV…"), QDialogButtonBox::ActionRole);
    exporter->setObjectName(QStringLiteral("exporter"));
    fermer = buttons->addButton(QStringLiteral("Fermer"), QDialogButtonBox::RejectRole);
    fermer->setObjectName(QStringLiteral("fermer"));
    connect(imprimer, &QPushButton::clicked, this, [print = std::move(print)] { print(); });
    connect(exporter, &QPushButton::clicked, this,
            [exportCsv = std::move(exportCsv)] { exportCsv(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}
