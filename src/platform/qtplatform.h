#pragma once

#include "platform.h"

#include <QUrl>

// What shows the program's help pages. The windows layer owns the pages and
// their viewer; the platform only asks it for the contents or a context.
class HelpDisplay
{
public:
    virtual ~HelpDisplay();
    virtual void showContents() = 0;
    virtual void showContext(int context) = 0;
};

// The platform as the user meets it: Qt's message boxes and dialogs, the help
// viewer and the user's mail program.
class QtPlatform : public Platform
{
public:
    // The viewer that "A&ides" and F1 show; none means no help is installed.
    void setHelpDisplay(HelpDisplay *display) { m_helpDisplay = display; }

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
    bool printPreview(QWidget *parent, QPrinter &printer,
                      const std::function<void(QPrinter &)> &paint) override;
    void inform(QWidget *parent, const QString &text) override;
    std::optional<QString> askText(QWidget *parent, const QString &title, const QString &label,
                                   const QString &proposed) override;
    std::optional<int> chooseItem(QWidget *parent, const QString &title, const QString &label,
                                  const QStringList &items) override;
    std::function<bool(qint64 done, qint64 total)>
    startProgress(QWidget *parent, const QString &title, const QString &text) override;
    bool runDialog(QDialog &dialog) override;
    void showHelpContents() override;
    void showHelpContext(int context) override;
    // Opens the user's mail program on a new message to `address`, a mailto:
    // address (a bare address gets the scheme).
    void openMail(const QString &address) override;

    // The URL the mail program is asked to open.
    static QUrl mailUrl(const QString &address);

    // "Description|*.EXT" in Qt's form, matching the extension in either case.
    static QString qtFilter(const QString &filter);

private:
    HelpDisplay *m_helpDisplay = nullptr;
};
