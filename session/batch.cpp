#include "session/batch.h"

#include <QFileInfo>
#include <algorithm>
#include <map>

#include "platform/picture_error.h"
#include "session/file_dialog.h"
#include "session/long_work.h"
#include "session/session.h"
#include "session/texts.h"

namespace colorsplit {

namespace {

// A batch run's view: it logs nothing and asks nobody. A reduced copy is taken when fit says
// so; what an export writes over is replaced.
class BatchView : public SessionView {
public:
    explicit BatchView(bool fit) : fit_(fit) {}
    void LogLine(const QString&) override {}
    void ShowSwatch(int, TColor) override {}
    void ClearSwatches() override {}
    void ClearSwatch(int) override {}
    void PictureChanged() override {}
    bool OpenReduced(const std::string&, QSize, QSize) override { return fit_; }
    bool ConfirmReplace(const std::string&, const std::vector<std::string>&) override {
        return true;
    }
    std::optional<TColor> AskColour() override { return std::nullopt; }
    void ShowStatistics(const std::vector<GroupStatistic>&) override {}

private:
    bool fit_;
};

QString Stem(const std::string& picture) {
    return QFileInfo(QString::fromStdString(picture)).completeBaseName();
}

// One picture, in a session of its own.
BatchOutcome Treat(const std::string& picture, const BatchOptions& options) {
    BatchView view(options.fit);
    ScriptedDialog open, save, folder;
    Session session(view, open, save, folder);
    session.SetExportSettings(options.exportSettings);
    session.SetApplyProfiles(options.applyProfiles);
    NoProgress quietly;
    BatchOutcome outcome;
    try {
        const Opening opening = session.OpenFile(picture);
        if (const std::optional<QString> note = ProfileNote(picture, session.PictureProfile()))
            outcome.note = note;
        // As the batch program's open: a picture it would not take is no run at all.
        if (opening.result == Opening::kTooLarge)
            throw PictureError(
                PictureError::Action::kOpen, picture,
                {Problem::kLargerThanTable, opening.size.width(), opening.size.height()});
        if (opening.work)
            RunToEnd(*opening.work, quietly);
        session.UseInks(options.inks);
        if (options.autoSeeds)
            session.AutoSeedClick();
        for (const TColor seed : options.seeds)
            session.Seed(seed);
        session.Button2Click();
        if (!options.exportFolder.empty())
            RunToEnd(*session.ExportGroups(options.exportFolder), quietly);
        if (const std::shared_ptr<const LongWork> count = session.CountFullSize())
            RunToEnd(*count, quietly);
        outcome.groups = session.GroupStatistics();
    } catch (const PictureError& e) {
        // Named: an export's failure names the file it was writing, not the picture.
        QString line = texts::Describe(e);
        if (e.File() != picture)
            line = QString::fromStdString(picture) + QStringLiteral(": ") + line;
        outcome.failure = line;
    } catch (const std::exception& e) {
        outcome.failure = QString::fromStdString(picture) + QStringLiteral(": ") +
                          QString::fromLocal8Bit(e.what());
    }
    return outcome;
}

}  // namespace

std::vector<BatchOutcome> RunBatch(const std::vector<std::string>& pictures,
                                   const BatchOptions& options, const std::function<void()>& done) {
    std::vector<BatchOutcome> outcomes(pictures.size());
    // Each outcome has a place of its own; a picture that fails is an outcome, not a throw.
    std::vector<std::function<void()>> jobs;
    for (size_t i = 0; i < pictures.size(); ++i)
        jobs.emplace_back([&, i] {
            outcomes[i] = Treat(pictures[i], options);
            if (done)
                done();
        });
    RunTogether(jobs, static_cast<unsigned>(std::max(1, options.jobs)));
    return outcomes;
}

QByteArray BatchCsv(const std::vector<std::string>& pictures,
                    const std::vector<BatchOutcome>& outcomes) {
    QByteArray csv(("file,group," + CsvColumns() + "\n").c_str());
    for (size_t i = 0; i < pictures.size() && i < outcomes.size(); ++i) {
        if (outcomes[i].failure)
            continue;
        for (const GroupStatistic& g : outcomes[i].groups)
            csv.append(CsvField(pictures[i]) + ',' + CsvRow(g) + '\n');
    }
    return csv;
}

std::optional<QString> ProfileNote(const std::string& picture, const ProfileUse& use) {
    if (use.kind != ProfileUse::Kind::kBroken && use.kind != ProfileUse::Kind::kUnsuitable)
        return std::nullopt;
    return QString::fromStdString(picture) + QStringLiteral(": ") + texts::ProfileStatus(use);
}

std::optional<std::pair<std::string, std::string>> SharedExportNames(
    const std::vector<std::string>& pictures) {
    std::map<QString, std::string> seen;
    for (const std::string& picture : pictures) {
        const auto [at, fresh] = seen.emplace(Stem(picture), picture);
        if (!fresh)
            return std::pair(at->second, picture);
    }
    return std::nullopt;
}

}  // namespace colorsplit
