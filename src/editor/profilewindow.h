#pragma once

#include "elevationprofile.h"

#include <QWidget>
#include <memory>

class Platform;
class QPrinter;
class QPushButton;

// Paints the profile page at the size of the widget, from the same layout
// that the printer gets.
class ProfileView : public QWidget
{
public:
    explicit ProfileView(QWidget *parent = nullptr);

    void setProfile(const QList<ProfilePoint> &points, const ProfileHeader &header);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QList<ProfilePoint> m_points;
    ProfileHeader m_header;
};

// "Pro&fil": the open itinerary's elevation profile in a window that
// resizes, printed on one page by its "Imprimer" button. It shows the profile
// computed when the command was chosen; the command computes it afresh.
class ProfileWindow : public QWidget
{
public:
    ProfileWindow(Platform &platform, QWidget *parent = nullptr);
    ~ProfileWindow() override;

    void setProfile(const QList<ProfilePoint> &points, const ProfileHeader &header);
    const QList<ProfilePoint> &points() const { return m_points; }

    // "Imprimer": the printer dialog (landscape proposed), then the page,
    // job "Profil de " + title. Throws "Impossible de créer le fichier %s"
    // when the printer refuses to begin.
    void ImprimerClick();

    QPushButton *Imprimer = nullptr;
    ProfileView *view = nullptr;

private:
    Platform &m_platform;
    std::unique_ptr<QPrinter> m_printer;
    QList<ProfilePoint> m_points;
    ProfileHeader m_header;
};
