#include "ui/export_settings_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <limits>

#include "session/texts.h"

namespace colorsplit {

namespace {

// A setting's sentence, under its controls, wrapped to the box's width.
QLabel* Sentence(const char* key, QWidget* parent) {
    auto* label = new QLabel(texts::ExportSettingText(key), parent);
    label->setWordWrap(true);
    // Wide enough for a line of about twenty-four characters of Chinese, and as tall as the
    // lines at that width: wider, it needs no more (Qt's layouts do not always ask a wrapped
    // label for its height at the width they give it).
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QChar(0x4E00)) * 24);
    label->setMinimumHeight(label->heightForWidth(label->minimumWidth()));
    return label;
}

// A titled box: a row of controls, then what they do.
QGroupBox* Box(const char* title, const char* sentence, const QList<QWidget*>& controls,
               QWidget* parent) {
    auto* box = new QGroupBox(texts::ExportSettingText(title), parent);
    auto* layout = new QVBoxLayout(box);
    auto* row = new QHBoxLayout;
    for (QWidget* control : controls)
        row->addWidget(control);
    row->addStretch();
    layout->addLayout(row);
    layout->addWidget(Sentence(sentence, box));
    return box;
}

QLabel* Caption(const char* key, QWidget* buddy) {
    auto* label = new QLabel(texts::ExportSettingText(key), buddy->parentWidget());
    label->setBuddy(buddy);
    return label;
}

}  // namespace

ExportSettingsDialog::ExportSettingsDialog(const ExportSettings& s, bool inksLoaded,
                                           QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(texts::ExportSettingText("title"));
    // Two columns of boxes, so that the dialog fits a small screen at any scale.
    auto* layout = new QVBoxLayout(this);
    auto* boxes = new QGridLayout;
    layout->addLayout(boxes);
    int placed = 0;
    const auto add = [&](QGroupBox* box) {
        boxes->addWidget(box, placed / 2, placed % 2);
        ++placed;
    };

    minRegion = new QSpinBox(this);
    minRegion->setRange(0, std::numeric_limits<int>::max());
    minRegion->setValue(static_cast<int>(std::min<qint64>(s.minRegion, minRegion->maximum())));
    minRegion->setSuffix(texts::ExportSettingText("pixels"));
    minRegion->setSpecialValueText(texts::ExportSettingText("off"));
    connectivity = new QComboBox(this);
    connectivity->addItem(texts::ExportSettingText("connect4"), 4);
    connectivity->addItem(texts::ExportSettingText("connect8"), 8);
    connectivity->setCurrentIndex(s.connectivity == 8 ? 1 : 0);
    add(Box("cleanup", "cleanupSentence",
            {Caption("minRegion", minRegion), minRegion, Caption("connectivity", connectivity),
             connectivity},
            this));

    dither = new QCheckBox(texts::ExportSettingText("ditherBox"), this);
    dither->setChecked(s.dither && s.minRegion == 0);
    add(Box("dither", "ditherSentence", {dither}, this));

    trap = new QDoubleSpinBox(this);
    trap->setDecimals(2);
    trap->setRange(0, ExportSettings::kMostTrapPixels);
    trap->setSingleStep(0.1);
    trap->setValue(s.trap);
    trapUnit = new QComboBox(this);
    trapUnit->addItem(texts::ExportSettingText("unitPixels"));
    trapUnit->addItem(texts::ExportSettingText("unitMm"));
    trapUnit->setCurrentIndex(s.trapInMillimetres ? 1 : 0);
    add(Box("trap", "trapSentence", {Caption("trapWidth", trap), trap, trapUnit}, this));

    byDpi = new QRadioButton(texts::ExportSettingText("byDpi"), this);
    dpi = new QSpinBox(this);
    dpi->setRange(static_cast<int>(ExportSettings::kLeastDpi),
                  static_cast<int>(ExportSettings::kMostDpi));
    dpi->setValue(static_cast<int>(s.dpi));
    dpi->setSuffix(QStringLiteral(" dpi"));
    byWidth = new QRadioButton(texts::ExportSettingText("byWidth"), this);
    printWidth = new QDoubleSpinBox(this);
    printWidth->setDecimals(1);
    printWidth->setRange(1, 100000);
    printWidth->setValue(s.printWidthMm > 0 ? s.printWidthMm : 210);
    printWidth->setSuffix(texts::ExportSettingText("mm"));
    (s.printWidthMm > 0 ? byWidth : byDpi)->setChecked(true);
    add(Box("printSize", "printSizeSentence", {byDpi, dpi, byWidth, printWidth}, this));

    marks = new QCheckBox(texts::ExportSettingText("marksBox"), this);
    marks->setChecked(s.marks);
    pdf = new QCheckBox(texts::ExportSettingText("pdfBox"), this);
    pdf->setChecked(s.pdf);
    add(Box("films", "filmsSentence", {marks, pdf}, this));

    svg = new QCheckBox(texts::ExportSettingText("svgBox"), this);
    svg->setChecked(s.svg);
    smooth = new QDoubleSpinBox(this);
    smooth->setDecimals(2);
    smooth->setRange(0, ExportSettings::kMostSmoothing);
    smooth->setSingleStep(0.25);
    smooth->setValue(s.smooth);
    smooth->setSuffix(texts::ExportSettingText("pixels"));
    add(Box("vectors", "vectorsSentence", {svg, Caption("smooth", smooth), smooth}, this));

    inkColours = new QCheckBox(texts::ExportSettingText("inkColoursBox"), this);
    inkColours->setChecked(s.inkColours);
    inkColours->setEnabled(inksLoaded || s.inkColours);
    add(Box("inks", "inksSentence", {inkColours}, this));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    for (QCheckBox* box : {dither, svg})
        connect(box, &QCheckBox::toggled, this, &ExportSettingsDialog::UpdateEnabled);
    connect(byDpi, &QRadioButton::toggled, this, &ExportSettingsDialog::UpdateEnabled);
    connect(minRegion, &QSpinBox::valueChanged, this, &ExportSettingsDialog::UpdateEnabled);
    UpdateEnabled();
}

void ExportSettingsDialog::UpdateEnabled() {
    // Cleanup would erase the dots dithering makes: one or the other.
    minRegion->setEnabled(!dither->isChecked());
    connectivity->setEnabled(!dither->isChecked() && minRegion->value() > 0);
    dither->setEnabled(minRegion->value() == 0);
    dpi->setEnabled(byDpi->isChecked());
    printWidth->setEnabled(!byDpi->isChecked());
    smooth->setEnabled(svg->isChecked());
}

ExportSettings ExportSettingsDialog::Settings() const {
    ExportSettings s;
    s.dither = dither->isChecked();
    s.minRegion = s.dither ? 0 : minRegion->value();
    s.connectivity = connectivity->currentData().toInt();
    s.trap = trap->value();
    s.trapInMillimetres = trapUnit->currentIndex() == 1;
    s.dpi = dpi->value();
    s.printWidthMm = byWidth->isChecked() ? printWidth->value() : 0;
    s.marks = marks->isChecked();
    s.pdf = pdf->isChecked();
    s.svg = svg->isChecked();
    s.smooth = smooth->value();
    s.inkColours = inkColours->isChecked();
    return s;
}

}  // namespace colorsplit
