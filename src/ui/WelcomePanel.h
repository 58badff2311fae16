#pragma once

#include <QFrame>

class QPushButton;

// What a first start shows in place of the empty list and bubbles: how
// histories get in (attach an iPhone, import a backup or Viber Desktop) and
// a way to look around in the demo history first.
class WelcomePanel : public QFrame
{
    Q_OBJECT
public:
    explicit WelcomePanel(QWidget* parent = nullptr);

    QPushButton* importBackupButton() const { return m_importBackup; }
    QPushButton* importDesktopButton() const { return m_importDesktop; }
    QPushButton* demoButton() const { return m_demo; }

signals:
    void importBackupRequested();
    void importDesktopRequested();
    void demoRequested();

private:
    QPushButton* m_importBackup;
    QPushButton* m_importDesktop;
    QPushButton* m_demo;
};
