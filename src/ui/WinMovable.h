#pragma once

#include <QObject>
#include <QPoint>

class QWidget;

// Lets a frameless window be dragged by its body: watches the widget's mouse
// events (without consuming them) and moves it so that the pressed point stays
// under the mouse.
class WinMovable : public QObject
{
    Q_OBJECT
public:
    explicit WinMovable(QWidget* w);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_widget;
    QPoint m_pressPos;
    bool m_dragging = false;
};
