#pragma once

#include <QString>
#include <QtGlobal>
#include <functional>

namespace colorsplit {

// Thrown out of long work that was asked to stop.
struct Cancelled {};

// How far long work has come, and whether it is to stop. The work calls it from whatever
// thread runs it, and from several at once: implementations take that.
class Progress {
public:
    virtual ~Progress() = default;
    // done of total steps are done.
    virtual void Advance(qint64 done, qint64 total) = 0;
    virtual bool StopRequested() const = 0;
    // Throws Cancelled once asked to stop.
    void Check() const {
        if (StopRequested())
            throw Cancelled{};
    }
};

// Tells nobody, and never stops.
class NoProgress : public Progress {
public:
    void Advance(qint64, qint64) override {}
    bool StopRequested() const override { return false; }
};

// A command's work that may take seconds. It is made on the window's thread from the state as
// it stands and runs on a worker thread, reading only what it holds: nothing of the session
// is touched until it is applied, on the window's thread again.
class LongWork {
public:
    enum class Kind { kOpen, kCount, kExport };

    using Run = std::function<void(Progress&)>;
    using Step = std::function<void()>;
    // kind and subject for its progress (the file opened, the folder exported to); run on the
    // worker (throws PictureError, or Cancelled when asked to stop); apply once run has
    // returned, or cancelled once it was stopped (nothing has changed: it says so).
    LongWork(Kind kind, QString subject, Run run, Step apply, Step cancelled = {});

    Kind WhatFor() const { return kind_; }
    const QString& Subject() const { return subject_; }
    void RunOn(Progress& progress) const { run_(progress); }
    void Apply() const { apply_(); }
    void WasCancelled() const;

private:
    Kind kind_;
    QString subject_;
    Run run_;
    Step apply_;
    Step cancelled_;
};

// Runs work to its end where it is called, as a batch run does: run, then applied, or told
// it was cancelled. What run throws besides Cancelled goes on to the caller.
void RunToEnd(const LongWork& work, Progress& progress);

// Runs each job once, on the caller's thread and on helpers of its own, as many threads in all
// as threads says (0: as the machine has cores), never more than there are jobs; returns when
// every job is done, rethrowing the first failure.
void RunTogether(const std::vector<std::function<void()>>& jobs, unsigned threads = 0);

}  // namespace colorsplit
