#include "tquorcar.h"

#include "data/appstate.h"

TQuorcar::TQuorcar(AppState &state, Platform &platform, QWidget *parent)
    : QDialog(parent), m_state(state), m_platform(platform)
{
}

void TQuorcar::open_speed_dialog(QChar)
{
    show();
    raise();
    activateWindow();
}
