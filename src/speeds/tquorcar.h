#pragma once

#include <QDialog>

struct AppState;
class Platform;
class QLabel;
class QLineEdit;
class QPushButton;

// The speed-table dialog: shows and changes the three values of one means of
// travel. Modeless; every activation reloads the group from the table.
class TQuorcar : public QDialog
{
    Q_OBJECT
public:
    TQuorcar(AppState &state, Platform &platform, QWidget *parent = nullptr);

    void open_speed_dialog(QChar letter);
    void FormActivate();
    void MaskEdit1Change();
    void MemoriserClick();

    int speedGroup() const { return m_speedGroup; }

    QLabel *Label4 = nullptr;
    QPushButton *Memoriser = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label3 = nullptr;
    QLineEdit *MaskEdit1 = nullptr;
    QLineEdit *MaskEdit2 = nullptr;
    QLineEdit *MaskEdit3 = nullptr;

protected:
    bool event(QEvent *event) override;

private:
    AppState &m_state;
    Platform &m_platform;
    int m_speedGroup = 1;
};
