// The filters of the selected layer and the parameters of the selected
// filter, in the layers panel under the layers: which layer and filter they
// show, and the filter browser's window.
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "appkit/FilterBrowserPanel.h"
#include "foundation/Localized.h"
#include "foundation/NotificationCenter.h"
#include "model/Filter.h"
#include "model/Layer.h"
#include "window/IMFilterParametersArrayController.h"
#include "window/IMFiltersArrayController.h"
#include "window/IMLayersArrayController.h"
#include "window/IMWindowController.h"

namespace {

IMTableView* listTable(const char* name, const QString& column, int rowHeight) {
  auto* table = new IMTableView;
  table->setObjectName(name);
  table->addTableColumn(column, column);
  table->horizontalHeader()->hide();
  table->horizontalHeader()->setStretchLastSection(true);
  table->verticalHeader()->hide();
  table->verticalHeader()->setDefaultSectionSize(rowHeight);
  return table;
}

QLabel* title(const QString& text) {
  auto* label = new QLabel(text);
  label->setStyleSheet("font-weight: bold");
  return label;
}

}  // namespace

QWidget* IMWindowController::makeFiltersPanel() {
  filtersController_ = std::make_shared<IMFiltersArrayController>();
  filterParametersController_ = std::make_shared<IMFilterParametersArrayController>();
  auto* panel = new QWidget;
  panel->setObjectName("filtersPanel");
  auto* column = new QVBoxLayout(panel);
  column->setContentsMargins(0, 0, 0, 0);
  auto* header = new QHBoxLayout;
  header->addWidget(title(fnd::localized("Filters")), 1);
  auto* add = new QPushButton(QStringLiteral("+"));
  add->setObjectName("chooseAFilter");
  add->setToolTip(fnd::localized("Add a filter"));
  auto* remove = new QPushButton(QStringLiteral("\u2212"));
  remove->setObjectName("removeFilter");
  remove->setToolTip(fnd::localized("Remove the filter"));
  for (QPushButton* button : {add, remove}) {
    button->setFixedSize(26, 22);
    header->addWidget(button);
  }
  column->addLayout(header);
  filtersTable_ = listTable("filtersTable", QStringLiteral("localizedName"), 24);
  column->addWidget(filtersTable_, 1);
  column->addWidget(title(fnd::localized("Parameters")));
  filterParametersTable_ = listTable("filterParametersTable", QStringLiteral("parameter"), 46);
  column->addWidget(filterParametersTable_, 2);
  IMFiltersArrayController* filters = filtersController_.get();
  QObject::connect(add, &QPushButton::clicked, [filters] { filters->chooseAFilter(nullptr); });
  QObject::connect(remove, &QPushButton::clicked, [filters] { filters->remove(nullptr); });
  return panel;
}

void IMWindowController::prepareFiltersPanel() {
  for (IMGenericArrayController* list :
       {static_cast<IMGenericArrayController*>(filtersController_.get()),
        static_cast<IMGenericArrayController*>(filterParametersController_.get())})
    list->setWindowController(this);
  filtersController_->setTableView(filtersTable_);
  filtersController_->awakeFromNib();
  filterParametersController_->setTableView(filterParametersTable_);
  filterParametersController_->awakeFromNib();
  filtersTokens_[0] = layersController_->addObserver(
      "selectionIndexes", 0,
      [this](fnd::Observable*, const QString&, const fnd::KeyValueChange&) {
        showFiltersOfSelectedLayer();
      },
      this);
  filtersTokens_[1] = filtersController_->addObserver(
      "selectionIndexes", 0,
      [this](fnd::Observable*, const QString&, const fnd::KeyValueChange&) {
        showParametersOfSelectedFilter();
      },
      this);
  showFiltersOfSelectedLayer();
}

// The same layer shown again keeps its selected filters.
void IMWindowController::showFiltersOfSelectedLayer() {
  Layer* layer = filtersController_->layer();
  const bool same = layer && filtersController_->contentOwner() == layer;
  const fnd::IndexSet selected = filtersController_->selectionIndexes();
  filtersController_->setManagedObjectContext(layer ? layer->managedObjectContext() : nullptr);
  filtersController_->setContentRelationship(layer, QStringLiteral("filters"));
  if (!layer) filtersController_->setContent({});
  if (same) filtersController_->setSelectionIndexes(selected);
  if (filtersTable_) filtersTable_->reloadData();
  showParametersOfSelectedFilter();
}

void IMWindowController::showParametersOfSelectedFilter() {
  auto* filter = dynamic_cast<Filter*>(filtersController_->theSelection());
  filterParametersController_->setContentRelationship(filter, QStringLiteral("filterParameters"));
  if (!filter) filterParametersController_->setContent({});
  if (filterParametersTable_) filterParametersTable_->reloadData();
}

void IMWindowController::selectFirstFilter() {
  showFiltersOfSelectedLayer();
  if (!filtersController_->arrangedObjects().isEmpty()) filtersController_->setSelectionIndex(0);
}

QWidget* IMWindowController::sheetWindow() { return window(); }

void IMWindowController::teardownFiltersPanel() {
  if (!filtersController_) return;
  if (filtersTokens_[0]) layersController_->removeObserver(filtersTokens_[0]);
  if (filtersTokens_[1]) filtersController_->removeObserver(filtersTokens_[1]);
  filtersTokens_[0] = filtersTokens_[1] = 0;
  if (ui::FilterBrowserPanel* browser = filtersController_->filterBrowserPanel())
    browser->finish(0);
  for (IMGenericArrayController* list :
       {static_cast<IMGenericArrayController*>(filtersController_.get()),
        static_cast<IMGenericArrayController*>(filterParametersController_.get())}) {
    list->setContentRelationship(nullptr, {});
    list->setContent({});
    list->setWindowController(nullptr);
  }
}
