#pragma once

#include "platform.h"

// The platform as the user meets it: Qt's message boxes and dialogs.
class QtPlatform : public Platform
{
public:
    explicit QtPlatform(QString programDirectory);

    bool confirm(QWidget *parent, const QString &question) override;
    void showError(QWidget *parent, const QString &text) override;
    std::optional<QString> browseFolder(QWidget *parent, const QString &caption,
                                        const QString &root) override;
    std::optional<QString> openFile(QWidget *parent, const QString &directory,
                                    const QString &filter) override;
    std::optional<QString> saveFile(QWidget *parent, const QString &title, const QString &directory,
                                    const QString &proposedName, const QString &filter,
                                    const QString &defaultExtension) override;
    bool printDialog(QWidget *parent, QPrinter &printer) override;
    void showHelpContents() override;
    void showHelpContext(int context) override;
    void openMail(const QString &address) override;

    // "Description|*.EXT" in Qt's form, matching the extension in either case.
    static QString qtFilter(const QString &filter);

private:
    QString m_programDirectory;
};
