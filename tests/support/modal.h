#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace colorsplit::test {

// Runs `answer` on the next modal widget of type W once it shows, from inside its own loop.
// A dialog the test did not expect is closed after a few seconds, so the test fails, not hangs.
template <class W>
void WhenShown(std::function<void(W&)> answer) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, answer, ticks = 0]() mutable {
        QWidget* modal = QApplication::activeModalWidget();
        auto* widget = qobject_cast<W*>(modal);
        if (widget == nullptr || !widget->isVisible()) {
            if (++ticks < 500 || modal == nullptr)
                return;
            ADD_FAILURE() << "unexpected " << modal->metaObject()->className();
            modal->close();
        } else {
            answer(*widget);
        }
        timer->stop();
        timer->deleteLater();
    });
    timer->start();
}

}  // namespace colorsplit::test
