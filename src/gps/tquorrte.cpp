#include "tquorrte.h"

TQuorrte::TQuorrte(AppState &state, Platform &platform, QWidget *parent)
    : QDialog(parent), m_state(state), m_platform(platform)
{
    setWindowTitle(QStringLiteral("Insère automatiquement une route"));
}
