#include "ui/statistics_dialog.h"

#include <QClipboard>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "session/texts.h"

namespace colorsplit {

namespace {

QTableWidgetItem* Cell(const QString& text, Qt::Alignment alignment = Qt::AlignRight) {
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment(alignment | Qt::AlignVCenter);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}

}  // namespace

StatisticsDialog::StatisticsDialog(const std::vector<GroupStatistic>& statistics, QWidget* parent)
    : QDialog(parent), table_(new QTableWidget(static_cast<int>(statistics.size()), 7, this)) {
    setWindowTitle(texts::StatisticsTitle());
    // The inks' columns only once an ink table is loaded: the table is as it was without one.
    const bool inks = std::any_of(statistics.begin(), statistics.end(),
                                  [](const GroupStatistic& g) { return g.ink.has_value(); });
    table_->setColumnCount(inks ? 9 : 7);
    table_->setHorizontalHeaderLabels(texts::StatisticsHeader() +
                                      (inks ? texts::InkHeader() : QStringList()));
    QStringList names;
    for (int row = 0; row < static_cast<int>(statistics.size()); ++row) {
        const GroupStatistic& g = statistics[static_cast<size_t>(row)];
        const TColor c = g.colour;
        names << texts::GroupName(g.group - 1);
        // A colour as decoration is drawn by the view itself, sharp at any scale.
        auto* swatch = Cell(QString());
        swatch->setData(Qt::DecorationRole, QColor(RedOf(c), GreenOf(c), BlueOf(c)));
        table_->setItem(row, 0, swatch);
        table_->setItem(row, 1, Cell(texts::Hex(c), Qt::AlignLeft));
        table_->setItem(row, 2, Cell(QString::number(RedOf(c))));
        table_->setItem(row, 3, Cell(QString::number(GreenOf(c))));
        table_->setItem(row, 4, Cell(QString::number(BlueOf(c))));
        table_->setItem(row, 5, Cell(QString::number(g.pixels)));
        table_->setItem(row, 6, Cell(texts::Share(g.hundredths)));
        if (inks && g.ink) {
            table_->setItem(row, 7, Cell(QString::fromStdString(g.ink->name), Qt::AlignLeft));
            table_->setItem(row, 8, Cell(QString::fromStdString(DeltaEText(g.ink->deltaE))));
        }
    }
    table_->setVerticalHeaderLabels(names);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->resizeColumnsToContents();
    // A little air between the numbers.
    for (int column = 0; column < table_->columnCount(); ++column)
        table_->setColumnWidth(column, table_->columnWidth(column) + 8);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Room for every cell: a table of at most four rows needs no scrolling.
    int width = table_->verticalHeader()->sizeHint().width() + 2 * table_->frameWidth();
    for (int column = 0; column < table_->columnCount(); ++column)
        width += table_->columnWidth(column);
    int height = table_->horizontalHeader()->sizeHint().height() + 2 * table_->frameWidth();
    for (int row = 0; row < table_->rowCount(); ++row)
        height += table_->rowHeight(row);
    table_->setFixedSize(width, height);

    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    connect(table_, &QTableWidget::itemSelectionChanged, this, [this, statistics] {
        const QList<QTableWidgetItem*> selected = table_->selectedItems();
        if (selected.isEmpty())
            emit groupSelected(std::nullopt);
        else
            emit groupSelected(statistics[static_cast<size_t>(selected.front()->row())].group - 1);
    });

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    QPushButton* copy = buttons->addButton(texts::CopyButton(), QDialogButtonBox::ActionRole);
    connect(copy, &QPushButton::clicked, this,
            [this] { QGuiApplication::clipboard()->setText(Text()); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table_);
    layout->addWidget(buttons);
}

QString StatisticsDialog::Text() const {
    QStringList header = {texts::StatisticsGroupColumn()};
    for (int column = 1; column < table_->columnCount(); ++column)
        header << table_->horizontalHeaderItem(column)->text();
    QStringList lines = {header.join(QLatin1Char('\t'))};
    for (int row = 0; row < table_->rowCount(); ++row) {
        QStringList cells = {table_->verticalHeaderItem(row)->text()};
        for (int column = 1; column < table_->columnCount(); ++column)
            cells << table_->item(row, column)->text();
        lines << cells.join(QLatin1Char('\t'));
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

}  // namespace colorsplit
