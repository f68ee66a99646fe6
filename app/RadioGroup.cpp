#include "app/RadioGroup.h"

#include <QGridLayout>
#include <QRadioButton>

namespace orvendal {

TRadioGroup::TRadioGroup(QWidget* parent) : QGroupBox(parent), grid_(new QGridLayout(this)) {
    group_.setExclusive(true);
    grid_->setContentsMargins(8, 4, 8, 4);
    grid_->setVerticalSpacing(0);
}

void TRadioGroup::SetItems(const std::vector<std::string>& items) {
    for (QAbstractButton* button : group_.buttons()) {
        group_.removeButton(button);
        delete button;
    }
    QWidget* previous = this;
    for (size_t i = 0; i < items.size(); ++i) {
        auto* button = new QRadioButton(QString::fromStdString(items[i]), this);
        group_.addButton(button, static_cast<int>(i));
        // New buttons would join the end of the window's tab chain; keep them at the group.
        QWidget::setTabOrder(previous, button);
        previous = button;
    }
    Arrange();
}

int TRadioGroup::Count() const {
    return static_cast<int>(group_.buttons().size());
}

int TRadioGroup::ItemIndex() const {
    return group_.checkedId();
}

void TRadioGroup::SetItemIndex(int index) {
    if (QAbstractButton* button = group_.button(index)) {
        button->setChecked(true);
        return;
    }
    if (QAbstractButton* checked = group_.checkedButton()) {
        group_.setExclusive(false); // an exclusive group cannot uncheck its last button
        checked->setChecked(false);
        group_.setExclusive(true);
    }
}

void TRadioGroup::SetColumns(int columns) {
    columns_ = columns < 1 ? 1 : columns;
    Arrange();
}

void TRadioGroup::Arrange() {
    const int n = Count();
    const int rows = n == 0 ? 1 : (n + columns_ - 1) / columns_;
    for (int i = 0; i < n; ++i) {
        QAbstractButton* button = group_.button(i);
        grid_->removeWidget(button);
        grid_->addWidget(button, i % rows, i / rows);
    }
}

} // namespace orvendal
