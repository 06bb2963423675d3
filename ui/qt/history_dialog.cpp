#include "ui/qt/history_dialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

#include "history/history_table.h"
#include "ui/model/window_model.h"

namespace korvane {

HistoryDialog::HistoryDialog(const WindowModel& model, QWidget* parent)
    : QDialog(parent),
      model_(model),
      rows_(new QStandardItemModel(this)),
      table_(new QTableView(this)),
      note_(new QLabel(this)) {
    setWindowTitle(QStringLiteral("Update history"));
    table_->setModel(rows_);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setStretchLastSection(true);
    note_->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table_);
    layout->addWidget(note_);
    layout->addWidget(buttons);
    resize(900, 360);
    refresh();
}

void HistoryDialog::refresh() {
    const HistoryReadout readout = model_.history();
    rows_->clear();
    QStringList headings;
    for (const std::string& heading : historyHeadings()) {
        headings << QString::fromStdString(heading);
    }
    rows_->setHorizontalHeaderLabels(headings);
    for (const HistoryRecord& record : readout.records) {
        QList<QStandardItem*> cells;
        for (const std::string& cell : historyRow(record)) {
            cells << new QStandardItem(QString::fromStdString(cell));
        }
        rows_->appendRow(cells);
    }
    table_->resizeColumnsToContents();

    QString note;
    if (!model_.keepsHistory()) {
        note = QStringLiteral("No history is kept (KORVANE_NO_HISTORY=1).");
    } else if (!readout.status.done()) {
        note = QString::fromStdString(historyProblemText(readout.status));
    } else if (!readout.warnings.empty()) {
        note = QString::fromStdString("update history: " + readout.warnings.front());
    }
    note_->setText(note);
    note_->setVisible(!note.isEmpty());
}

}  // namespace korvane
