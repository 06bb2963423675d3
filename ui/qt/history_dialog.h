#pragma once

#include <QDialog>

class QLabel;
class QStandardItemModel;
class QTableView;

namespace korvane {

class WindowModel;

// The update history as a read-only table, newest first: when, port, model, firmware before and
// after, file, its SHA-256's first digits, outcome. Not modal, so it can stay open while jobs run;
// the window refreshes it when one of its runs ends.
class HistoryDialog : public QDialog {
public:
    HistoryDialog(const WindowModel& model, QWidget* parent);

    // Reads the history again.
    void refresh();

    QTableView* table() const { return table_; }
    QLabel* noteLine() const { return note_; }

private:
    const WindowModel& model_;
    QStandardItemModel* rows_;
    QTableView* table_;
    QLabel* note_;
};

}  // namespace korvane
