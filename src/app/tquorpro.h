#pragma once

#include <QDialog>

class Platform;
class QLineEdit;
class QPushButton;
class TQuor;

// The project dialog ("Gestion des projets"), shown by "&Nouveau".
class TQuorpro : public QDialog
{
    Q_OBJECT
public:
    TQuorpro(TQuor &main, Platform &platform, QWidget *parent = nullptr);

    void FormActivate();
    void ButCreerClick();
    void ButQuiterClick();

    QLineEdit *Edit1 = nullptr;
    QPushButton *ButCreer = nullptr;
    QPushButton *ButQuiter = nullptr;

protected:
    bool event(QEvent *event) override;

private:
    TQuor &m_main;
    Platform &m_platform;
};
