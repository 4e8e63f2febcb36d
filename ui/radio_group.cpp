#include "ui/radio_group.h"

#include <QButtonGroup>
#include <QRadioButton>
#include <QVBoxLayout>

namespace colorsplit {

RadioGroup::RadioGroup(const QString& caption, const QStringList& items, QWidget* parent)
    : QGroupBox(caption, parent), buttons_(new QButtonGroup(this)) {
    // Items share the space below the caption evenly, one above the other.
    // The box is narrow: the style's usual margins would cut the items' captions short.
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(5, 0, 0, 4);
    for (int i = 0; i < items.size(); ++i) {
        auto* item = new QRadioButton(items[i], this);
        buttons_->addButton(item, i);
        column->addWidget(item);
    }
}

int RadioGroup::ItemIndex() const {
    return buttons_->checkedId();
}

void RadioGroup::SetItemIndex(int index) {
    if (QAbstractButton* button = buttons_->button(index))
        button->setChecked(true);
}

QWidget* RadioGroup::Item(int index) const {
    return buttons_->button(index);
}

}  // namespace colorsplit
