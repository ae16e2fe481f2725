#include "platform/ui/qt/control_builder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QStringList>
#include <QToolButton>
#include <vector>

#include "platform/ui/qt/group_box_style.h"
#include "platform/ui/qt/sorted_combo.h"

namespace {

QString Text(const std::string& s) {
    return QString::fromStdString(s);
}

QWidget* MakeControl(QWidget* host, const ControlTemplate& c) {
    using namespace ControlStyle;
    switch (c.kind) {
        case ControlKind::Label:
            return new QLabel(Text(c.text), host);
        case ControlKind::Edit: {
            auto* edit = new QLineEdit(host);
            if (c.style & kDigitsOnly) {
                edit->setValidator(new QRegularExpressionValidator(
                    QRegularExpression(QStringLiteral("[0-9]*")), edit));
            }
            edit->setReadOnly(c.style & kReadOnly);
            return edit;
        }
        case ControlKind::PushButton:
        case ControlKind::DefaultPushButton: {
            auto* button = new QPushButton(Text(c.text), host);
            button->setAutoDefault(false);
            // Qt keeps one default button per dialog, so a page's default button is marked for
            // the page alone; a dialog's own is the dialog's default.
            const bool isDefault = c.kind == ControlKind::DefaultPushButton;
            button->setProperty(kDefaultButtonProperty, isDefault);
            if (qobject_cast<QDialog*>(host) != nullptr) button->setDefault(isDefault);
            return button;
        }
        case ControlKind::CheckBox:
            return new QCheckBox(Text(c.text), host);
        case ControlKind::RadioButton:
            return new QRadioButton(Text(c.text), host);
        case ControlKind::GroupBox: {
            auto* group = new QGroupBox(Text(c.text), host);
            CGroupBoxStyle::Attach(group);
            return group;
        }
        case ControlKind::DropDownList:
        case ControlKind::DropDownCombo: {
            auto* combo = new QComboBox(host);
            combo->setEditable(c.kind == ControlKind::DropDownCombo);
            combo->setInsertPolicy(QComboBox::NoInsert);
            combo->setMaxVisibleItems(12);
            QStringList items;
            for (const auto& item : c.items) items << Text(item);
            if (c.style & kSorted) {
                SortedCombo::AddStrings(combo, items);
            } else {
                combo->addItems(items);
            }
            combo->setCurrentIndex(-1);
            return combo;
        }
        case ControlKind::ListBox: {
            auto* list = new QListWidget(host);
            list->setSortingEnabled(false);
            return list;
        }
        case ControlKind::ProgressBar: {
            auto* bar = new QProgressBar(host);
            bar->setRange(0, 100);
            bar->setValue(0);
            bar->setTextVisible(false);
            return bar;
        }
        case ControlKind::Icon: {
            auto* picture = new QLabel(host);
            picture->setScaledContents(false);
            return picture;
        }
        case ControlKind::EtchedLine: {
            auto* line = new QFrame(host);
            line->setFrameShape(QFrame::HLine);
            line->setFrameShadow(QFrame::Sunken);
            return line;
        }
        case ControlKind::Spin: {
            // An up-down control without a partner: two arrow buttons stacked.
            auto* spin = new QWidget(host);
            auto* up = new QToolButton(spin);
            auto* down = new QToolButton(spin);
            up->setArrowType(Qt::UpArrow);
            down->setArrowType(Qt::DownArrow);
            up->setObjectName(QStringLiteral("up"));
            down->setObjectName(QStringLiteral("down"));
            up->setAccessibleName(QStringLiteral("Up"));
            down->setAccessibleName(QStringLiteral("Down"));
            return spin;
        }
    }
    return new QWidget(host);
}

void Place(QWidget* w, const ControlTemplate& c, const DialogBaseUnits& units) {
    const QRect r = DluToPixels(QRect(c.x, c.y, c.cx, c.cy), units);
    if (c.kind == ControlKind::Label && (c.cx == 0 || c.cy == 0)) {
        w->adjustSize();
        w->move(r.topLeft());
        return;
    }
    if (c.kind == ControlKind::DropDownList || c.kind == ControlKind::DropDownCombo) {
        // The template's height includes the dropped-down list; the closed box is one line.
        w->setGeometry(r.x(), r.y(), r.width(), std::max(w->sizeHint().height(), units.height + 8));
        return;
    }
    if (c.kind == ControlKind::Spin) {
        const int half = r.height() / 2;
        if (auto* up = w->findChild<QToolButton*>(QStringLiteral("up")))
            up->setGeometry(0, 0, r.width(), half);
        if (auto* down = w->findChild<QToolButton*>(QStringLiteral("down"))) {
            down->setGeometry(0, half, r.width(), r.height() - half);
        }
    }
    w->setGeometry(r);
}

bool TakesLabelFromLeft(ControlKind kind) {
    switch (kind) {
        case ControlKind::Edit:
        case ControlKind::DropDownList:
        case ControlKind::DropDownCombo:
        case ControlKind::ListBox:
        case ControlKind::ProgressBar:
        case ControlKind::Spin:
            return true;
        default:
            return false;
    }
}

// The nearest label whose right edge lies left of the control and whose row overlaps it.
const ControlTemplate* LabelLeftOf(const DialogTemplate& dialog, const ControlTemplate& c) {
    const ControlTemplate* best = nullptr;
    const int top = c.y - 4;
    const int bottom = c.y + std::min(c.cy, 16) + 2;
    for (const auto& label : dialog.controls) {
        if (label.kind != ControlKind::Label || label.x >= c.x) continue;
        if (label.y < top || label.y > bottom) continue;
        if (best == nullptr || label.x > best->x) best = &label;
    }
    return best;
}

}  // namespace

void CreateControls(QWidget* host, const DialogTemplate& dialog, const DialogBaseUnits& units) {
    std::vector<QWidget*> widgets;
    for (const auto& c : dialog.controls) {
        QWidget* w = MakeControl(host, c);
        if (c.id != kStaticId) w->setObjectName(QString::number(c.id));
        Place(w, c, units);
        if (c.style & ControlStyle::kDisabled) w->setEnabled(false);
        if (c.style & ControlStyle::kHidden) w->setVisible(false);
        widgets.push_back(w);
    }

    // Accessible names: the template's, the caption, or the label to the left. A label that
    // names its field is called "<text> label" itself, so that names stay unique in the window.
    std::vector<QWidget*> focusChain;
    for (std::size_t i = 0; i < dialog.controls.size(); ++i) {
        const ControlTemplate& c = dialog.controls[i];
        QWidget* w = widgets[i];
        QString name = Text(c.accessibleName);
        if (name.isEmpty() && TakesLabelFromLeft(c.kind)) {
            if (const ControlTemplate* label = LabelLeftOf(dialog, c)) {
                name = Text(label->text);
                QWidget* labelWidget =
                    widgets[static_cast<std::size_t>(label - dialog.controls.data())];
                labelWidget->setAccessibleName(name + QStringLiteral(" label"));
                // The relation that tells assistive technology which field the label names.
                if (auto* text = qobject_cast<QLabel*>(labelWidget)) text->setBuddy(w);
            }
        }
        if (name.isEmpty()) name = Text(c.text);
        if (!name.isEmpty() && w->accessibleName().isEmpty()) w->setAccessibleName(name);
        // The edit field inside an editable combo box is announced by the box's name.
        if (auto* combo = qobject_cast<QComboBox*>(w); combo != nullptr && combo->lineEdit()) {
            combo->lineEdit()->setAccessibleName(w->accessibleName());
        }
        if (w->focusPolicy() != Qt::NoFocus && c.kind != ControlKind::Label)
            focusChain.push_back(w);
        // The arrows of an up-down control take the focus, not the control: they follow the
        // control before them (the position box beside them), not the end of the page.
        if (c.kind == ControlKind::Spin) {
            for (QWidget* part : w->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
                if (part->focusPolicy() & Qt::TabFocus) focusChain.push_back(part);
            }
        }
    }
    // A label above its field (not to its left) shows the text the field is named by.
    for (std::size_t i = 0; i < dialog.controls.size(); ++i) {
        if (dialog.controls[i].kind != ControlKind::Label) continue;
        const QString name = widgets[i]->accessibleName();
        for (std::size_t j = 0; j < widgets.size(); ++j) {
            if (j != i && !name.isEmpty() && widgets[j]->accessibleName() == name) {
                widgets[i]->setAccessibleName(name + QStringLiteral(" label"));
                break;
            }
        }
    }
    // Group frames stay behind the controls they frame.
    for (std::size_t i = 0; i < dialog.controls.size(); ++i) {
        if (dialog.controls[i].kind == ControlKind::GroupBox) widgets[i]->lower();
    }
    for (std::size_t i = 1; i < focusChain.size(); ++i) {
        QWidget::setTabOrder(focusChain[i - 1], focusChain[i]);
    }
}

QWidget* GetDlgItem(const QWidget* host, int id) {
    if (host == nullptr) return nullptr;
    return host->findChild<QWidget*>(QString::number(id), Qt::FindDirectChildrenOnly);
}
