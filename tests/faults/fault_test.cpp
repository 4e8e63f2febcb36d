// Every file the program writes, against every step of writing failing: the failure is
// reported (the window's error box; the batch program's standard error and exit status 1),
// the old file is unchanged byte for byte, no temporary file is left, and of an export every
// file is whole or not there, those not written named. The faults come from the preload
// library beside this test (faultfs.cpp); the batch program inherits it.
#define QTEST_QPA_MOUSE_HANDLING
#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <cerrno>
#include <functional>
#include <map>

#include <dlfcn.h>

#include "session/texts.h"
#include "support/bmp_builder.h"
#include "support/modal.h"
#include "support/pictures.h"
#include "ui/tform1.h"

namespace colorsplit {
namespace {

using Plan = void (*)(const char* text, const char* dir, int noTmpfile);

Plan FaultPlan() {
    return reinterpret_cast<Plan>(dlsym(RTLD_DEFAULT, "colorsplit_fault_plan"));
}

struct Fault {
    const char* step;
    int error;
    long after;    // bytes written first, for write
    long nth = 0;  // only the nth file's, for sync, close, link and rename
    QString Text() const {
        return QStringLiteral("%1:%2:%3:%4").arg(step).arg(error).arg(after).arg(nth);
    }
};

// Each step of a write, failing at once and, for writing, after some bytes. A small file's
// bytes first reach the disk when they are flushed: "write" at once is that flush failing.
const Fault kFaults[] = {
    {"open", EACCES, 0},
    {"open", ENOSPC, 0},
    {"write", ENOSPC, 0},
    {"write", EIO, 0},
    {"write", ENOSPC, 16},
    {"write", EIO, 16},
    {"sync", EIO, 0},
    {"close", EIO, 0},
    {"link", EIO, 0},
    {"rename", EIO, 0},
    // An export's files take their places only when all are complete: the third file's sync
    // failing is before that, the second's or the last one's rename during it.
    {"sync", EIO, 0, 3},
    {"rename", EIO, 0, 2},
    {"rename", EIO, 0, 7},
};

// What came of one write path under one fault.
struct Outcome {
    QStringList reported;  // error boxes, or the batch program's standard error
    int status = 0;        // the batch program's exit status
};

QByteArray Slurp(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
}

// Every file in a folder, hidden ones included, with its bytes.
std::map<QString, QByteArray> Contents(const QString& folder) {
    std::map<QString, QByteArray> files;
    for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::Hidden))
        files[name] = Slurp(folder + "/" + name);
    return files;
}

class Faults : public ::testing::Test {
public:
    void SetUp() override {
        if (FaultPlan() == nullptr)
            GTEST_SKIP() << "run with the fault library preloaded (ctest does)";
        test::WriteFile(picture.toStdString(), test::EncodeBmp(test::QuadrantPicture(), 24));
    }

    QProcessEnvironment Environment(const Fault* fault, const QString& dir, bool noTmpfile) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        if (fault != nullptr) {
            env.insert(QStringLiteral("COLORSPLIT_FAULT"), fault->Text());
            env.insert(QStringLiteral("COLORSPLIT_FAULT_DIR"), dir);
            if (noTmpfile)
                env.insert(QStringLiteral("COLORSPLIT_FAULT_NO_TMPFILE"), QStringLiteral("1"));
        }
        return env;
    }

    Outcome Batch(const QStringList& args, const Fault* fault, const QString& dir, bool noTmpfile) {
        QProcess process;
        process.setProcessEnvironment(Environment(fault, dir, noTmpfile));
        process.start(QStringLiteral(COLORSPLIT_CLI), args);
        EXPECT_TRUE(process.waitForFinished(60000));
        Outcome outcome;
        outcome.status = process.exitCode();
        const QString err = QString::fromUtf8(process.readAllStandardError()).trimmed();
        if (!err.isEmpty())
            outcome.reported = err.split('\n');
        return outcome;
    }

    // The window, its commands run with the fault in place, and its error boxes. Opening a
    // picture first writes the settings (the recent files): grouped is false where the
    // settings are the files looked at.
    Outcome Window(const std::function<void(TForm1&)>& command, const Fault* fault,
                   const QString& dir, bool noTmpfile, bool grouped = true) {
        auto open = std::make_unique<ScriptedDialog>();
        auto save = std::make_unique<ScriptedDialog>();
        auto folder = std::make_unique<ScriptedDialog>();
        open->Answer(picture.toStdString());
        save->Answer((dir + "/out.bmp").toStdString());
        folder->Answer(dir.toStdString());
        TForm1 form(std::move(open), std::move(save), std::move(folder));
        Outcome outcome;
        form.SetErrorReporter([&outcome](const QString& m) { outcome.reported << m; });
        if (grouped) {
            form.Button1Click();
            int x = 0, y = 0;
            for (int q = 0; q < 2; ++q) {
                test::BasePixelOf(q, x, y);
                form.Image1MouseDown(x, y);
            }
            form.Button2Click();
        }
        if (fault != nullptr)
            FaultPlan()(fault->Text().toUtf8().constData(), dir.toUtf8().constData(), noTmpfile);
        command(form);
        form.WaitForWork();
        FaultPlan()(nullptr, nullptr, 0);
        return outcome;
    }

    QTemporaryDir work;
    const QString picture = work.filePath("quadrants.bmp");
};

TEST_F(Faults, EveryWritePathReportsKeepsTheOldFileAndLeavesNothingBehind) {
    const QStringList exportArgs = {"open", picture,  "seed",    "C80A0A",
                                    "seed", "0AC80A", "execute", "export"};
    const QString settingsDir = qEnvironmentVariable("XDG_CONFIG_HOME") + "/colorsplit";
    const struct Path {
        const char* name;
        // The folder the fault is in, and the files the path writes there.
        std::function<QString(const QString& work)> folder;
        QStringList files;
        std::function<Outcome(Faults&, const Fault*, const QString& dir, bool noTmpfile)> run;
    } paths[] = {
        {"window save",
         [](const QString& w) { return w + "/save"; },
         {"out.bmp"},
         [](Faults& f, const Fault* fault, const QString& dir, bool noTmp) {
             return f.Window([](TForm1& form) { form.Button4Click(); }, fault, dir, noTmp);
         }},
        {"window export",
         [](const QString& w) { return w + "/export"; },
         {"quadrants-quantised.png", "quadrants-group1.png", "quadrants-group1-film.png",
          "quadrants-group2.png", "quadrants-group2-film.png", "quadrants-groups.csv",
          "quadrants-groups.gpl"},
         [](Faults& f, const Fault* fault, const QString& dir, bool noTmp) {
             return f.Window(
                 [](TForm1& form) {
                     test::WhenShown<QMessageBox>(
                         [](QMessageBox& box) { box.button(QMessageBox::Yes)->click(); });
                     form.ExportClick();
                 },
                 fault, dir, noTmp);
         }},
        {"window settings",
         [settingsDir](const QString&) { return settingsDir; },
         {"settings.json"},
         [](Faults& f, const Fault* fault, const QString& dir, bool noTmp) {
             return f.Window(
                 [](TForm1& form) { form.MenuItem(QStringLiteral("放大鏡"))->trigger(); }, fault,
                 dir, noTmp, false);
         }},
        {"batch save",
         [](const QString& w) { return w + "/save"; },
         {"out.bmp"},
         [this](Faults& f, const Fault* fault, const QString& dir, bool noTmp) {
             return f.Batch({"open", picture, "save", dir + "/out.bmp"}, fault, dir, noTmp);
         }},
        // Each kind of picture a save writes; PNG and TIFF go through the same safe writing.
        {"batch save, JPEG",
         [](const QString& w) { return w + "/save"; },
         {"out.jpg"},
         [this](Faults& f, const Fault* fault, const QString& dir, bool noTmp) {
             return f.Batch({"open", picture, "save", dir + "/out.jpg"}, fault, dir, noTmp);
         }},
        {"batch save, WebP",
         [](const QString& w) { return w + "/save"; },
         {"out.webp"},
         [this](Faults& f, const Fault* fault, const QString& dir, bool noTmp) {
             return f.Batch({"open", picture, "save", dir + "/out.webp"}, fault, dir, noTmp);
         }},
        {"batch summary",
         [](const QString& w) { return w + "/summary"; },
         {"s.json"},
         [this](Faults& f, const Fault* fault, const QString& dir, bool noTmp) {
             return f.Batch({"--summary", dir + "/s.json", "open", picture}, fault, dir, noTmp);
         }},
        {"batch export",
         [](const QString& w) { return w + "/export"; },
         {"quadrants-quantised.png", "quadrants-group1.png", "quadrants-group1-film.png",
          "quadrants-group2.png", "quadrants-group2-film.png", "quadrants-groups.csv",
          "quadrants-groups.gpl"},
         [exportArgs](Faults& f, const Fault* fault, const QString& dir, bool noTmp) {
             return f.Batch(exportArgs + QStringList{dir}, fault, dir, noTmp);
         }},
        {"batch of many pictures, its CSV",
         [](const QString& w) { return w + "/batch"; },
         {"all.csv"},
         [this](Faults& f, const Fault* fault, const QString& dir, bool noTmp) {
             return f.Batch(
                 {"batch", "--csv", dir + "/all.csv", "--seed", "C80A0A", picture, picture}, fault,
                 dir, noTmp);
         }},
    };
    for (const Path& path : paths) {
        const QString dir = path.folder(work.path());
        // What a write without a fault leaves: the files as they should be.
        // Every file there already, with old bytes of its own.
        std::map<QString, QByteArray> old;
        for (const QString& file : path.files)
            old[file] = file.endsWith(".json") ? QByteArray("{\"loupe\": false}\n")
                                               : "old " + file.toUtf8();
        const auto prepare = [&] {
            QDir(dir).removeRecursively();
            QDir().mkpath(dir);
            for (const auto& [file, bytes] : old) {
                QFile f(dir + "/" + file);
                ASSERT_TRUE(f.open(QIODevice::WriteOnly));
                f.write(bytes);
            }
        };
        prepare();
        const Outcome clean = path.run(*this, nullptr, dir, false);
        ASSERT_TRUE(clean.reported.isEmpty())
            << path.name << ": " << clean.reported.join('\n').toStdString();
        const std::map<QString, QByteArray> written = Contents(dir);
        for (const QString& file : path.files)
            ASSERT_TRUE(written.count(file)) << path.name << " wrote no " << file.toStdString();

        for (const bool noTmpfile : {false, true}) {
            for (const Fault& fault : kFaults) {
                // Without unnamed files nothing is linked, and a path of fewer files has no nth:
                // the write goes through whole.
                const bool applies = !(noTmpfile && std::string(fault.step) == "link") &&
                                     fault.nth <= path.files.size();
                SCOPED_TRACE(std::string(path.name) + ", " + fault.Text().toStdString() +
                             (noTmpfile ? ", no unnamed files" : ""));
                prepare();

                const Outcome outcome = path.run(*this, &fault, dir, noTmpfile);
                const std::map<QString, QByteArray> after = Contents(dir);
                if (!applies) {
                    EXPECT_TRUE(outcome.reported.isEmpty());
                    EXPECT_EQ(after, written);
                    continue;
                }
                EXPECT_EQ(outcome.reported.size(), 1) << outcome.reported.join('\n').toStdString();
                if (outcome.reported.isEmpty())
                    continue;
                const QString& message = outcome.reported.front();
                EXPECT_TRUE(message.contains(texts::SystemCause(fault.error)))
                    << message.toStdString();
                if (std::string(path.name).starts_with("batch")) {
                    EXPECT_EQ(outcome.status, 1);
                    EXPECT_TRUE(message.startsWith("colorsplit-cli: ")) << message.toStdString();
                }
                // Nothing else in the folder; each file old, or whole and new.
                QStringList names;
                for (const auto& [name, bytes] : after)
                    names << name;
                QStringList expected = path.files;
                expected.sort();
                EXPECT_EQ(names, expected);
                int unwritten = 0;
                for (const QString& file : path.files) {
                    if (!after.count(file)) {
                        ADD_FAILURE() << file.toStdString() << " is gone";
                        continue;
                    }
                    const QByteArray& bytes = after.at(file);
                    if (bytes == old.at(file)) {
                        ++unwritten;
                        EXPECT_TRUE(message.contains(file)) << file.toStdString() << " not named";
                    } else {
                        EXPECT_EQ(bytes, written.at(file)) << file.toStdString() << " is cut short";
                    }
                }
                EXPECT_GT(unwritten, 0) << "a failure, yet every file written";
                // Of an export, none replaced before the pass that gives the files their names,
                // those before the failing one during it; the rest named in order.
                const int replaced = static_cast<int>(path.files.size()) - unwritten;
                const bool inPass = std::string(fault.step) == "rename";
                EXPECT_EQ(replaced, inPass && fault.nth > 0 ? fault.nth - 1 : 0);
                if (path.files.size() > 1) {
                    const QString names = path.files.mid(replaced).join(QStringLiteral("、"));
                    EXPECT_TRUE(message.contains(QStringLiteral("(未寫入:%1)").arg(names)))
                        << message.toStdString();
                }
            }
        }
    }
}

}  // namespace
}  // namespace colorsplit
