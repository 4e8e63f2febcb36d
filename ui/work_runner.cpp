#include "ui/work_runner.h"

#include <QProgressDialog>
#include <QWidget>
#include <atomic>

#include "session/texts.h"

namespace colorsplit {

// What the work tells and the window reads: atomics, as the work writes them from its threads
// while the window's timer reads them.
class WorkRunner::Meter : public Progress {
public:
    void Advance(qint64 done, qint64 total) override {
        done_ = done;
        total_ = total;
    }
    bool StopRequested() const override { return stop_; }
    void RequestStop() { stop_ = true; }
    // Of a thousand.
    int Permille() const {
        const qint64 total = total_;
        return total > 0 ? static_cast<int>(1000 * done_ / total) : 0;
    }

private:
    std::atomic<qint64> done_{0};
    std::atomic<qint64> total_{0};
    std::atomic<bool> stop_{false};
};

WorkRunner::WorkRunner(QWidget* window, std::function<void(std::exception_ptr)> report)
    : QObject(window), window_(window), report_(std::move(report)) {
    showLater_.setSingleShot(true);
    showLater_.setInterval(300);
    connect(&showLater_, &QTimer::timeout, this, &WorkRunner::ShowDialog);
    poll_.setInterval(50);
    connect(&poll_, &QTimer::timeout, this, &WorkRunner::ShowProgress);
}

WorkRunner::~WorkRunner() {
    StopAndWait();
}

void WorkRunner::Start(std::shared_ptr<const LongWork> work, std::function<void()> then) {
    work_ = std::move(work);
    then_ = std::move(then);
    meter_ = std::make_shared<Meter>();
    emit busyChanged(true);
    showLater_.start();
    // The thread holds the work and its meter itself; what it made is told to this object on
    // the window's thread, and the destructor waits for the thread before this object goes.
    thread_ = std::thread([this, work = work_, meter = meter_] {
        std::exception_ptr error;
        try {
            work->RunOn(*meter);
        } catch (...) {
            error = std::current_exception();
        }
        QMetaObject::invokeMethod(
            this, [this, error] { Finished(error); }, Qt::QueuedConnection);
    });
}

void WorkRunner::Stop() {
    if (meter_)
        meter_->RequestStop();
}

void WorkRunner::StopAndWait() {
    if (!work_)
        return;
    Stop();
    thread_.join();
    Clear();
}

void WorkRunner::ShowDialog() {
    if (!work_)
        return;
    const int kind = static_cast<int>(work_->WhatFor());
    dialog_ = new QProgressDialog(texts::WorkLabel(kind, work_->Subject()), texts::CancelButton(),
                                  0, 1000, window_);
    dialog_->setWindowTitle(texts::WorkTitle(kind));
    // The window goes on answering: its log, scrolling, zoom and 關於.
    dialog_->setWindowModality(Qt::NonModal);
    dialog_->setAutoClose(false);
    dialog_->setAutoReset(false);
    dialog_->setMinimumDuration(0);
    connect(dialog_, &QProgressDialog::canceled, this, &WorkRunner::Stop);
    ShowProgress();
    dialog_->show();
    poll_.start();
}

void WorkRunner::ShowProgress() {
    if (dialog_ && meter_)
        dialog_->setValue(meter_->Permille());
}

void WorkRunner::Finished(std::exception_ptr error) {
    if (!work_)
        return;  // stopped and waited for already
    thread_.join();
    const std::shared_ptr<const LongWork> work = work_;
    const std::function<void()> then = then_;
    Clear();
    try {
        if (error)
            std::rethrow_exception(error);
        work->Apply();
        if (then)
            then();
    } catch (const Cancelled&) {
        work->WasCancelled();
    } catch (...) {
        report_(std::current_exception());
    }
    emit busyChanged(false);
}

void WorkRunner::Clear() {
    showLater_.stop();
    poll_.stop();
    if (dialog_)
        dialog_->deleteLater();
    dialog_ = nullptr;
    work_.reset();
    then_ = nullptr;
    meter_.reset();
}

}  // namespace colorsplit
