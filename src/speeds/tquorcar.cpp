#include "tquorcar.h"

#include "data/appstate.h"
#include "data/speedtable.h"
#include "data/textforms.h"
#include "widgets/editmask.h"
#include "platform/guard.h"
#include "widgets/look.h"
#include "platform/platform.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

using namespace Look;

namespace {

constexpr QSize kClientSize(413, 269);
constexpr int kUnitLineCentre = 76 + 248 / 2;
constexpr int kUnitLineWidth = 400;

struct Group
{
    const char16_t *title;
    const char16_t *units;
};

constexpr Group kGroups[5] = {
    {u"Caractéristiques pour Voiture sur Routes de plaine", u"Vitesses en Km/h"},
    {u"Caractéristiques pour Voiture sur routes de montagne", u"Vitesses en Km/h"},
    {u"Caractéristiques pour vélo", u"Vitesses en Km/h"},
    {u"Caractéristiques des temps de Marche", u"Dénivelées en m/h"},
    {u"Personnalisation des temps de Poses", u"Temps en minutes"},
};

QLabel *entryLabel(QWidget *parent, const QString &name, int y)
{
    auto *label = new QLabel(parent);
    label->setObjectName(name);
    label->setFont(arial(19, true));
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, kWhite);
    label->setPalette(pal);
    label->move(41, y);
    label->resize(215, 24);
    return label;
}

QLineEdit *valueEdit(QWidget *parent, const QString &name, const QString &mask, int y)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setGeometry(264, y, 121, 30);
    edit->setFont(arial(19, true));
    QPalette pal = edit->palette();
    pal.setColor(QPalette::Text, kRed);
    edit->setPalette(pal);
    auto *validator = new MaskValidator(mask, edit);
    edit->setValidator(validator);
    edit->setMaxLength(validator->maxLength());
    return edit;
}

} // namespace

TQuorcar::TQuorcar(AppState &state, Platform &platform, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      m_state(state), m_platform(platform)
{
    setObjectName(QStringLiteral("TQuorcar"));
    setModal(false);
    setFixedSize(kClientSize);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kNavy);
    setPalette(pal);
    setAutoFillBackground(true);
    setProperty(kHelpContextProperty, HelpContext::Speeds);

    Label4 = new QLabel(this);
    Label4->setObjectName(QStringLiteral("Label4"));
    // Centred on the layout's 248-pixel box at x 76, widened so that the
    // longest unit line in bold 32 pixels is not cut.
    Label4->setGeometry(kUnitLineCentre - kUnitLineWidth / 2, 16, kUnitLineWidth, 37);
    Label4->setAlignment(Qt::AlignCenter);
    Label4->setFont(arial(32, true));
    QPalette white = Label4->palette();
    white.setColor(QPalette::WindowText, kWhite);
    Label4->setPalette(white);

    Memoriser = new QPushButton(QStringLiteral("Mémoriser"), this);
    Memoriser->setObjectName(QStringLiteral("Memoriser"));
    Memoriser->setGeometry(144, 56, 113, 33);
    Memoriser->setFont(arial(16));

    Label1 = entryLabel(this, QStringLiteral("Label1"), 100);
    Label2 = entryLabel(this, QStringLiteral("Label2"), 156);
    Label3 = entryLabel(this, QStringLiteral("Label3"), 212);
    MaskEdit1 = valueEdit(this, QStringLiteral("MaskEdit1"), QStringLiteral("999;0; "), 96);
    MaskEdit2 = valueEdit(this, QStringLiteral("MaskEdit2"), QStringLiteral("99999;0; "), 152);
    MaskEdit3 = valueEdit(this, QStringLiteral("MaskEdit3"), QStringLiteral("999;0; "), 208);

    for (QLineEdit *edit : {MaskEdit1, MaskEdit2, MaskEdit3})
        connect(edit, &QLineEdit::textChanged, this, [this] { MaskEdit1Change(); });
    connect(Memoriser, &QPushButton::clicked, this,
            [this] { guarded(m_platform, this, [this] { MemoriserClick(); }); });

    if (const QScreen *screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
}

bool TQuorcar::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate)
        FormActivate();
    return QDialog::event(event);
}

void TQuorcar::open_speed_dialog(QChar letter)
{
    const int group = SpeedTable::groupOfLetter(letter);
    if (group == 0)
        return;
    m_speedGroup = group;
    setWindowTitle(QString::fromUtf16(kGroups[group - 1].title));
    Label4->setText(QString::fromUtf16(kGroups[group - 1].units));
    const bool wasActive = isVisible() && QApplication::activeWindow() == this;
    show();
    raise();
    activateWindow();
    // Switching groups while the dialog is already the active window sends
    // no new activation.
    if (wasActive)
        FormActivate();
}

void TQuorcar::FormActivate()
{
    const SpeedTable &table = m_state.speedTable;
    QLabel *labels[3] = {Label1, Label2, Label3};
    QLineEdit *edits[3] = {MaskEdit1, MaskEdit2, MaskEdit3};
    for (int j = 0; j < 3; ++j) {
        const int entry = SpeedTable::entryOf(m_speedGroup, j + 1);
        labels[j]->setText(table.label(entry));
        edits[j]->setText(integer_text(table.value(entry)));
    }
    Memoriser->setEnabled(false);
}

void TQuorcar::MaskEdit1Change()
{
    Memoriser->setEnabled(!MaskEdit1->text().isEmpty() && !MaskEdit2->text().isEmpty() &&
                          !MaskEdit3->text().isEmpty());
}

void TQuorcar::MemoriserClick()
{
    QLineEdit *edits[3] = {MaskEdit1, MaskEdit2, MaskEdit3};
    for (int j = 0; j < 3; ++j) {
        const qint32 value = parse_integer(edits[j]->text());
        m_state.speedTable.setValue(SpeedTable::entryOf(m_speedGroup, j + 1), value);
    }
    hide();
    save_speed_table(m_state);
}
