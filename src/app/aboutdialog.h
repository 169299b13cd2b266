#pragma once

#include <QDialog>

class Platform;
class QLabel;
class QPushButton;
class QTextBrowser;

// "&A Propos": the program's name and version, what changed from version to
// version, and a way to write to the authors.
class AboutDialog : public QDialog
{
    Q_OBJECT
public:
    explicit AboutDialog(Platform &platform, QWidget *parent = nullptr);

    // The version the build gave the program.
    static QString version();
    // The authors' address as the mail program receives it.
    static QString mailAddress();

    // Opens the user's mail program on a new message to the authors.
    void mailClick();

    QLabel *nameLabel = nullptr;
    QLabel *versionLabel = nullptr;
    QLabel *mailLabel = nullptr;
    QTextBrowser *history = nullptr;
    QPushButton *mailButton = nullptr;
    QPushButton *closeButton = nullptr;

private:
    Platform &m_platform;
};
