#pragma once

#include <QString>

#include <array>
#include <memory>

class QPrinter;

// The kinds of printout, each with a printer of its own so that one never
// inherits another's paper, orientation or file.
enum class Printout { RouteSheet, Map, Area, Profile };

// The printers of a window, each made when first used (high resolution: a
// page is laid out in the printer's own pixels) and kept for the window's
// life, so that the paper, orientation and folder chosen for one printout of
// a kind stay for the next of that kind.
class Printers
{
public:
    Printers();
    ~Printers();

    QPrinter &operator[](Printout kind);

private:
    static constexpr std::size_t kKinds = 4;
    std::array<std::unique_ptr<QPrinter>, kKinds> m_printers;
};

namespace PrintJob {
// Readies a kept printer for a new document before its dialog: the job
// title, and where the last printout of this printer went to a file, a file
// named after the new document in that same folder. A printer that printed
// to a printer is left to it.
void prepare(QPrinter &printer, const QString &jobTitle, const QString &fileTitle);

// A file name made from a title: characters that a file name cannot hold on
// the usual systems become '-'; an empty title gives "impression".
QString fileName(const QString &title);
} // namespace PrintJob
