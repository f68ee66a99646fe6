#pragma once
// A radio group as the forms know it: a framed caption over a list of exclusive choices laid
// out in columns, with the chosen item as an index (-1: none).

#include <QButtonGroup>
#include <QGroupBox>

#include <string>
#include <vector>

class QGridLayout;

namespace orvendal {

class TRadioGroup : public QGroupBox {
    Q_OBJECT
public:
    explicit TRadioGroup(QWidget* parent = nullptr);

    // Replaces the items; none is chosen afterwards.
    void SetItems(const std::vector<std::string>& items);
    int Count() const;
    // Index of the chosen item, -1 when none is.
    int ItemIndex() const;
    // Chooses item index; an index out of range chooses none.
    void SetItemIndex(int index);
    int Columns() const { return columns_; }
    // Spreads the items over columns (at least 1), filled top to bottom, then left to right.
    void SetColumns(int columns);

private:
    void Arrange();

    QButtonGroup group_;
    QGridLayout* grid_;
    int columns_ = 1;
};

} // namespace orvendal
