#include "tquorpla.h"

TQuorpla::TQuorpla(AppState &state, Platform &platform, QWidget *parent)
    : QMainWindow(parent), m_state(state), m_platform(platform)
{
}
