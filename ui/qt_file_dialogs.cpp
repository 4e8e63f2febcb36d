#include "ui/qt_file_dialogs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>

#include "platform/picture.h"
#include "platform/picture_error.h"
#include "platform/picture_formats.h"
#include "platform/safe_file.h"
#include "session/texts.h"

namespace colorsplit {

namespace remembered {

namespace {

// A small JSON file of our own rather than QSettings: QSettings cannot say why a write failed
// and passes over a failed sync, where the safe save reports both and never harms the old file.
QString SettingsFile() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/colorsplit/settings.json");
}

// The kernel's own folders: listing them can hang a file dialog, and nothing is saved there.
bool SystemFolder(const QString& folder) {
    const QString path = QFileInfo(folder).canonicalFilePath();
    for (const char* root : {"/proc", "/sys", "/dev"})
        if (path == QLatin1String(root) || path.startsWith(QLatin1String(root) + QLatin1Char('/')))
            return true;
    return false;
}

// What is remembered; nothing, when the file is missing or damaged.
QJsonObject Load() {
    QFile file(SettingsFile());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

void Set(const char* key, const QJsonValue& value, const Report& report) {
    QJsonObject settings = Load();
    if (settings.value(QLatin1String(key)) == value)
        return;
    settings.insert(QLatin1String(key), value);
    try {
        QDir().mkpath(QFileInfo(SettingsFile()).absolutePath());
        WriteFileSafely(SettingsFile().toStdString(), QJsonDocument(settings).toJson(),
                        PictureError::Action::kRemember);
    } catch (const PictureError& e) {
        if (report)
            report(texts::Describe(e));
    }
}

}  // namespace

QString Folder(const char* key) {
    const QString folder = Load().value(QLatin1String(key)).toString();
    return UsableFolder(folder) ? folder : QString();
}

void SetFolder(const char* key, const QString& folder, const Report& report) {
    if (UsableFolder(folder))
        Set(key, folder, report);
}

bool Flag(const char* key, bool otherwise) {
    return Load().value(QLatin1String(key)).toBool(otherwise);
}

void SetFlag(const char* key, bool value, const Report& report) {
    Set(key, value, report);
}

QJsonValue Value(const char* key) {
    return Load().value(QLatin1String(key));
}

void SetValue(const char* key, const QJsonValue& value, const Report& report) {
    Set(key, value, report);
}

}  // namespace remembered

bool UsableFolder(const QString& folder) {
    return !folder.isEmpty() && QFileInfo(folder).isDir() && !remembered::SystemFolder(folder);
}

namespace {

QString PictureFilter() {
    return texts::PictureFilter(PictureFilePatterns(),
                                PictureFormats().front().patterns.join(QLatin1Char(' ')));
}

QString FolderOf(const std::string& file) {
    return QFileInfo(QString::fromStdString(file)).absolutePath();
}

// A folder a new file can go into, its read-only mark honoured even for root (as saving does).
bool Writable(const QString& folder) {
    const QFileInfo info(folder);
    return info.isDir() && info.isWritable() && (info.permissions() & QFile::WriteOwner);
}

// Where a save or an export starts.
QString WriteStart(const std::function<std::string()>& openedFile) {
    if (const QString last = remembered::Folder(remembered::kWriteFolder); !last.isEmpty())
        return last;
    const std::string opened = openedFile ? openedFile() : std::string();
    if (!opened.empty() && Writable(FolderOf(opened)) && UsableFolder(FolderOf(opened)))
        return FolderOf(opened);
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    return !pictures.isEmpty() && QFileInfo(pictures).isDir() ? pictures : QDir::homePath();
}

// The chosen file, or nullopt when the dialog was cancelled.
std::optional<std::string> Run(QFileDialog& dialog) {
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst().toStdString();
}

class OpenPictureDialog : public FileDialog {
public:
    OpenPictureDialog(QWidget* parent, Report report)
        : parent_(parent), report_(std::move(report)) {}

protected:
    std::optional<std::string> Ask() override {
        QString start = remembered::Folder(remembered::kOpenFolder);
        if (start.isEmpty())
            start = SamplesDirectory();
        QFileDialog dialog(parent_, texts::OpenDialogTitle(), start, PictureFilter());
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
        return Run(dialog);
    }
    void Remember(const std::string& name) override {
        remembered::SetFolder(remembered::kOpenFolder, FolderOf(name), report_);
    }

private:
    QWidget* parent_;
    Report report_;
};

// A dialog choosing where something is written; the folder chosen is where the next one starts.
class WriteDialog : public FileDialog {
public:
    WriteDialog(QWidget* parent, std::function<std::string()> openedFile, Report report)
        : parent_(parent), openedFile_(std::move(openedFile)), report_(std::move(report)) {}

protected:
    QWidget* Parent() const { return parent_; }
    QString Start() const { return WriteStart(openedFile_); }
    void RememberFolder(const QString& folder) {
        remembered::SetFolder(remembered::kWriteFolder, folder, report_);
    }

private:
    QWidget* parent_;
    std::function<std::string()> openedFile_;
    Report report_;
};

class SaveDialog : public WriteDialog {
public:
    using WriteDialog::WriteDialog;

protected:
    std::optional<std::string> Ask() override {
        const QString start = Start();
        QFileDialog dialog(Parent(), texts::SaveDialogTitle(), start);
        // Qt asks before an existing file is replaced; answering No writes nothing.
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        // The kind of file by the name's extension: BMP, PNG or TIFF. A name typed without one
        // gets that of the kind chosen, .bmp unless another is.
        const QStringList filters = texts::SaveFilters();
        dialog.setNameFilters(filters);
        dialog.setDefaultSuffix(QStringLiteral("bmp"));
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                         [&dialog](const QString& filter) {
                             // "PNG 圖片 (*.png)": the first pattern's extension.
                             const QString first = filter.section(QLatin1Char('('), 1)
                                                       .section(QLatin1Char(' '), 0, 0)
                                                       .remove(QLatin1Char(')'));
                             dialog.setDefaultSuffix(first.section(QLatin1Char('.'), 1));
                         });
        if (!FileName().empty() && QDir(FolderOf(FileName())) == QDir(start))
            dialog.selectFile(QString::fromStdString(FileName()));
        return Run(dialog);
    }
    void Remember(const std::string& name) override { RememberFolder(FolderOf(name)); }
};

class FolderDialog : public WriteDialog {
public:
    using WriteDialog::WriteDialog;

protected:
    std::optional<std::string> Ask() override {
        QFileDialog dialog(Parent(), texts::ExportDialogTitle(), Start());
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
        return Run(dialog);
    }
    void Remember(const std::string& name) override {
        RememberFolder(QFileInfo(QString::fromStdString(name)).absoluteFilePath());
    }
};

class PaletteDialog : public WriteDialog {
public:
    PaletteDialog(QWidget* parent, std::function<std::string()> openedFile, Report report,
                  QString title)
        : WriteDialog(parent, std::move(openedFile), std::move(report)), title_(std::move(title)) {}

protected:
    std::optional<std::string> Ask() override {
        QFileDialog dialog(Parent(), title_, Start(), texts::PaletteFilter());
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
        return Run(dialog);
    }

private:
    QString title_;
};

}  // namespace

std::unique_ptr<FileDialog> MakeOpenPictureDialog(QWidget* parent, Report report) {
    return std::make_unique<OpenPictureDialog>(parent, std::move(report));
}

std::unique_ptr<FileDialog> MakeSaveDialog(QWidget* parent, std::function<std::string()> openedFile,
                                           Report report) {
    return std::make_unique<SaveDialog>(parent, std::move(openedFile), std::move(report));
}

std::unique_ptr<FileDialog> MakeFolderDialog(QWidget* parent,
                                             std::function<std::string()> openedFile,
                                             Report report) {
    return std::make_unique<FolderDialog>(parent, std::move(openedFile), std::move(report));
}

std::unique_ptr<FileDialog> MakePaletteDialog(QWidget* parent,
                                              std::function<std::string()> openedFile,
                                              Report report) {
    return std::make_unique<PaletteDialog>(parent, std::move(openedFile), std::move(report),
                                           texts::SeedsDialogTitle());
}

std::unique_ptr<FileDialog> MakeInksDialog(QWidget* parent, std::function<std::string()> openedFile,
                                           Report report) {
    return std::make_unique<PaletteDialog>(parent, std::move(openedFile), std::move(report),
                                           texts::InksDialogTitle());
}

QString SamplesDirectory() {
    const QString installed =
        QCoreApplication::applicationDirPath() + QStringLiteral("/../share/colorsplit/samples");
    if (QFileInfo(installed).isDir())
        return QDir::cleanPath(installed);
    const QString source = QStringLiteral(COLORSPLIT_SOURCE_SAMPLES_DIR);
    if (QFileInfo(source).isDir())
        return source;
    return QString();
}

}  // namespace colorsplit
