#pragma once

#include <QDialog>

#include "session/export_settings.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QRadioButton;
class QSpinBox;

namespace colorsplit {

// 匯出設定…: what an export makes for printing and cutting, each setting with a sentence on
// what it does. Cleanup and dithering exclude each other: while one is on, the other is off.
class ExportSettingsDialog : public QDialog {
    Q_OBJECT
public:
    // inksLoaded: whether an ink palette is there for 以油墨顏色匯出 to use.
    ExportSettingsDialog(const ExportSettings& settings, bool inksLoaded,
                         QWidget* parent = nullptr);

    // The settings as the dialog shows them now.
    ExportSettings Settings() const;

    // The controls, by what they set, for tests.
    QSpinBox* minRegion;
    QComboBox* connectivity;
    QCheckBox* dither;
    QDoubleSpinBox* trap;
    QComboBox* trapUnit;
    QRadioButton* byDpi;
    QSpinBox* dpi;
    QRadioButton* byWidth;
    QDoubleSpinBox* printWidth;
    QCheckBox* marks;
    QCheckBox* pdf;
    QCheckBox* svg;
    QDoubleSpinBox* smooth;
    QCheckBox* inkColours;

private:
    void UpdateEnabled();
};

}  // namespace colorsplit
