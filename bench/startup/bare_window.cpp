// The yardstick of the program's start: a bare Qt window with a table of
// 50 rows and 5 columns, the size of the catalogue grid.

#include <QApplication>
#include <QTableWidget>

int main(int argc, char *argv[])
{
    constexpr int kRows = 50;
    constexpr int kColumns = 5;
    QApplication app(argc, argv);
    QTableWidget table(kRows, kColumns);
    table.showMaximized();
    return app.exec();
}
