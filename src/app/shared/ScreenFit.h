#pragma once

#include <QGuiApplication>
#include <QScreen>
#include <QSize>
#include <QWidget>

namespace glyfrax {

// Gives a window of its own the size it asks for, but never more than nine tenths of what the
// screen leaves free (at a scale factor of 2 a window of 800 x 600 takes 1600 x 1200 pixels), and
// centres it there, so that its frame and status line are on the screen.
inline void fitToScreen(QWidget* window, QSize wanted)
{
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen) {
        window->resize(wanted);
        return;
    }
    const QRect free = screen->availableGeometry();
    window->resize(wanted.boundedTo(free.size() * 9 / 10).expandedTo(window->minimumSizeHint().boundedTo(free.size())));
    window->move(free.center() - window->rect().center());
}

} // namespace glyfrax
