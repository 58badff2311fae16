#include "ui/WinMovable.h"

#include <QMouseEvent>
#include <QWidget>

WinMovable::WinMovable(QWidget* w) : QObject(w), m_widget(w)
{
    w->installEventFilter(this);
}

bool WinMovable::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_widget)
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* e = static_cast<QMouseEvent*>(event);
        m_pressPos = e->position().toPoint();
        m_dragging = e->button() == Qt::LeftButton;
        break;
    }
    case QEvent::MouseButtonRelease:
        m_dragging = false;
        break;
    case QEvent::MouseMove: {
        auto* e = static_cast<QMouseEvent*>(event);
        if (m_dragging && !m_pressPos.isNull())
            m_widget->move(e->globalPosition().toPoint() - m_pressPos);
        break;
    }
    default:
        break;
    }
    return false;
}
