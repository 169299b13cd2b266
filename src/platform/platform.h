#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QDialog;
class QPrinter;
class QWidget;

// What a test cannot click: the boxes, dialogs, printer, help viewer and mail
// program of the system. One real Qt implementation, one scripted fake.
class Platform
{
public:
    virtual ~Platform();

    // Modal question box titled "Confirmation" with "&Oui" and "&Non";
    // true only for "&Oui".
    virtual bool confirm(QWidget *parent, const QString &question) = 0;

    // The standard error display: the runtime's French text in a box with the
    // error icon, titled with the application title.
    virtual void showError(QWidget *parent, const QString &text) = 0;

    // Folder dialog rooted at `root`, which the user cannot leave. Returns the
    // chosen folder's full path without trailing separator, or nothing.
    virtual std::optional<QString> browseFolder(QWidget *parent, const QString &caption,
                                                const QString &root) = 0;

    // File dialogs. `filter` is in the form "Description|*.EXT".
    virtual std::optional<QString> openFile(QWidget *parent, const QString &directory,
                                            const QString &filter) = 0;
    // Several files at once; empty on cancel.
    virtual QStringList openFiles(QWidget *parent, const QString &title, const QString &directory,
                                  const QString &filter) = 0;
    virtual std::optional<QString> saveFile(QWidget *parent, const QString &title,
                                            const QString &directory, const QString &proposedName,
                                            const QString &filter,
                                            const QString &defaultExtension) = 0;

    // The printer-choice dialog on `printer`; true when the user confirms.
    virtual bool printDialog(QWidget *parent, QPrinter &printer) = 0;

    // Qt's print preview of a document on `printer`, from which the user
    // prints (through the printer dialog) or not. `paint` draws the whole
    // document on the printer it is given: the preview's, then the chosen
    // one. True when the document was printed.
    virtual bool printPreview(QWidget *parent, QPrinter &printer,
                              const std::function<void(QPrinter &)> &paint) = 0;

    // An information box with the information icon, titled with the
    // application title.
    virtual void inform(QWidget *parent, const QString &text) = 0;
    // Asks for a line of text, proposing `proposed`; nothing on cancel.
    virtual std::optional<QString> askText(QWidget *parent, const QString &title,
                                           const QString &label, const QString &proposed) = 0;
    // Lets the user pick one of `items`: its index, or nothing on cancel.
    virtual std::optional<int> chooseItem(QWidget *parent, const QString &title,
                                          const QString &label, const QStringList &items) = 0;
    // A progress box over `parent` for a long command, shown after a moment
    // and blocking the program's windows while it lasts; the window behind it
    // keeps repainting. The answer reports (done, total) and tells whether to
    // go on: false once the user pressed "Annuler". The box closes when the
    // last copy of the answer is destroyed.
    virtual std::function<bool(qint64 done, qint64 total)>
    startProgress(QWidget *parent, const QString &title, const QString &text) = 0;
    // Runs one of the program's own modal dialogs; true when accepted.
    virtual bool runDialog(QDialog &dialog) = 0;

    virtual void showHelpContents() = 0;
    virtual void showHelpContext(int context) = 0;
    virtual void openMail(const QString &address) = 0;
};

// Help-context numbers carried by windows, menus and controls.
namespace HelpContext {
constexpr int Main = 1;
constexpr int Speeds = 2;
constexpr int CatalogueCommands = 3;
constexpr int CatalogueGrid = 4;
constexpr int StageGrid = 5;
constexpr int Map = 6;
constexpr int GpsExport = 7;
constexpr int GpxExchange = 8;
constexpr int Walks = 9;
} // namespace HelpContext

// Marks the help viewer's window. It stands for the help program of the
// system: a window that shows it is not left by the user for another window
// of the program.
inline constexpr char kHelpWindowProperty[] = "quorHelpWindow";

// The help-context property name on widgets and actions.
inline constexpr char kHelpContextProperty[] = "helpContext";
