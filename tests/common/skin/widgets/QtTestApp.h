#pragma once

#include <QApplication>
#include <QCoreApplication>
#include <QMouseEvent>
#include <QWidget>

// One QApplication for the whole test program (offscreen platform). It is
// never destroyed: tearing it down among the other static objects at exit
// crashes inside Qt.
inline QApplication& testApp() {
    static int argc = 1;
    static char name[] = "skin_widgets_test";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

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
