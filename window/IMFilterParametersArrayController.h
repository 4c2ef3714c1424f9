#pragma once

#include "window/IMGenericArrayController.h"

class FilterParameter;

// The parameters of the selected filter, one row per parameter laid out
// for its kind, each row as high as its kind needs. A double click on a
// number opens its slider in a popover that stays open while the user
// watches the canvas; the first selected point drives the canvas handle.
class IMFilterParametersArrayController : public IMGenericArrayController,
                                          public ui::TableViewDelegate {
 public:
  IMFilterParametersArrayController();
  ~IMFilterParametersArrayController() override;

  QString objectsClass() const override { return QStringLiteral("FilterParameter"); }
  QString detailPopoverNibName() const override {
    return QStringLiteral("FloatFilterParameterPopoverView");
  }
  ui::RectEdge detailPopoverPreferedEdge() const override { return ui::MinYEdge; }
  bool canCopyContent() const override { return false; }

  // The cell identifier of a parameter: the first of "FloatParamRow",
  // "PointParamRow", "ColorParamRow", "ImageParamRow", "BoolParamRow" whose
  // test holds, else "OtherParamRow".
  static QString cellIdentifierForParameter(FilterParameter* parameter);
  // The first selected parameter, in list order, that is a point; null
  // when none is.
  FilterParameter* currentSelectedFilterParameter() const;

  void awakeFromNib();
  QWidget* tableViewViewForTableColumn(ui::TableView* table, const QString& column,
                                       int row) override;
  int tableViewHeightOfRow(ui::TableView* table, int row) override;
  void doubleClick(QObject* sender) override;
};
