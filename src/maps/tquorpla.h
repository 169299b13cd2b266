#pragma once

#include <QMainWindow>

struct AppState;
class Platform;

// The map window.
class TQuorpla : public QMainWindow
{
    Q_OBJECT
public:
    TQuorpla(AppState &state, Platform &platform, QWidget *parent = nullptr);

private:
    AppState &m_state;
    Platform &m_platform;
};
