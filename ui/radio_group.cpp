#include "ui/radio_group.h"

#include <QButtonGroup>
#include <QRadioButton>

namespace colorsplit {

RadioGroup::RadioGroup(const QString& caption, const QStringList& items, QWidget* parent)
    : QGroupBox(caption, parent), buttons_(new QButtonGroup(this)) {
    for (int i = 0; i < items.size(); ++i)
        buttons_->addButton(new QRadioButton(items[i], this), i);
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

void RadioGroup::resizeEvent(QResizeEvent* event) {
    QGroupBox::resizeEvent(event);
    // Items share the space below the caption evenly, one above the other.
    const QList<QAbstractButton*> items = buttons_->buttons();
    if (items.isEmpty())
        return;
    const int top = 20;
    const int step = (height() - top - 6) / static_cast<int>(items.size());
    for (int i = 0; i < items.size(); ++i)
        buttons_->button(i)->setGeometry(8, top + i * step, width() - 12, step);
}

}  // namespace colorsplit
