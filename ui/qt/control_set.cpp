#include "ui/qt/control_set.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

#include "ui/qt/byte_length_validator.h"
#include "ui/qt/dialog_units.h"

namespace korvane {

namespace {

constexpr int kProgressMaximum = 100;

QRect placed(const DialogUnits& units, const DialogRect& area) {
    return units.rect(area.x, area.y, area.width, area.height);
}

QWidget* createControl(const ControlLayout& row, const DialogUnits& units, QWidget* parent) {
    const QString caption = QString::fromLatin1(row.caption);
    const QRect area = placed(units, row.rect);
    switch (row.kind) {
        case ControlKind::Frame:
        case ControlKind::PanelFrame: {
            auto* frame = new QGroupBox(caption, parent);
            frame->setGeometry(area);
            return frame;
        }
        case ControlKind::Radio: {
            auto* radio = new QRadioButton(caption, parent);
            radio->setGeometry(area);
            return radio;
        }
        case ControlKind::Label: {
            auto* label = new QLabel(caption, parent);
            placeStaticText(label, area);
            return label;
        }
        case ControlKind::LineEdit: {
            auto* box = new QLineEdit(caption, parent);
            box->setGeometry(area);
            if (row.maxBytes > 0) {
                box->setValidator(new ByteLengthValidator(static_cast<int>(row.maxBytes), box));
            }
            return box;
        }
        case ControlKind::OutputBox: {
            auto* box = new QPlainTextEdit(caption, parent);
            box->setGeometry(area);
            box->setLineWrapMode(QPlainTextEdit::NoWrap);
            box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            box->setTabChangesFocus(true);
            // The box keeps everything until Clear; an undo history would keep it twice.
            box->setUndoRedoEnabled(false);
            return box;
        }
        case ControlKind::Button:
        case ControlKind::DefaultButton: {
            auto* button = new QPushButton(caption, parent);
            button->setGeometry(area);
            button->setAutoDefault(false);
            button->setDefault(row.kind == ControlKind::DefaultButton);
            return button;
        }
        case ControlKind::DropDown: {
            // The closed height the style needs for one line, at the list's top, like a dialog's
            // combo box (whose given height includes the opened list).
            auto* list = new QComboBox(parent);
            list->setGeometry(area.x(), area.y(), area.width(), list->sizeHint().height());
            return list;
        }
        case ControlKind::ProgressBar: {
            auto* bar = new QProgressBar(parent);
            bar->setGeometry(area);
            bar->setRange(0, kProgressMaximum);
            bar->setValue(0);
            bar->setTextVisible(false);
            return bar;
        }
    }
    return nullptr;
}

}  // namespace

void ControlSet::build(ControlPlace place, const DialogUnits& units, QWidget* parent) {
    place_ = place;
    for (const ControlLayout& row : windowLayout()) {
        if (row.place != place) {
            continue;
        }
        QWidget* made = createControl(row, units, parent);
        if (!row.tabStop) {
            made->setFocusPolicy(row.kind == ControlKind::Radio ? Qt::ClickFocus : Qt::NoFocus);
        }
        widgets_[static_cast<std::size_t>(row.control)] = made;
    }
}

std::optional<WindowControl> ControlSet::controlOf(const QWidget* widget) const {
    for (std::size_t i = 0; i < widgets_.size(); ++i) {
        if (widget != nullptr && widgets_[i] == widget) {
            return static_cast<WindowControl>(i);
        }
    }
    return std::nullopt;
}

void ControlSet::setInputsEnabled(bool enabled) const {
    for (const ControlLayout& row : windowLayout()) {
        if (row.place == place_ && row.input) {
            widget(row.control)->setEnabled(enabled);
        }
    }
}

}  // namespace korvane
