// Renders the README's screenshots: the window after a whole use on the bundled sample, the
// split shown in the picture area.
//   colorsplit-screenshot OUTPUT.png [--picture FILE] [--zoom fit|Z] [--original]
//                         [--mask N] [--preview N] [--size WxH]
#include <QAction>
#include <QApplication>
#include <QPixmap>
#include <QPushButton>
#include <QStringList>
#include <cstdio>

#include "ui/picture_view.h"
#include "ui/qt_file_dialogs.h"
#include "ui/radio_group.h"
#include "ui/tform1.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QStringList args = QApplication::arguments().mid(1);
    if (args.isEmpty() || args.front().startsWith(QLatin1String("--"))) {
        std::fprintf(stderr,
                     "usage: colorsplit-screenshot OUTPUT.png [--picture FILE] [--zoom fit|Z] "
                     "[--original] [--mask N] [--preview N] [--size WxH]\n");
        return 2;
    }
    const QString output = args.takeFirst();
    const auto option = [&args](const char* name, const QString& otherwise) {
        const int at = static_cast<int>(args.indexOf(QLatin1String(name)));
        return at >= 0 && at + 1 < args.size() ? args[at + 1] : otherwise;
    };
    const QString picture =
        option("--picture", colorsplit::SamplesDirectory() + QStringLiteral("/landscape.bmp"));
    auto open = std::make_unique<colorsplit::ScriptedDialog>();
    open->Answer(picture.toStdString());
    colorsplit::TForm1 form(std::move(open), std::make_unique<colorsplit::ScriptedDialog>());
    int failures = 0;
    form.SetErrorReporter([&](const QString& m) {
        std::fprintf(stderr, "%s\n", m.toLocal8Bit().constData());
        ++failures;
    });
    form.show();
    if (const QStringList size = option("--size", {}).split(QLatin1Char('x')); size.size() == 2)
        form.resize(size[0].toInt(), size[1].toInt());
    QApplication::processEvents();
    const QString zoom = option("--zoom", QStringLiteral("fit"));
    if (zoom == QLatin1String("fit"))
        form.FitClick();
    else
        form.Image1->SetZoom(zoom.toDouble());
    form.Button1->click();
    form.WaitForWork();
    // Sky, sun, grass and the house, where the sample has them.
    for (const QPoint p : {QPoint(40, 40), QPoint(370, 70), QPoint(300, 320), QPoint(120, 270)})
        form.Image1MouseDown(p.x(), p.y());
    form.Button2->click();
    if (const QString group = option("--mask", {}); !group.isEmpty()) {
        form.RadioGroup1->SetItemIndex(group.toInt() - 1);
        form.Button7->click();
    }
    form.Button5->click();
    if (!args.contains(QLatin1String("--original")))
        form.findChild<QAction*>(QStringLiteral("quantised"))->setChecked(true);
    if (const QString group = option("--preview", {}); !group.isEmpty())
        form.Image1->SetPreviewGroup(group.toInt() - 1);
    QApplication::processEvents();
    if (failures > 0 || !form.grab().save(output))
        return 1;
    return 0;
}
