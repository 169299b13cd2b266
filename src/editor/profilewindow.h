#pragma once

#include "elevationprofile.h"

#include <QWidget>
#include <functional>
#include <memory>
#include <utility>

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
// resizes, printed on one page by its "Imprimer" button. Its owner gives it
// each change of the itinerary while it is open, and "Imprimer" reads the
// itinerary again through the source, so the page says what the route sheet
// says at that moment.
class ProfileWindow : public QWidget
{
public:
    ProfileWindow(Platform &platform, QWidget *parent = nullptr);
    ~ProfileWindow() override;

    void setProfile(const QList<ProfilePoint> &points, const ProfileHeader &header);
    const QList<ProfilePoint> &points() const { return m_points; }
    const ProfileHeader &header() const { return m_header; }

    // The open itinerary's profile now; it throws the French message of a
    // cell that does not read.
    using Source = std::function<std::pair<QList<ProfilePoint>, ProfileHeader>()>;
    void setSource(Source source) { m_source = std::move(source); }

    // "Imprimer": the printer dialog (landscape proposed), then the page,
    // job "Profil de " + title. Throws "Impossible de créer le fichier %s"
    // when the printer refuses to begin.
    void ImprimerClick();

    QPushButton *Imprimer = nullptr;
    ProfileView *view = nullptr;

private:
    Platform &m_platform;
    std::unique_ptr<QPrinter> m_printer;
    Source m_source;
    QList<ProfilePoint> m_points;
    ProfileHeader m_header;
};
