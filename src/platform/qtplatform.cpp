#include "qtplatform.h"

#include "guard.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QPushButton>
#include <QUrl>

#include <algorithm>
#include <memory>

namespace {

const QString kMailScheme = QStringLiteral("mailto:");

void showHelpMissing()
{
    QMessageBox::information(QApplication::activeWindow(), QStringLiteral("Aide"),
                             QStringLiteral("L'aide de Quor n'est pas installée."));
}

bool isInside(const QString &path, const QString &root)
{
    const QString cleanRoot = QDir::cleanPath(root);
    const QString cleanPath = QDir::cleanPath(path);
    return cleanPath == cleanRoot || cleanPath.startsWith(cleanRoot + QLatin1Char('/'));
}

} // namespace

HelpDisplay::~HelpDisplay() = default;

bool QtPlatform::confirm(QWidget *parent, const QString &question)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Confirmation"), question,
                    QMessageBox::NoButton, parent);
    QPushButton *yes = box.addButton(QStringLiteral("&Oui"), QMessageBox::YesRole);
    QPushButton *no = box.addButton(QStringLiteral("&Non"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

void QtPlatform::showError(QWidget *parent, const QString &text)
{
    QMessageBox box(QMessageBox::Critical, QApplication::applicationDisplayName(), text,
                    QMessageBox::Ok, parent);
    box.exec();
}

std::optional<QString> QtPlatform::browseFolder(QWidget *parent, const QString &caption,
                                                const QString &root)
{
    QFileDialog dialog(parent, caption, root);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog |
                      QFileDialog::DontResolveSymlinks);
    dialog.setSidebarUrls({QUrl::fromLocalFile(root)});
    // The user cannot leave the program directory: any step above it goes
    // straight back.
    QObject::connect(&dialog, &QFileDialog::directoryEntered, &dialog,
                     [&dialog, root](const QString &dir) {
                         if (!isInside(dir, root))
                             dialog.setDirectory(root);
                     });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    QString chosen = QDir::cleanPath(dialog.selectedFiles().constFirst());
    if (!isInside(chosen, root))
        return std::nullopt;
    return chosen;
}

QString QtPlatform::qtFilter(const QString &filter)
{
    const qsizetype bar = filter.indexOf(QLatin1Char('|'));
    if (bar < 0)
        return filter;
    const QString description = filter.left(bar).trimmed();
    QStringList patterns = filter.mid(bar + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts);
    QStringList all;
    for (const QString &p : patterns) {
        all << p.trimmed();
        if (p.trimmed().toLower() != p.trimmed())
            all << p.trimmed().toLower();
    }
    return QStringLiteral("%1 (%2)").arg(description, all.join(QLatin1Char(' ')));
}

std::optional<QString> QtPlatform::openFile(QWidget *parent, const QString &directory,
                                            const QString &filter)
{
    const QString path = QFileDialog::getOpenFileName(
        parent, QString(), directory, qtFilter(filter), nullptr, QFileDialog::DontUseNativeDialog);
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

QStringList QtPlatform::openFiles(QWidget *parent, const QString &title, const QString &directory,
                                  const QString &filter)
{
    return QFileDialog::getOpenFileNames(parent, title, directory, qtFilter(filter), nullptr,
                                         QFileDialog::DontUseNativeDialog);
}

std::optional<QString> QtPlatform::saveFile(QWidget *parent, const QString &title,
                                            const QString &directory, const QString &proposedName,
                                            const QString &filter, const QString &defaultExtension)
{
    QFileDialog dialog(parent, title, directory, qtFilter(filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setDefaultSuffix(defaultExtension);
    dialog.selectFile(proposedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

bool QtPlatform::printDialog(QWidget *parent, QPrinter &printer)
{
    QPrintDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

bool QtPlatform::printPreview(QWidget *parent, QPrinter &printer,
                              const std::function<void(QPrinter &)> &paint)
{
    QPrintPreviewDialog dialog(&printer, parent);
    // A failure while drawing is shown at once; the dialog stays, so the user
    // can change the paper or give up.
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [this, &dialog, &paint](QPrinter *target) {
                         guarded(*this, &dialog, [&] { paint(*target); });
                     });
    return dialog.exec() == QDialog::Accepted;
}

void QtPlatform::inform(QWidget *parent, const QString &text)
{
    QMessageBox box(QMessageBox::Information, QApplication::applicationDisplayName(), text,
                    QMessageBox::Ok, parent);
    box.exec();
}

std::optional<QString> QtPlatform::askText(QWidget *parent, const QString &title,
                                           const QString &label, const QString &proposed)
{
    bool ok = false;
    const QString text =
        QInputDialog::getText(parent, title, label, QLineEdit::Normal, proposed, &ok);
    if (!ok)
        return std::nullopt;
    return text;
}

std::function<bool(qint64, qint64)> QtPlatform::startProgress(QWidget *parent, const QString &title,
                                                              const QString &text)
{
    constexpr int kSteps = 1000;
    constexpr int kShownAfterMilliseconds = 500;
    auto box =
        std::make_shared<QProgressDialog>(text, QStringLiteral("Annuler"), 0, kSteps, parent);
    box->setWindowTitle(title);
    // Nothing else of the program may run a command while the import goes on.
    box->setWindowModality(Qt::ApplicationModal);
    box->setAutoReset(false);
    box->setAutoClose(false);
    // Shown once the command has lasted half a second: a short import never
    // flashes a box.
    box->setMinimumDuration(kShownAfterMilliseconds);
    return [box](qint64 done, qint64 total) {
        // A modal box's setValue lets the windows repaint and reads the
        // cancel button.
        box->setValue(total > 0 ? int(std::clamp<qint64>(done * kSteps / total, 0, kSteps)) : 0);
        return !box->wasCanceled();
    };
}

std::optional<int> QtPlatform::chooseItem(QWidget *parent, const QString &title,
                                          const QString &label, const QStringList &items)
{
    if (items.isEmpty())
        return std::nullopt;
    bool ok = false;
    const QString item = QInputDialog::getItem(parent, title, label, items, 0, false, &ok);
    if (!ok)
        return std::nullopt;
    return int(items.indexOf(item));
}

bool QtPlatform::runDialog(QDialog &dialog)
{
    return dialog.exec() == QDialog::Accepted;
}

void QtPlatform::showHelpContents()
{
    if (m_helpDisplay)
        m_helpDisplay->showContents();
    else
        showHelpMissing();
}

void QtPlatform::showHelpContext(int context)
{
    if (m_helpDisplay)
        m_helpDisplay->showContext(context);
    else
        showHelpMissing();
}

QUrl QtPlatform::mailUrl(const QString &address)
{
    if (address.startsWith(kMailScheme, Qt::CaseInsensitive))
        return QUrl(address);
    return QUrl(kMailScheme + address);
}

void QtPlatform::openMail(const QString &address)
{
    const QUrl url = mailUrl(address);
    if (QDesktopServices::openUrl(url))
        return;
    // Without a mail program the user can still copy the address.
    QMessageBox::information(QApplication::activeWindow(), QApplication::applicationDisplayName(),
                             QStringLiteral("Aucun programme de messagerie n'a pu être ouvert.\n"
                                            "Écrivez à l'adresse : %1")
                                 .arg(url.path()));
}
