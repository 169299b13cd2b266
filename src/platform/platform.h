#pragma once

#include <QString>
#include <optional>

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
    virtual std::optional<QString> saveFile(QWidget *parent, const QString &title,
                                            const QString &directory, const QString &proposedName,
                                            const QString &filter,
                                            const QString &defaultExtension) = 0;

    // The printer-choice dialog on `printer`; true when the user confirms.
    virtual bool printDialog(QWidget *parent, QPrinter &printer) = 0;

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
} // namespace HelpContext

// Marks the help viewer's window. It stands for the help program of the
// system: a window that shows it is not left by the user for another window
// of the program.
inline constexpr char kHelpWindowProperty[] = "quorHelpWindow";

// The help-context property name on widgets and actions.
inline constexpr char kHelpContextProperty[] = "helpContext";
