#pragma once

#include <QDialog>

struct AppState;
class Platform;

// The route-insertion and GPS-export dialog.
class TQuorrte : public QDialog
{
    Q_OBJECT
public:
    TQuorrte(AppState &state, Platform &platform, QWidget *parent = nullptr);

private:
    AppState &m_state;
    Platform &m_platform;
};
