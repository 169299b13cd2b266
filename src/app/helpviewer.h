#pragma once

#include "platform/qtplatform.h"

#include <QUrl>
#include <QWidget>

#include <memory>

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

// The help viewer made at the first request: its browser and pages take
// longer to build than the whole main window, and many sessions never open
// the help.
class HelpOnDemand : public HelpDisplay
{
public:
    void showContents() override;
    void showContext(int context) override;
    // Null until the help was first asked for.
    HelpViewer *viewer() const { return m_viewer.get(); }

private:
    HelpViewer &made();

    std::unique_ptr<HelpViewer> m_viewer;
};

// The resources built into the program (help pages, version history); the
// help viewer and the About window make sure they are there before use.
void initQuorResources();
