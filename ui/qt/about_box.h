#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace korvane {

// The modal About box: icon, program name with version, a rights notice, the release number of
// this build and OK.
class AboutBox : public QDialog {
public:
    explicit AboutBox(QWidget* parent);

    QLabel* nameLine() const { return nameLine_; }
    QLabel* noticeLine() const { return noticeLine_; }
    QLabel* releaseLine() const { return releaseLine_; }
    QPushButton* okButton() const { return ok_; }

private:
    QLabel* icon_;
    QLabel* nameLine_;
    QLabel* noticeLine_;
    QLabel* releaseLine_;
    QPushButton* ok_;
};

}  // namespace korvane
