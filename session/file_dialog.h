#pragma once

#include <deque>
#include <optional>
#include <string>

namespace colorsplit {

// A file dialog as the commands see it: run it and get the chosen name, or nothing when it is
// cancelled. The last name chosen is kept so that the next run can start where it was; the
// next program run starts only where a file was really opened or written (Used).
class FileDialog {
public:
    virtual ~FileDialog() = default;

    std::optional<std::string> Execute() {
        std::optional<std::string> chosen = Ask();
        if (chosen)
            Choose(*chosen);
        return chosen;
    }
    // The last name chosen, empty until one has been.
    const std::string& FileName() const { return fileName_; }
    // A name chosen by other means (a file dropped on the window) counts as chosen here.
    void Choose(std::string name) { fileName_ = std::move(name); }
    // A file was opened from name or written to it: later runs may start there. A name that
    // failed (a save refused by /proc) is never kept.
    void Used(const std::string& name) { Remember(name); }

protected:
    // Asks the user for a name; nullopt when cancelled.
    virtual std::optional<std::string> Ask() = 0;
    // Keeps a used name for later runs, where a dialog does.
    virtual void Remember(const std::string&) {}

private:
    std::string fileName_;
};

// Answers from a script, in order: a name, or nullopt for a cancel. With no answers left it
// cancels. Used by the batch front end and by tests.
class ScriptedDialog : public FileDialog {
public:
    void Answer(std::optional<std::string> answer) { answers_.push_back(std::move(answer)); }

protected:
    std::optional<std::string> Ask() override {
        if (answers_.empty())
            return std::nullopt;
        std::optional<std::string> answer = std::move(answers_.front());
        answers_.pop_front();
        return answer;
    }

private:
    std::deque<std::optional<std::string>> answers_;
};

}  // namespace colorsplit
