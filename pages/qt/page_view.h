#pragma once
// One generic form for any declared page: a row per field (labels, line
// edits, spin buttons, check boxes, lists, radio groups, group boxes, notes),
// each widget bound to its field both ways. The formula page adds its input
// grid and the list pages a multi-line text; nothing else is drawn by hand.
#include <QWidget>
#include <vector>

#include "platform/property_page.h"

class FormulaPage;
class FormulaGridWidget;

class PageView : public QWidget {
  public:
    explicit PageView(COlePropertyPage& page, QWidget* parent = nullptr);

    COlePropertyPage& Page() { return page_; }
    // Shows the model's texts and enabling in every widget but the one being typed in.
    void Refresh();
    // The widget of a field (null for hidden fields) and the focus on it.
    QWidget* FieldWidget(size_t field) const { return widgets_[field]; }
    void FocusField(size_t field);

  private:
    QWidget* MakeField(size_t field);
    void Edited(size_t field, std::string text);

    COlePropertyPage& page_;
    std::vector<QWidget*> widgets_;
    FormulaGridWidget* grid_ = nullptr;
};

// Shows a failed check as a message box over `parent` (the exclamation icon
// when the message asks for it), titled by the message's title or `caption`.
void ShowPageMessage(QWidget* parent, const PageMessage& message, const QString& caption);
