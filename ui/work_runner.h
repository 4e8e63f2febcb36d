#pragma once

#include <QObject>
#include <QPointer>
#include <QProgressDialog>
#include <QTimer>
#include <exception>
#include <functional>
#include <memory>
#include <thread>

#include "session/long_work.h"

class QWidget;

namespace colorsplit {

// Long work off the window's thread: it runs on a thread of its own while the window goes on
// answering, and the window's thread applies what it made. Once it has lasted 0.3 s a progress
// dialog shows (its title naming the work, a bar that advances, 取消), without blocking the
// window. One piece of work at a time.
class WorkRunner : public QObject {
    Q_OBJECT
public:
    // report gets what the work or its applying threw, on the window's thread.
    WorkRunner(QWidget* window, std::function<void(std::exception_ptr)> report);
    // Stops the work and waits for it.
    ~WorkRunner() override;

    bool Busy() const { return work_ != nullptr; }
    // Runs work; then runs on the window's thread once it is applied (not after a stop or a
    // failure).
    void Start(std::shared_ptr<const LongWork> work, std::function<void()> then);
    // 取消: the work stops within moments and changes nothing.
    void Stop();
    // Stop, waiting for the work's thread to end, without applying or saying anything: the
    // window is closing.
    void StopAndWait();
    // The progress dialog while it shows, else null.
    QProgressDialog* Dialog() const { return dialog_; }

signals:
    void busyChanged(bool busy);

private:
    class Meter;
    void ShowDialog();
    void ShowProgress();
    void Finished(std::exception_ptr error);
    void Clear();

    QWidget* window_;
    std::function<void(std::exception_ptr)> report_;
    std::shared_ptr<const LongWork> work_;
    std::function<void()> then_;
    std::shared_ptr<Meter> meter_;
    std::thread thread_;
    QTimer showLater_;
    QTimer poll_;
    QPointer<QProgressDialog> dialog_;
};

}  // namespace colorsplit
