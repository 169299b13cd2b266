#pragma once

#include <QDialog>

struct AppState;
class Platform;

// The speed-table dialog: the three values of one means of travel.
class TQuorcar : public QDialog
{
    Q_OBJECT
public:
    TQuorcar(AppState &state, Platform &platform, QWidget *parent = nullptr);

    void open_speed_dialog(QChar letter);

private:
    AppState &m_state;
    Platform &m_platform;
};
