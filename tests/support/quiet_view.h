#pragma once

#include <limits>

#include "session/session.h"

namespace colorsplit::test {

// A session's view that shows nothing and answers every question itself: yes to replacing
// files, no colour chosen, and a reduced copy taken of a picture up to `reduceUpTo` pixels.
class QuietView : public SessionView {
public:
    explicit QuietView(qint64 reduceUpTo = std::numeric_limits<qint64>::max())
        : reduceUpTo_(reduceUpTo) {}

    void LogLine(const QString&) override {}
    void ShowSwatch(int, TColor) override {}
    void ClearSwatches() override {}
    void ClearSwatch(int) override {}
    void PictureChanged() override {}
    bool OpenReduced(const std::string&, QSize original, QSize) override {
        return static_cast<qint64>(original.width()) * original.height() <= reduceUpTo_;
    }
    bool ConfirmReplace(const std::string&, const std::vector<std::string>&) override {
        return true;
    }
    std::optional<TColor> AskColour() override { return std::nullopt; }
    void ShowStatistics(const std::vector<GroupStatistic>&) override {}

private:
    qint64 reduceUpTo_;
};

}  // namespace colorsplit::test
