#pragma once
// A radio group as the forms know it: a framed caption over a list of exclusive choices laid
// out in columns, with the chosen item as an index (-1: none). An item wider than its column is
// shortened with "…" and shows its whole text as its tool tip.

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

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void Arrange();
    // Shortens the items that do not fit their column.
    void FitItems();

    QButtonGroup group_;
    std::vector<QString> items_;
    QGridLayout* grid_;
    int columns_ = 1;
};

} // namespace orvendal
