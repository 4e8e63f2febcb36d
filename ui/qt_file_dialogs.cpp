#include "ui/qt_file_dialogs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

#include "platform/picture.h"

namespace colorsplit {

namespace {

QString PictureFilter() {
    return QStringLiteral("圖片 (%1);;BMP 圖片 (*.bmp *.dib *.rle);;所有檔案 (*)")
        .arg(PictureFilePatterns());
}

QString StartFolder(const std::string& lastName) {
    if (lastName.empty())
        return SamplesDirectory();
    return QFileInfo(QString::fromStdString(lastName)).absolutePath();
}

// The chosen file, or nullopt when the dialog was cancelled.
std::optional<std::string> Run(QFileDialog& dialog) {
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst().toStdString();
}

class OpenPictureDialog : public FileDialog {
public:
    explicit OpenPictureDialog(QWidget* parent) : parent_(parent) {}

protected:
    std::optional<std::string> Ask() override {
        QFileDialog dialog(parent_, QStringLiteral("開啟"), StartFolder(FileName()),
                           PictureFilter());
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
        return Run(dialog);
    }

private:
    QWidget* parent_;
};

class SaveDialog : public FileDialog {
public:
    explicit SaveDialog(QWidget* parent) : parent_(parent) {}

protected:
    std::optional<std::string> Ask() override {
        QFileDialog dialog(parent_, QStringLiteral("另存新檔"));
        // Qt asks before an existing file is replaced; answering No writes nothing.
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        // A name typed without an extension gets .bmp; the file is a BMP whatever its name.
        dialog.setDefaultSuffix(QStringLiteral("bmp"));
        dialog.setNameFilter(QStringLiteral("bmp (*.bmp)"));
        if (!FileName().empty())
            dialog.selectFile(QString::fromStdString(FileName()));
        return Run(dialog);
    }

private:
    QWidget* parent_;
};

class FolderDialog : public FileDialog {
public:
    FolderDialog(QWidget* parent, std::function<std::string()> lastSave)
        : parent_(parent), lastSave_(std::move(lastSave)) {}

protected:
    std::optional<std::string> Ask() override {
        QString start = QString::fromStdString(FileName());
        if (start.isEmpty() && !lastSave_().empty())
            start = QFileInfo(QString::fromStdString(lastSave_())).absolutePath();
        QFileDialog dialog(parent_, QStringLiteral("匯出群組"), start);
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
        return Run(dialog);
    }

private:
    QWidget* parent_;
    std::function<std::string()> lastSave_;
};

}  // namespace

std::unique_ptr<FileDialog> MakeOpenPictureDialog(QWidget* parent) {
    return std::make_unique<OpenPictureDialog>(parent);
}

std::unique_ptr<FileDialog> MakeSaveDialog(QWidget* parent) {
    return std::make_unique<SaveDialog>(parent);
}

std::unique_ptr<FileDialog> MakeFolderDialog(QWidget* parent,
                                             std::function<std::string()> lastSave) {
    return std::make_unique<FolderDialog>(parent, std::move(lastSave));
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
