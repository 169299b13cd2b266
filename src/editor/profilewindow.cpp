#include "profilewindow.h"

#include "platform/guard.h"
#include "platform/platform.h"
#include "printers.h"
#include "routesheetprint.h"
#include "sheetpainter.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr QSize kInitialSize(900, 600);
constexpr QSize kMinimumViewSize(320, 240);
const QString kWindowTitlePrefix = QStringLiteral("Profil - ");
const QString kJobTitlePrefix = QStringLiteral("Profil de ");

} // namespace

ProfileView::ProfileView(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("ProfileView"));
    setMinimumSize(kMinimumViewSize);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ProfileView::setProfile(const QList<ProfilePoint> &points, const ProfileHeader &header)
{
    m_points = points;
    m_header = header;
    update();
}

void ProfileView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.setRenderHint(QPainter::Antialiasing);
    const DeviceTextMetrics metrics(this);
    SheetPainter::paint(painter, profileLayout(m_points, m_header, size(), metrics), [] {});
}

ProfileWindow::ProfileWindow(Platform &platform, QWidget *parent)
    : QWidget(parent, Qt::Window), m_platform(platform)
{
    setObjectName(QStringLiteral("ProfileWindow"));
    setProperty(kHelpContextProperty, HelpContext::StageGrid);
    resize(kInitialSize);

    view = new ProfileView(this);
    Imprimer = new QPushButton(QStringLiteral("Imprimer"), this);
    Imprimer->setObjectName(QStringLiteral("Imprimer"));
    auto *fermer = new QPushButton(QStringLiteral("Fermer"), this);
    fermer->setObjectName(QStringLiteral("Fermer"));

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Imprimer);
    buttons->addWidget(fermer);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(view, 1);
    layout->addLayout(buttons);

    connect(Imprimer, &QPushButton::clicked, this,
            [this] { guarded(m_platform, this, [this] { ImprimerClick(); }); });
    connect(fermer, &QPushButton::clicked, this, &QWidget::close);
}

ProfileWindow::~ProfileWindow() = default;

void ProfileWindow::setProfile(const QList<ProfilePoint> &points, const ProfileHeader &header)
{
    m_points = points;
    m_header = header;
    setWindowTitle(kWindowTitlePrefix + header.title);
    view->setProfile(points, header);
}

void ProfileWindow::ImprimerClick()
{
    if (m_source) {
        const auto [points, header] = m_source();
        setProfile(points, header);
    }
    if (!m_printer) {
        // High resolution: the page is laid out in the printer's own pixels.
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        // A walk is longer than high: landscape unless the user picks else.
        m_printer->setPageOrientation(QPageLayout::Landscape);
    }
    QPrinter &printer = *m_printer;
    // Named before the dialog, which proposes the file from it.
    const QString job = kJobTitlePrefix + m_header.title;
    PrintJob::prepare(printer, job, job);
    if (!m_platform.printDialog(this, printer))
        return;
    const DeviceTextMetrics metrics(&printer);
    printRouteSheet(printer, profileLayout(m_points, m_header,
                                           QSize(printer.width(), printer.height()), metrics));
}
