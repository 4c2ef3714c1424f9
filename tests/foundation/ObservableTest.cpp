#include <gtest/gtest.h>

#include "foundation/Observable.h"

using fnd::IndexSet;
using fnd::KeyValueChange;
using fnd::KeyValueChangeKind;
using fnd::Observable;

namespace {

// A small observable model: two sizes with a derived area and summary, and
// an ordered list of layer names changed through index sets.
class Sheet : public Observable {
 public:
  int width = 0, height = 0;
  QStringList layers;

  void setWidth(int value) {
    willChangeValueForKey("width");
    width = value;
    didChangeValueForKey("width");
  }
  void setHeight(int value) {
    willChangeValueForKey("height");
    height = value;
    didChangeValueForKey("height");
  }
  void insertLayers(const QStringList& names, const IndexSet& at) {
    willChange(KeyValueChangeKind::Insertion, at, "layers");
    int i = 0;
    at.forEach([&](int index) { layers.insert(index, names[i++]); });
    didChange(KeyValueChangeKind::Insertion, at, "layers");
  }
  void removeLayers(const IndexSet& at) {
    willChange(KeyValueChangeKind::Removal, at, "layers");
    QList<int> doomed = at.toList();
    for (auto it = doomed.crbegin(); it != doomed.crend(); ++it) layers.removeAt(*it);
    didChange(KeyValueChangeKind::Removal, at, "layers");
  }
  void replaceLayers(const IndexSet& at, const QStringList& names) {
    willChange(KeyValueChangeKind::Replacement, at, "layers");
    int i = 0;
    at.forEach([&](int index) { layers[index] = names[i++]; });
    didChange(KeyValueChangeKind::Replacement, at, "layers");
  }

  QVariant valueForKey(const QString& key) const override {
    if (key == "width") return width;
    if (key == "height") return height;
    if (key == "area") return width * height;
    if (key == "summary") return QString("%1 px, %2 layers").arg(width * height).arg(layers.size());
    if (key == "layers") return layers;
    return {};
  }
  QSet<QString> keyPathsForValuesAffectingValueForKey(const QString& key) const override {
    if (key == "area") return {"width", "height"};
    if (key == "summary") return {"area", "layers"};
    return {};
  }
};

struct Seen {
  QString key;
  KeyValueChange change;
};

Observable::Handler recordInto(QList<Seen>& log) {
  return [&log](Observable*, const QString& key, const KeyValueChange& change) {
    log.append({key, change});
  };
}

}  // namespace

TEST(Observable, OptionsDecideWhatTheChangeCarries) {
  struct Case {
    int options;
    QVariant oldValue, newValue;
    int calls;
  };
  const QList<Case> cases = {
      {0, {}, {}, 1},
      {fnd::ObservingNew, {}, 7, 1},
      {fnd::ObservingOld, 3, {}, 1},
      {fnd::ObservingOld | fnd::ObservingNew, 3, 7, 1},
      {fnd::ObservingInitial | fnd::ObservingNew, {}, 7, 2},
  };
  for (const auto& c : cases) {
    Sheet sheet;
    sheet.width = 3;
    QList<Seen> log;
    sheet.addObserver("width", c.options, recordInto(log));
    sheet.setWidth(7);
    ASSERT_EQ(log.size(), c.calls) << c.options;
    const KeyValueChange& last = log.last().change;
    EXPECT_EQ(last.kind, KeyValueChangeKind::Setting);
    EXPECT_EQ(last.oldValue, c.oldValue) << c.options;
    EXPECT_EQ(last.newValue, c.newValue) << c.options;
    EXPECT_FALSE(last.isPrior);
  }
}

TEST(Observable, InitialFiresAtRegistrationWithTheCurrentValue) {
  Sheet sheet;
  sheet.width = 12;
  QList<Seen> log;
  sheet.addObserver("width", fnd::ObservingInitial | fnd::ObservingNew | fnd::ObservingOld,
                    recordInto(log));
  ASSERT_EQ(log.size(), 1);
  EXPECT_EQ(log[0].change.newValue, 12);
  EXPECT_FALSE(log[0].change.oldValue.isValid());
}

TEST(Observable, NestedChangesNotifyOnceFromOutermostOldToFinalNew) {
  Sheet sheet;
  sheet.width = 1;
  QList<Seen> log;
  sheet.addObserver("width", fnd::ObservingOld | fnd::ObservingNew, recordInto(log));
  sheet.willChangeValueForKey("width");
  sheet.width = 2;
  sheet.setWidth(3);  // a nested will/did pair
  EXPECT_TRUE(log.isEmpty());
  sheet.width = 4;
  sheet.didChangeValueForKey("width");
  ASSERT_EQ(log.size(), 1);
  EXPECT_EQ(log[0].change.oldValue, 1);
  EXPECT_EQ(log[0].change.newValue, 4);

  // A did without its will is ignored rather than inventing a change.
  sheet.didChangeValueForKey("width");
  EXPECT_EQ(log.size(), 1);
}

TEST(Observable, PriorGoesOnlyToObserversWhoAskedForIt) {
  Sheet sheet;
  sheet.width = 5;
  QList<Seen> prior, plain;
  sheet.addObserver("width", fnd::ObservingPrior | fnd::ObservingOld | fnd::ObservingNew,
                    [&](Observable* object, const QString& key, const KeyValueChange& change) {
                      // At the prior call the object still holds the old value.
                      if (change.isPrior) {
                        EXPECT_EQ(object->valueForKey(key), 5);
                      }
                      prior.append({key, change});
                    });
  sheet.addObserver("width", fnd::ObservingNew, recordInto(plain));
  sheet.setWidth(9);
  ASSERT_EQ(prior.size(), 2);
  EXPECT_TRUE(prior[0].change.isPrior);
  EXPECT_EQ(prior[0].change.oldValue, 5);
  EXPECT_FALSE(prior[0].change.newValue.isValid());
  EXPECT_FALSE(prior[1].change.isPrior);
  EXPECT_EQ(prior[1].change.newValue, 9);
  ASSERT_EQ(plain.size(), 1);
  EXPECT_FALSE(plain[0].change.isPrior);
}

TEST(Observable, DependentKeysFireWithoutObservingTheirSources) {
  struct Case {
    const char* observed;
    std::function<void(Sheet&)> edit;
    QVariant oldValue, newValue;
  };
  const QList<Case> cases = {
      {"area", [](Sheet& s) { s.setWidth(4); }, 6, 12},
      {"area", [](Sheet& s) { s.setHeight(5); }, 6, 10},
      // Two levels down: summary <- area <- width.
      {"summary", [](Sheet& s) { s.setWidth(4); }, "6 px, 1 layers", "12 px, 1 layers"},
      {"summary", [](Sheet& s) { s.insertLayers({"b"}, IndexSet(1)); }, "6 px, 1 layers",
       "6 px, 2 layers"},
  };
  for (const auto& c : cases) {
    Sheet sheet;
    sheet.width = 2;
    sheet.height = 3;
    sheet.layers = {"a"};
    QList<Seen> log;
    sheet.addObserver(c.observed, fnd::ObservingOld | fnd::ObservingNew, recordInto(log));
    c.edit(sheet);
    ASSERT_EQ(log.size(), 1) << c.observed;
    EXPECT_EQ(log[0].key, c.observed);
    EXPECT_EQ(log[0].change.kind, KeyValueChangeKind::Setting);
    EXPECT_EQ(log[0].change.oldValue, c.oldValue) << c.observed;
    EXPECT_EQ(log[0].change.newValue, c.newValue) << c.observed;
  }
}

TEST(Observable, SourceObserversHearBeforeDependentObservers) {
  Sheet sheet;
  QStringList order;
  auto note = [&](Observable*, const QString& key, const KeyValueChange&) { order << key; };
  sheet.addObserver("area", 0, note);
  sheet.addObserver("width", 0, note);
  sheet.addObserver("summary", 0, note);
  sheet.setWidth(2);
  ASSERT_EQ(order.size(), 3);
  EXPECT_EQ(order.first(), "width");
  EXPECT_TRUE(order.contains("area"));
  EXPECT_TRUE(order.contains("summary"));
}

TEST(Observable, OrderedChangesCarryIndexesAndElements) {
  struct Case {
    const char* what;
    std::function<void(Sheet&)> edit;
    KeyValueChangeKind kind;
    QList<int> indexes;
    QVariant oldValue, newValue;
    QStringList after;
  };
  const QList<Case> cases = {
      {"insert two",
       [](Sheet& s) {
         s.insertLayers({"x", "y"}, IndexSet::fromList({1, 3}));
       },
       KeyValueChangeKind::Insertion,
       {1, 3},
       {},
       QVariantList{"x", "y"},
       {"a", "x", "b", "y", "c"}},
      {"remove ends",
       [](Sheet& s) {
         s.removeLayers(IndexSet::fromList({0, 2}));
       },
       KeyValueChangeKind::Removal,
       {0, 2},
       QVariantList{"a", "c"},
       {},
       {"b"}},
      {"replace middle",
       [](Sheet& s) { s.replaceLayers(IndexSet(1), {"B"}); },
       KeyValueChangeKind::Replacement,
       {1},
       QVariantList{"b"},
       QVariantList{"B"},
       {"a", "B", "c"}},
  };
  for (const auto& c : cases) {
    Sheet sheet;
    sheet.layers = {"a", "b", "c"};
    QList<Seen> log;
    sheet.addObserver("layers", fnd::ObservingOld | fnd::ObservingNew, recordInto(log));
    c.edit(sheet);
    EXPECT_EQ(sheet.layers, c.after) << c.what;
    ASSERT_EQ(log.size(), 1) << c.what;
    EXPECT_EQ(log[0].change.kind, c.kind) << c.what;
    EXPECT_EQ(log[0].change.indexes.toList(), c.indexes) << c.what;
    EXPECT_EQ(log[0].change.oldValue, c.oldValue) << c.what;
    EXPECT_EQ(log[0].change.newValue, c.newValue) << c.what;
  }
}

TEST(Observable, RemovalDuringNotificationStopsLaterHandlers) {
  Sheet sheet;
  QStringList calls;
  Observable::ObserverToken self = 0, victim = 0;
  self = sheet.addObserver("width", 0, [&](Observable*, const QString&, const KeyValueChange&) {
    calls << "self";
    sheet.removeObserver(self);
  });
  sheet.addObserver("width", 0, [&](Observable*, const QString&, const KeyValueChange&) {
    calls << "remover";
    sheet.removeObserver(victim);
  });
  victim = sheet.addObserver(
      "width", 0, [&](Observable*, const QString&, const KeyValueChange&) { calls << "victim"; });
  sheet.setWidth(1);
  sheet.setWidth(2);
  EXPECT_EQ(calls, QStringList({"self", "remover", "remover"}));
}

TEST(Observable, RemovalByObserverAndKey) {
  Sheet sheet;
  int owner = 0;
  int widthCalls = 0, heightCalls = 0;
  sheet.addObserver(
      "width", 0, [&](auto...) { ++widthCalls; }, &owner);
  sheet.addObserver(
      "height", 0, [&](auto...) { ++heightCalls; }, &owner);
  EXPECT_TRUE(sheet.hasObservers("width"));
  sheet.removeObserver(&owner, "width");
  EXPECT_FALSE(sheet.hasObservers("width"));
  sheet.setWidth(1);
  sheet.setHeight(1);
  EXPECT_EQ(widthCalls, 0);
  EXPECT_EQ(heightCalls, 1);
  sheet.removeObserver(&owner);
  sheet.setHeight(2);
  EXPECT_EQ(heightCalls, 1);
  EXPECT_FALSE(sheet.hasObservers("height"));
}

TEST(Observable, ObjectMayBeDestroyedByItsObserver) {
  auto* sheet = new Sheet;
  int calls = 0;
  sheet->addObserver("width", 0, [&](Observable* object, auto...) {
    ++calls;
    delete object;
  });
  sheet->addObserver("width", 0, [&](auto...) { ++calls; });
  sheet->setWidth(3);  // must not touch the deleted object afterwards
  EXPECT_EQ(calls, 1);
}

TEST(Observable, CopiesStartWithoutObservers) {
  Sheet original;
  int calls = 0;
  original.addObserver("width", 0, [&](auto...) { ++calls; });
  Sheet copy = original;
  copy.setWidth(5);
  EXPECT_EQ(calls, 0);
  EXPECT_FALSE(copy.hasObservers("width"));
  copy = original;
  EXPECT_TRUE(original.hasObservers("width"));
}
