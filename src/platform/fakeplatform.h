#pragma once

#include "platform.h"

#include <QList>
#include <QPageLayout>
#include <QPageSize>
#include <QStringList>
#include <functional>
#include <optional>

// The scripted platform of the tests: answers are queued in advance, and
// every question, error and dialog is recorded.
class FakePlatform : public Platform
{
public:
    bool confirm(QWidget *parent, const QString &question) override;
    void showError(QWidget *parent, const QString &text) override;
    std::optional<QString> browseFolder(QWidget *parent, const QString &caption,
                                        const QString &root) override;
    std::optional<QString> openFile(QWidget *parent, const QString &directory,
                                    const QString &filter) override;
    QStringList openFiles(QWidget *parent, const QString &title, const QString &directory,
                          const QString &filter) override;
    std::optional<QString> saveFile(QWidget *parent, const QString &title, const QString &directory,
                                    const QString &proposedName, const QString &filter,
                                    const QString &defaultExtension) override;
    bool printDialog(QWidget *parent, QPrinter &printer) override;
    // Prints at once when the scripted answer is yes, with the printer
    // prepared as for the print dialog; a drawing failure reaches the caller.
    bool printPreview(QWidget *parent, QPrinter &printer,
                      const std::function<void(QPrinter &)> &paint) override;
    void inform(QWidget *parent, const QString &text) override;
    std::optional<QString> askText(QWidget *parent, const QString &title, const QString &label,
                                   const QString &proposed) override;
    std::optional<int> chooseItem(QWidget *parent, const QString &title, const QString &label,
                                  const QStringList &items) override;
    // Records the box; its answer goes on until `cancelProgressAt` reports.
    std::function<bool(qint64 done, qint64 total)>
    startProgress(QWidget *parent, const QString &title, const QString &text) override;
    // Runs the next script on the dialog (it may fill its fields) instead of
    // showing it; with no script left the dialog is cancelled.
    bool runDialog(QDialog &dialog) override;
    void showHelpContents() override;
    void showHelpContext(int context) override;
    void openMail(const QString &address) override;

    // Scripted answers, taken in order; when a queue is empty the answer is
    // "&Non", cancel, or no printer.
    QList<bool> confirmAnswers;
    QList<std::optional<QString>> folderAnswers;
    QList<std::optional<QString>> openFileAnswers;
    QList<QStringList> openFilesAnswers;
    QList<std::optional<QString>> saveFileAnswers;
    QList<bool> printAnswers;
    QList<bool> previewAnswers;
    QList<std::optional<QString>> textAnswers;
    QList<std::optional<int>> itemAnswers;
    QList<std::function<bool(QDialog &)>> dialogScripts;
    // The user presses "Annuler" at this report of a progress box (counted
    // from 1 over all boxes); 0 never.
    int cancelProgressAt = 0;
    // Called with the printer when the print dialog is confirmed, so a test
    // can point it at a PDF file.
    std::function<void(QPrinter &)> preparePrinter;

    // Records.
    QStringList questions;
    QStringList errors;
    QStringList informations;
    QList<QStringList> itemChoices;
    int dialogsRun = 0;
    QStringList progressTitles;
    int progressReports = 0;
    struct DialogCall
    {
        QString title, directory, proposedName, filter, defaultExtension;
    };
    QList<DialogCall> dialogs;
    int printDialogs = 0;
    int previews = 0;
    // The printer as each print dialog or preview was shown: its job title,
    // the file it proposes, its paper and orientation.
    struct PrinterShown
    {
        QString docName;
        QString file;
        QPageSize::PageSizeId paper;
        QPageLayout::Orientation orientation;
    };
    QList<PrinterShown> printersShown;
    int helpContentsShown = 0;
    QList<int> helpContexts;
    QStringList mails;

private:
    void recordPrinter(const QPrinter &printer);
};
