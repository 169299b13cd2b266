#include "fakeplatform.h"

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

std::optional<QString> FakePlatform::saveFile(QWidget *, const QString &title,
                                              const QString &directory, const QString &proposedName,
                                              const QString &filter,
                                              const QString &defaultExtension)
{
    dialogs.append({title, directory, proposedName, filter, defaultExtension});
    return takeOr(saveFileAnswers, std::optional<QString>());
}

bool FakePlatform::printDialog(QWidget *, QPrinter &printer)
{
    ++printDialogs;
    const bool ok = takeOr(printAnswers, false);
    if (ok && preparePrinter)
        preparePrinter(printer);
    return ok;
}

bool FakePlatform::printPreview(QWidget *, QPrinter &printer,
                                const std::function<void(QPrinter &)> &paint)
{
    ++previews;
    if (!takeOr(previewAnswers, false))
        return false;
    if (preparePrinter)
        preparePrinter(printer);
    paint(printer);
    return true;
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
