#include "app/RadioGroup.h"

#include <QGridLayout>
#include <QRadioButton>
#include <QStyle>

namespace orvendal {

TRadioGroup::TRadioGroup(QWidget* parent) : QGroupBox(parent), grid_(new QGridLayout(this)) {
    group_.setExclusive(true);
    grid_->setContentsMargins(8, 4, 8, 4);
    grid_->setVerticalSpacing(0);
    grid_->setHorizontalSpacing(6);
}

void TRadioGroup::SetItems(const std::vector<std::string>& items) {
    for (QAbstractButton* button : group_.buttons()) {
        group_.removeButton(button);
        delete button;
    }
    items_.clear();
    QWidget* previous = this;
    for (size_t i = 0; i < items.size(); ++i) {
        items_.push_back(QString::fromStdString(items[i]));
        auto* button = new QRadioButton(items_.back(), this);
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
    FitItems();
}

void TRadioGroup::resizeEvent(QResizeEvent* event) {
    QGroupBox::resizeEvent(event);
    FitItems();
}

void TRadioGroup::FitItems() {
    const QMargins margins = grid_->contentsMargins();
    const int column = (contentsRect().width() - margins.left() - margins.right() -
                        grid_->horizontalSpacing() * (columns_ - 1)) /
                       columns_;
    // What a button needs beside its text: the indicator, its spacing, the style's margins.
    QAbstractButton* first = group_.button(0);
    const int room =
        first == nullptr
            ? 0
            : column - first->sizeHint().width() +
                  first->fontMetrics().size(Qt::TextShowMnemonic, first->text()).width();
    for (int i = 0; i < Count(); ++i) {
        QAbstractButton* button = group_.button(i);
        const QString& item = items_[size_t(i)];
        const QString shown =
            button->fontMetrics().elidedText(item, Qt::ElideRight, room, Qt::TextShowMnemonic);
        button->setText(shown);
        button->setToolTip(shown == item ? QString() : item);
    }
}

} // namespace orvendal
