// 匯出設定…: what the dialog lets go together, and what the window remembers of it.
#include "ui/export_settings_dialog.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QRadioButton>
#include <QSpinBox>

#include "support/modal.h"
#include "ui/qt_file_dialogs.h"
#include "ui/tform1.h"

namespace colorsplit {
namespace {

TEST(ExportSettingsDialogTest, CleanupAndDitherExcludeEachOther) {
    ExportSettingsDialog dialog({}, false);
    EXPECT_TRUE(dialog.dither->isEnabled());
    EXPECT_FALSE(dialog.connectivity->isEnabled()) << "no cleanup, no connectivity to choose";
    dialog.minRegion->setValue(20);
    EXPECT_FALSE(dialog.dither->isEnabled());
    EXPECT_TRUE(dialog.connectivity->isEnabled());
    dialog.minRegion->setValue(0);
    dialog.dither->setChecked(true);
    EXPECT_FALSE(dialog.minRegion->isEnabled());
    EXPECT_TRUE(dialog.Settings().dither);
    EXPECT_FALSE(dialog.inkColours->isEnabled()) << "no inks loaded";
}

TEST(ExportSettingsDialogTest, EverySettingComesBackAsShown) {
    ExportSettings s;
    s.minRegion = 25;
    s.connectivity = 8;
    s.trap = 0.3;
    s.trapInMillimetres = true;
    s.printWidthMm = 420;
    s.marks = s.pdf = s.svg = true;
    s.smooth = 1.5;
    EXPECT_EQ(ExportSettingsDialog(s, true).Settings(), s);
    s.printWidthMm = 0;
    s.dpi = 600;
    s.minRegion = 0;
    s.dither = true;
    s.inkColours = true;
    EXPECT_EQ(ExportSettingsDialog(s, true).Settings(), s);
}

TEST(ExportSettingsDialogTest, TheWindowRemembersWhatWasChosen) {
    {
        TForm1 form;
        test::WhenShown<ExportSettingsDialog>([](ExportSettingsDialog& d) {
            d.minRegion->setValue(12);
            d.pdf->setChecked(true);
            d.accept();
        });
        form.findChild<QAction*>(QStringLiteral("exportSettings"))->trigger();
        EXPECT_EQ(form.Settings().minRegion, 12);
    }
    TForm1 next;
    EXPECT_EQ(next.Settings().minRegion, 12) << "the next run";
    EXPECT_TRUE(next.Settings().pdf);
    test::WhenShown<ExportSettingsDialog>([](ExportSettingsDialog& d) {
        d.minRegion->setValue(99);
        d.reject();
    });
    next.findChild<QAction*>(QStringLiteral("exportSettings"))->trigger();
    EXPECT_EQ(next.Settings().minRegion, 12) << "cancelled";
    // The other tests' windows start with the defaults.
    remembered::SetValue(remembered::kExport, ExportSettings{}.ToJson(), {});
}

}  // namespace
}  // namespace colorsplit
