#pragma once

#include <QDialog>
#include <optional>
#include <vector>

#include "session/grouping.h"

class QTableWidget;

namespace colorsplit {

// 群組統計: a row a group (its swatch, #RRGGBB, R, G, B, pixels, percent), and a button that
// copies the table as tab-separated text, to paste into a spreadsheet.
class StatisticsDialog : public QDialog {
    Q_OBJECT
public:
    StatisticsDialog(const std::vector<GroupStatistic>& statistics, QWidget* parent = nullptr);

    QTableWidget* Table() const { return table_; }
    // The table as tab-separated lines, the header first; what the copy button copies.
    QString Text() const;

signals:
    // The group of the row selected (0 for group 1), or none once nothing is selected.
    void groupSelected(std::optional<int> group);

private:
    QTableWidget* table_;
};

}  // namespace colorsplit
