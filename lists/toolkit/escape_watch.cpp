#include "lists/toolkit/escape_watch.h"

#include <QCoreApplication>
#include <QKeyEvent>

EscapeHeldWatch::EscapeHeldWatch(bool dropInput) : dropInput_(dropInput)
{
    QCoreApplication::instance()->installEventFilter(this);
}

EscapeHeldWatch::~EscapeHeldWatch()
{
    QCoreApplication::instance()->removeEventFilter(this);
}

bool EscapeHeldWatch::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        const auto* key = static_cast<const QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape) {
            if (!key->isAutoRepeat()) {
                held_ = type == QEvent::KeyPress;
                pressed_ = pressed_ || held_;
            }
            return dropInput_;
        }
        return dropInput_;
    }
    case QEvent::ShortcutOverride:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel: return dropInput_;
    case QEvent::Close:
        if (!dropInput_)
            break;
        pressed_ = true;
        event->ignore();
        return true;
    default: break;
    }
    return QObject::eventFilter(watched, event);
}
