// Renders the README's screenshot: the window after a whole use on the bundled sample.
#include <QApplication>
#include <QPixmap>
#include <QPushButton>
#include <cstdio>

#include "ui/image_control.h"
#include "ui/qt_file_dialogs.h"
#include "ui/radio_group.h"
#include "ui/tform1.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: colorsplit-screenshot OUTPUT.png\n");
        return 2;
    }
    QApplication app(argc, argv);
    auto open = std::make_unique<colorsplit::ScriptedDialog>();
    open->Answer((colorsplit::SamplesDirectory() + QStringLiteral("/landscape.bmp")).toStdString());
    colorsplit::TForm1 form(std::move(open), std::make_unique<colorsplit::ScriptedDialog>());
    int failures = 0;
    form.SetErrorReporter([&](const QString& m) {
        std::fprintf(stderr, "%s\n", m.toLocal8Bit().constData());
        ++failures;
    });
    form.show();
    form.Button1->click();
    // Sky, sun, grass and the house.
    for (const QPoint p : {QPoint(40, 40), QPoint(370, 70), QPoint(300, 320), QPoint(120, 270)})
        form.Image1MouseDown(p.x(), p.y());
    form.Button2->click();
    form.RadioGroup1->SetItemIndex(2);
    form.Button7->click();
    form.Button5->click();
    QApplication::processEvents();
    if (failures > 0 || !form.grab().save(QString::fromLocal8Bit(argv[1])))
        return 1;
    return 0;
}
