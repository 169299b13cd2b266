#pragma once

#include "platform/qtplatform.h"

#include <QUrl>
#include <QWidget>

class QPushButton;
class QTextBrowser;

// The program's help: French pages built into the program, shown in a window
// of their own with a contents button and the usual back and forward moves.
class HelpViewer : public QWidget, public HelpDisplay
{
    Q_OBJECT
public:
    explicit HelpViewer(QWidget *parent = nullptr);

    // The contents page ("A&ides").
    void showContents() override;
    // The page of a help-context number (F1); an unknown number gives the
    // contents page.
    void showContext(int context) override;

    // The page shown now.
    QUrl page() const;
    // Its title, as the window caption shows it.
    QString pageTitle() const;

    static QUrl contentsPage();
    static QUrl pageForContext(int context);

    QTextBrowser *browser = nullptr;
    QPushButton *contentsButton = nullptr;
    QPushButton *backButton = nullptr;
    QPushButton *forwardButton = nullptr;

private:
    void showPage(const QUrl &url);
    void updateCaption();
};

// The resources built into the program (help pages, version history); the
// help viewer and the About window make sure they are there before use.
void initQuorResources();
