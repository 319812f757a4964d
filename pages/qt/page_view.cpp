#include "pages/qt/page_view.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>

#include "pages/formula_page.h"
#include "platform/desktop.h"

namespace {

QString Q(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

bool IsEditKind(FieldKind kind) {
    return kind == FieldKind::Double || kind == FieldKind::Float || kind == FieldKind::Long ||
           kind == FieldKind::Short || kind == FieldKind::String;
}

}  // namespace

void ShowPageMessage(QWidget* parent, const PageMessage& message, const QString& caption) {
    QMessageBox box(parent);
    box.setWindowTitle(message.title.empty() ? caption : Q(message.title));
    box.setText(Q(message.text));
    box.setIcon((message.style & MB_ICONEXCLAMATION) == MB_ICONEXCLAMATION ? QMessageBox::Warning
                                                                           : QMessageBox::NoIcon);
    box.exec();
}

// --- the formula page's input grid ------------------------------------------------

class FormulaGridWidget : public QWidget {
  public:
    FormulaGridWidget(FormulaPage& page, QWidget* parent)
        : QWidget(parent), page_(page), editor_(new QLineEdit(this)) {
        setFont(QFont("Arial", 8));
        setFocusPolicy(Qt::StrongFocus);
        editor_->setFont(font());
        editor_->hide();
        editor_->installEventFilter(this);
        connect(editor_, &QLineEdit::textEdited,
                [this](const QString& text) { page_.Grid().SetEditorText(text.toStdString()); });
        setMinimumSize(sizeHint());
    }
    QSize sizeHint() const override {
        return {FormulaGrid::kLabelWidth + FormulaGrid::kNameWidth + 120,
                RowHeight() * FormulaGrid::kRows + 1};
    }

    // Follows the model after a change made outside the grid (an apply
    // commits and closes the editor).
    void Sync() { After(std::nullopt); }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const FormulaGrid& grid = page_.Grid();
        const int h = RowHeight(), nameX = FormulaGrid::kLabelWidth,
                  valueX = FormulaGrid::kLabelWidth + FormulaGrid::kNameWidth;
        painter.fillRect(rect(), palette().base());
        for (int r = 0; r < FormulaGrid::kRows; ++r) {
            QRect row(0, r * h, width(), h);
            bool selected = r == grid.Current();
            if (selected) painter.fillRect(row, palette().highlight());
            painter.setPen(selected ? palette().highlightedText().color()
                                    : palette().text().color());
            const FormulaGrid::Row& cells = grid.At(r);
            painter.drawText(row.adjusted(2, 0, 0, 0), Qt::AlignVCenter, Q(cells.label));
            painter.drawText(row.adjusted(nameX + 2, 0, 0, 0), Qt::AlignVCenter, Q(cells.name));
            painter.drawText(row.adjusted(valueX + 2, 0, 0, 0), Qt::AlignVCenter,
                             Q(FormulaGrid::FormatValue(cells.value)));
            if (selected && hasFocus()) {
                int x = grid.CurrentColumn() == FormulaGrid::kName ? nameX : valueX;
                int w = grid.CurrentColumn() == FormulaGrid::kName ? FormulaGrid::kNameWidth
                                                                   : width() - valueX;
                painter.setPen(QPen(palette().highlightedText().color(), 1, Qt::DotLine));
                painter.drawRect(x + 1, r * h + 1, w - 3, h - 3);
            }
        }
        painter.setPen(QPen(palette().mid().color(), 1, Qt::DotLine));
        for (int x : {nameX, valueX})
            painter.drawLine(x, 0, x, h * FormulaGrid::kRows);
        for (int r = 1; r <= FormulaGrid::kRows; ++r)
            painter.drawLine(0, r * h, width(), r * h);
    }
    void mousePressEvent(QMouseEvent* event) override {
        setFocus();
        After(page_.Grid().Click(static_cast<int>(event->position().y()) / RowHeight(),
                                 static_cast<int>(event->position().x())));
    }
    void keyPressEvent(QKeyEvent* event) override {
        if (!Key(event)) QWidget::keyPressEvent(event);
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == editor_ && event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            switch (key->key()) {
                case Qt::Key_Up:
                case Qt::Key_Down:
                case Qt::Key_Escape:
                case Qt::Key_Return:
                case Qt::Key_Enter:
                    return Key(key);
                default:
                    break;
            }
        }
        return QWidget::eventFilter(watched, event);
    }

  private:
    int RowHeight() const { return QFontMetrics(QFont("Arial", 8)).height() + 4; }

    // Passes a key to the grid; false for keys the grid leaves alone.
    bool Key(QKeyEvent* event) {
        using K = FormulaGrid::Key;
        K key = K::Other;
        switch (event->key()) {
            case Qt::Key_Left:
                key = K::Left;
                break;
            case Qt::Key_Right:
                key = K::Right;
                break;
            case Qt::Key_Up:
                key = K::Up;
                break;
            case Qt::Key_Down:
                key = K::Down;
                break;
            case Qt::Key_Home:
                key = K::Home;
                break;
            case Qt::Key_End:
                key = K::End;
                break;
            case Qt::Key_Escape:
                key = K::Escape;
                break;
            case Qt::Key_Return:
            case Qt::Key_Enter:
                key = K::Enter;
                break;
            default:
                if (event->text().isEmpty() || !event->text()[0].isPrint()) return false;
        }
        After(page_.Grid().Press(key, event->text().toStdString()));
        return true;
    }
    // Shows a refused commit, places or hides the editor, repaints.
    void After(std::optional<PageMessage> refused) {
        if (refused) ShowPageMessage(this, *refused, QString());
        const FormulaGrid& grid = page_.Grid();
        if (grid.EditorOpen()) {
            const int h = RowHeight();
            int x = grid.CurrentColumn() == FormulaGrid::kName
                        ? FormulaGrid::kLabelWidth
                        : FormulaGrid::kLabelWidth + FormulaGrid::kNameWidth;
            int w =
                grid.CurrentColumn() == FormulaGrid::kName ? FormulaGrid::kNameWidth : width() - x;
            editor_->setGeometry(x, grid.Current() * h, w, h);
            if (editor_->text().toStdString() != grid.EditorText())
                editor_->setText(Q(grid.EditorText()));
            editor_->show();
            editor_->setFocus();
        } else if (editor_->isVisible()) {
            editor_->hide();
            setFocus();
        }
        update();
    }

    FormulaPage& page_;
    QLineEdit* editor_;
};

// --- the generic form -------------------------------------------------------------

PageView::PageView(COlePropertyPage& page, QWidget* parent)
    : QWidget(parent), page_(page), widgets_(page.Fields().size(), nullptr) {
    auto* layout = new QVBoxLayout(this);
    if (auto* formula = dynamic_cast<FormulaPage*>(&page)) {
        auto* box = new QGroupBox("Input Parameters", this);
        auto* boxLayout = new QVBoxLayout(box);
        grid_ = new FormulaGridWidget(*formula, box);
        boxLayout->addWidget(grid_);
        layout->addWidget(box);
    }
    std::string_view group = "\x01";  // no field is in this group
    QFormLayout* form = nullptr;
    for (size_t i = 0; i < widgets_.size(); ++i) {
        const PageField& f = page.Fields()[i];
        if (f.hidden) continue;
        if (form == nullptr || f.group != group) {
            group = f.group;
            QWidget* holder = group.empty() ? new QWidget(this) : new QGroupBox(Q(group), this);
            form = new QFormLayout(holder);
            if (group.empty()) form->setContentsMargins(0, 0, 0, 0);
            layout->addWidget(holder);
        }
        QWidget* row = MakeField(i);
        if (IsEditKind(f.kind) || f.kind == FieldKind::List) {
            form->addRow(Q(f.label), row);
        } else {
            form->addRow(row);
        }
    }
    layout->addStretch(1);
    Refresh();
}

QWidget* PageView::MakeField(size_t i) {
    const PageField& f = page_.Fields()[i];
    switch (f.kind) {
        case FieldKind::Bool: {
            auto* box = new QCheckBox(Q(f.label), this);
            connect(box, &QCheckBox::clicked, [this, i](bool on) { Edited(i, on ? "1" : "0"); });
            return widgets_[i] = box;
        }
        case FieldKind::List: {
            auto* list = new QComboBox(this);
            for (std::string_view entry : f.choices)
                list->addItem(Q(entry));
            connect(list, &QComboBox::activated,
                    [this, i](int index) { Edited(i, std::to_string(index)); });
            return widgets_[i] = list;
        }
        case FieldKind::Radio: {
            auto* holder = new QWidget(this);
            auto* column = new QVBoxLayout(holder);
            column->setContentsMargins(0, 0, 0, 0);
            auto* buttons = new QButtonGroup(holder);
            for (size_t c = 0; c < f.choices.size(); ++c) {
                auto* button = new QRadioButton(Q(f.choices[c]), holder);
                buttons->addButton(button, static_cast<int>(c));
                column->addWidget(button);
            }
            connect(buttons, &QButtonGroup::idClicked,
                    [this, i](int id) { Edited(i, std::to_string(id)); });
            return widgets_[i] = holder;
        }
        case FieldKind::Note: {
            auto* note = new QLabel(this);
            note->setWordWrap(true);
            return widgets_[i] = note;
        }
        case FieldKind::Button: {
            auto* button = new QPushButton(Q(f.label).replace("&", ""), this);
            connect(button, &QPushButton::clicked, [this, i] {
                page_.Press(i);
                Refresh();
            });
            return widgets_[i] = button;
        }
        case FieldKind::Text: {
            auto* text = new QPlainTextEdit(this);
            text->setPlaceholderText(Q(f.label));
            connect(text, &QPlainTextEdit::textChanged,
                    [this, i, text] { Edited(i, text->toPlainText().toStdString()); });
            return widgets_[i] = text;
        }
        default:
            break;
    }
    auto* edit = new QLineEdit(this);
    if (f.maxLength != 0) edit->setMaxLength(static_cast<int>(f.maxLength));
    connect(edit, &QLineEdit::textEdited,
            [this, i](const QString& text) { Edited(i, text.toStdString()); });
    widgets_[i] = edit;
    if (!f.spin) return edit;
    // The spin buttons step within the range; typing may still go outside it,
    // which the range check then refuses.
    auto* holder = new QWidget(this);
    auto* row = new QHBoxLayout(holder);
    row->setContentsMargins(0, 0, 0, 0);
    edit->setParent(holder);
    row->addWidget(edit);
    for (int step : {1, -1}) {
        auto* button = new QToolButton(holder);
        button->setArrowType(step > 0 ? Qt::UpArrow : Qt::DownArrow);
        connect(button, &QToolButton::clicked, [this, i, step, f] {
            int64_t v = ParseInteger(page_.Text(i)).value_or(static_cast<int64_t>(f.min)) + step;
            if (v < f.min || v > f.max) return;
            Edited(i, std::to_string(v));
        });
        row->addWidget(button);
    }
    return holder;
}

void PageView::Edited(size_t field, std::string text) {
    page_.Edit(field, std::move(text));
    Refresh();
}

void PageView::Refresh() {
    for (size_t i = 0; i < widgets_.size(); ++i) {
        QWidget* w = widgets_[i];
        if (w == nullptr) continue;
        QSignalBlocker quiet(w);
        QString text = Q(page_.Text(i));
        if (auto* edit = qobject_cast<QLineEdit*>(w)) {
            if (!edit->hasFocus() && edit->text() != text) edit->setText(text);
        } else if (auto* box = qobject_cast<QCheckBox*>(w)) {
            box->setChecked(text == "1");
        } else if (auto* list = qobject_cast<QComboBox*>(w)) {
            list->setCurrentIndex(text.toInt());
        } else if (auto* note = qobject_cast<QLabel*>(w)) {
            note->setText(text);
        } else if (auto* plain = qobject_cast<QPlainTextEdit*>(w)) {
            if (!plain->hasFocus() && plain->toPlainText() != text) plain->setPlainText(text);
        } else if (auto* buttons = w->findChild<QButtonGroup*>()) {
            if (QAbstractButton* chosen = buttons->button(text.toInt())) chosen->setChecked(true);
        }
        bool enabled = page_.Enabled(i);
        (page_.Fields()[i].spin ? w->parentWidget() : w)->setEnabled(enabled);
    }
    if (auto* formula = dynamic_cast<FormulaPage*>(&page_)) {
        auto* edit = qobject_cast<QLineEdit*>(widgets_[FormulaPage::kFormula]);
        auto selection = formula->ErrorSelection();
        if (edit != nullptr && selection && !edit->hasFocus())
            edit->setSelection(selection->first, selection->second - selection->first);
        if (grid_ != nullptr) grid_->Sync();
    }
}

void PageView::FocusField(size_t field) {
    if (field < widgets_.size() && widgets_[field] != nullptr) widgets_[field]->setFocus();
}
