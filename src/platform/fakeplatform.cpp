#include "fakeplatform.h"

#include <QPrinter>

namespace {

template <typename T> T takeOr(QList<T> &queue, T fallback)
{
    return queue.isEmpty() ? fallback : queue.takeFirst();
}

} // namespace

bool FakePlatform::confirm(QWidget *, const QString &question)
{
    questions.append(question);
    return takeOr(confirmAnswers, false);
}

void FakePlatform::showError(QWidget *, const QString &text)
{
    errors.append(text);
}

std::optional<QString> FakePlatform::browseFolder(QWidget *, const QString &caption,
                                                  const QString &root)
{
    dialogs.append({caption, root, {}, {}, {}});
    return takeOr(folderAnswers, std::optional<QString>());
}

std::optional<QString> FakePlatform::openFile(QWidget *, const QString &directory,
                                              const QString &filter)
{
    dialogs.append({{}, directory, {}, filter, {}});
    return takeOr(openFileAnswers, std::optional<QString>());
}

QStringList FakePlatform::openFiles(QWidget *, const QString &title, const QString &directory,
                                    const QString &filter)
{
    dialogs.append({title, directory, {}, filter, {}});
    return takeOr(openFilesAnswers, QStringList());
}

std::optional<QString> FakePlatform::saveFile(QWidget *, const QString &title,
                                              const QString &directory, const QString &proposedName,
                                              const QString &filter,
                                              const QString &defaultExtension)
{
    dialogs.append({title, directory, proposedName, filter, defaultExtension});
    return takeOr(saveFileAnswers, std::optional<QString>());
}

void FakePlatform::recordPrinter(const QPrinter &printer)
{
    printersShown.append({printer.docName(), printer.outputFileName(),
                          printer.pageLayout().pageSize().id(),
                          printer.pageLayout().orientation()});
}

bool FakePlatform::printDialog(QWidget *, QPrinter &printer)
{
    ++printDialogs;
    recordPrinter(printer);
    const bool ok = takeOr(printAnswers, false);
    if (ok && preparePrinter)
        preparePrinter(printer);
    return ok;
}

bool FakePlatform::printPreview(QWidget *, QPrinter &printer,
                                const std::function<void(QPrinter &)> &paint)
{
    ++previews;
    recordPrinter(printer);
    if (!takeOr(previewAnswers, false))
        return false;
    if (preparePrinter)
        preparePrinter(printer);
    paint(printer);
    return true;
}

void FakePlatform::inform(QWidget *, const QString &text)
{
    informations.append(text);
}

std::optional<QString> FakePlatform::askText(QWidget *, const QString &title, const QString &,
                                             const QString &)
{
    questions.append(title);
    return takeOr(textAnswers, std::optional<QString>());
}

std::optional<int> FakePlatform::chooseItem(QWidget *, const QString &, const QString &,
                                            const QStringList &items)
{
    itemChoices.append(items);
    return takeOr(itemAnswers, std::optional<int>());
}

std::function<bool(qint64, qint64)> FakePlatform::startProgress(QWidget *, const QString &title,
                                                                const QString &)
{
    progressTitles.append(title);
    return [this](qint64, qint64) {
        ++progressReports;
        return cancelProgressAt == 0 || progressReports < cancelProgressAt;
    };
}

bool FakePlatform::runDialog(QDialog &dialog)
{
    ++dialogsRun;
    const std::function<bool(QDialog &)> script =
        takeOr(dialogScripts, std::function<bool(QDialog &)>());
    return script && script(dialog);
}

void FakePlatform::showHelpContents()
{
    ++helpContentsShown;
}

void FakePlatform::showHelpContext(int context)
{
    helpContexts.append(context);
}

void FakePlatform::openMail(const QString &address)
{
    mails.append(address);
}
