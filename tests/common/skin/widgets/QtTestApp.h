// Mouse input for the skin controls as the user gives it (the program's QApplication is made by the shared
// Qt test main).
#pragma once

#include <QCoreApplication>
#include <QMouseEvent>
#include <QWidget>

// Delivers a mouse event to widget at pos (widget coordinates).
inline void sendMouse(QWidget& widget, QEvent::Type type, QPoint pos, Qt::MouseButton button,
                      Qt::MouseButtons buttons) {
    const QPointF local(pos);
    QMouseEvent event(type, local, widget.mapToGlobal(local), button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(&widget, &event);
}

inline void press(QWidget& w, QPoint p) {
    sendMouse(w, QEvent::MouseButtonPress, p, Qt::LeftButton, Qt::LeftButton);
}
inline void release(QWidget& w, QPoint p) {
    sendMouse(w, QEvent::MouseButtonRelease, p, Qt::LeftButton, Qt::NoButton);
}
inline void moveHeld(QWidget& w, QPoint p) {
    sendMouse(w, QEvent::MouseMove, p, Qt::NoButton, Qt::LeftButton);
}
inline void moveFree(QWidget& w, QPoint p) {
    sendMouse(w, QEvent::MouseMove, p, Qt::NoButton, Qt::NoButton);
}

// Runs the posted events (queued signals).
inline void drainPosted() {
    QCoreApplication::sendPostedEvents();
}
