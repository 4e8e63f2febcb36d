#pragma once

#include <QGroupBox>
#include <QStringList>

class QButtonGroup;

namespace colorsplit {

// A captioned box of radio items, one of which is selected, addressed by item index.
class RadioGroup : public QGroupBox {
    Q_OBJECT
public:
    RadioGroup(const QString& caption, const QStringList& items, QWidget* parent = nullptr);

    int ItemIndex() const;
    void SetItemIndex(int index);
    QWidget* Item(int index) const;

private:
    QButtonGroup* buttons_;
};

}  // namespace colorsplit
