#include "printers.h"

#include <QDir>
#include <QFileInfo>
#include <QPrinter>

namespace {

const QString kPdfSuffix = QStringLiteral(".pdf");
const QString kUntitled = QStringLiteral("impression");

} // namespace

Printers::Printers() = default;
Printers::~Printers() = default;

QPrinter &Printers::operator[](Printout kind)
{
    std::unique_ptr<QPrinter> &printer = m_printers.at(std::size_t(kind));
    if (!printer)
        printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *printer;
}

QString PrintJob::fileName(const QString &title)
{
    QString name = title.trimmed();
    for (QChar &c : name) {
        if (c.category() == QChar::Other_Control || QStringLiteral("/\\:*?\"<>|").contains(c))
            c = QLatin1Char('-');
    }
    // A name of dots only would name a folder.
    if (name.isEmpty() || name.count(QLatin1Char('.')) == name.size())
        return kUntitled;
    return name;
}

void PrintJob::prepare(QPrinter &printer, const QString &jobTitle, const QString &fileTitle)
{
    printer.setDocName(jobTitle);
    const QString last = printer.outputFileName();
    if (last.isEmpty())
        return;
    printer.setOutputFileName(QFileInfo(last).absoluteDir().filePath(fileName(fileTitle) +
                                                                     kPdfSuffix));
}
