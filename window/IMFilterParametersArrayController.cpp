#include "window/IMFilterParametersArrayController.h"

#include "appkit/PopoverNib.h"
#include "model/FilterParameter.h"
#include "window/IMFilterParameterRowView.h"
#include "window/IMTableView.h"

namespace {

// The number's row again, wider, in a popover that lets the canvas work.
ui::Popover* floatPopover(void* owner) {
  auto* list = static_cast<IMGenericArrayController*>(owner);
  auto* parameter = dynamic_cast<FilterParameter*>(list ? list->objectForPopover() : nullptr);
  if (!parameter || !parameter->isFloat()) return nullptr;
  auto* row = new IMFilterParameterRowView(QStringLiteral("FloatParamRow"), parameter);
  row->setMinimumWidth(280);
  auto* popover = new ui::Popover(row);
  popover->setBehavior(ui::Popover::SemiTransient);
  return popover;
}

}  // namespace

IMFilterParametersArrayController::IMFilterParametersArrayController() {
  static const bool registered =
      (ui::PopoverNib::registerNib(QStringLiteral("FloatFilterParameterPopoverView"), floatPopover),
       true);
  (void)registered;
}

IMFilterParametersArrayController::~IMFilterParametersArrayController() {
  if (IMTableView* table = tableView()) {
    if (table->delegate() == this) table->setDelegate(nullptr);
    if (table->dataSource() == this) table->setDataSource(nullptr);
  }
}

QString IMFilterParametersArrayController::cellIdentifierForParameter(FilterParameter* parameter) {
  if (parameter->isFloat()) return QStringLiteral("FloatParamRow");
  if (parameter->isPoint()) return QStringLiteral("PointParamRow");
  if (parameter->isAColor()) return QStringLiteral("ColorParamRow");
  if (parameter->isAnImage()) return QStringLiteral("ImageParamRow");
  if (parameter->isBool()) return QStringLiteral("BoolParamRow");
  return QStringLiteral("OtherParamRow");
}

FilterParameter* IMFilterParametersArrayController::currentSelectedFilterParameter() const {
  const cd::ObjectList arranged = arrangedObjects();
  for (int index = selectionIndexes().firstIndex(); index >= 0 && index < arranged.size();
       index = selectionIndexes().indexGreaterThanIndex(index))
    if (auto* parameter = dynamic_cast<FilterParameter*>(arranged[index]);
        parameter && parameter->isPoint())
      return parameter;
  return nullptr;
}

void IMFilterParametersArrayController::awakeFromNib() {
  if (tableView()) tableView()->setDelegate(this);
  IMGenericArrayController::awakeFromNib();
}

QWidget* IMFilterParametersArrayController::tableViewViewForTableColumn(ui::TableView*,
                                                                        const QString&, int row) {
  auto* parameter = dynamic_cast<FilterParameter*>(arrangedObjects().value(row));
  if (!parameter) return nullptr;
  return new IMFilterParameterRowView(cellIdentifierForParameter(parameter), parameter);
}

int IMFilterParametersArrayController::tableViewHeightOfRow(ui::TableView*, int row) {
  auto* parameter = dynamic_cast<FilterParameter*>(arrangedObjects().value(row));
  return parameter
             ? IMFilterParameterRowView::heightForIdentifier(cellIdentifierForParameter(parameter))
             : 0;
}

void IMFilterParametersArrayController::doubleClick(QObject* sender) {
  IMTableView* table = tableView();
  auto* parameter =
      dynamic_cast<FilterParameter*>(arrangedObjects().value(table ? table->selectedRow() : -1));
  if (parameter && parameter->isFloat()) IMGenericArrayController::doubleClick(sender);
}
