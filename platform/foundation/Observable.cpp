#include "foundation/Observable.h"

#include <QHash>
#include <atomic>
#include <vector>

namespace fnd {

namespace {

// Tokens are unique across objects so a token handed to the wrong object
// can never remove someone else's registration.
std::atomic<quint64> nextObserverToken{1};

QVariantList elementsAt(const QVariant& collection, const IndexSet& indexes) {
  const QVariantList list = collection.toList();
  QVariantList picked;
  indexes.forEach([&](int index) {
    if (index < list.size()) picked.append(list.at(index));
  });
  return picked;
}

}  // namespace

struct ObserverEntry {
  Observable::ObserverToken token = 0;
  QString key;
  int options = 0;
  Observable::Handler handler;
  const void* observer = nullptr;
  bool removed = false;
};

struct Observable::State {
  // A change of one key that is between its outermost will and did.
  struct Pending {
    int depth = 0;
    KeyValueChange change;
  };

  std::vector<std::shared_ptr<ObserverEntry>> entries;
  QHash<QString, Pending> pending;
  // Per changed key, one list per open will: the keys it opened (the key
  // itself and its observed dependents), so each did closes what its will opened.
  QHash<QString, QList<QStringList>> brackets;
  QHash<QString, QSet<QString>> affectingCache;
  bool destroyed = false;

  std::vector<std::shared_ptr<ObserverEntry>> observersOf(const QString& key) const {
    std::vector<std::shared_ptr<ObserverEntry>> found;
    for (const auto& entry : entries) {
      if (!entry->removed && entry->key == key) found.push_back(entry);
    }
    return found;
  }

  bool anyWants(const QString& key, int option) const {
    for (const auto& entry : entries) {
      if (!entry->removed && entry->key == key && (entry->options & option)) return true;
    }
    return false;
  }
};

namespace {

// The change as one observer asked to see it.
KeyValueChange filteredFor(const ObserverEntry& entry, const KeyValueChange& change) {
  KeyValueChange seen = change;
  if (!(entry.options & ObservingOld)) seen.oldValue = QVariant();
  if (!(entry.options & ObservingNew) || change.isPrior) seen.newValue = QVariant();
  return seen;
}

}  // namespace

Observable::Observable() = default;

Observable::~Observable() {
  if (state_) state_->destroyed = true;
}

Observable::Observable(const Observable&) {}

Observable& Observable::operator=(const Observable&) { return *this; }

Observable::ObserverToken Observable::addObserver(const QString& key, int options, Handler handler,
                                                  const void* observer) {
  if (!handler) return 0;
  if (!state_) state_ = std::make_shared<State>();
  auto entry = std::make_shared<ObserverEntry>();
  entry->token = nextObserverToken++;
  entry->key = key;
  entry->options = options;
  entry->handler = std::move(handler);
  entry->observer = observer;
  state_->entries.push_back(entry);
  if (options & ObservingInitial) {
    KeyValueChange change;
    change.newValue = valueForKey(key);
    entry->handler(this, key, filteredFor(*entry, change));
  }
  return entry->token;
}

void Observable::removeObserver(ObserverToken token) {
  if (!state_ || token == 0) return;
  auto& entries = state_->entries;
  for (auto it = entries.begin(); it != entries.end(); ++it) {
    if ((*it)->token == token) {
      (*it)->removed = true;
      entries.erase(it);
      return;
    }
  }
}

void Observable::removeObserver(const void* observer, const QString& key) {
  if (!state_) return;
  std::erase_if(state_->entries, [&](const std::shared_ptr<ObserverEntry>& entry) {
    bool match = entry->observer == observer && (key.isEmpty() || entry->key == key);
    if (match) entry->removed = true;
    return match;
  });
}

QVariant Observable::valueForKey(const QString&) const { return {}; }

void Observable::setValueForKey(const QString&, const QVariant&) {}

QSet<QString> Observable::keyPathsForValuesAffectingValueForKey(const QString&) const { return {}; }

bool Observable::hasObservers(const QString& key) const {
  return state_ && !state_->observersOf(key).empty();
}

void Observable::willChangeValueForKey(const QString& key) {
  beginChange(key, KeyValueChangeKind::Setting, {});
}

void Observable::didChangeValueForKey(const QString& key) { endChange(key); }

void Observable::willChange(KeyValueChangeKind kind, const IndexSet& indexes, const QString& key) {
  beginChange(key, kind, indexes);
}

void Observable::didChange(KeyValueChangeKind, const IndexSet&, const QString& key) {
  endChange(key);
}

void Observable::beginChange(const QString& key, KeyValueChangeKind kind, const IndexSet& indexes) {
  // Unobserved objects pay nothing for will/did pairs.
  if (!state_ || state_->entries.empty()) return;
  std::shared_ptr<State> state = state_;

  QStringList opened;
  if (!state->observersOf(key).empty()) opened.append(key);
  QSet<QString> observedKeys;
  for (const auto& entry : state->entries) observedKeys.insert(entry->key);
  for (const QString& other : observedKeys) {
    if (other == key) continue;
    auto cached = state->affectingCache.find(other);
    if (cached == state->affectingCache.end()) {
      // Follow dependencies transitively; the visited set stops cycles.
      QSet<QString> affecting;
      QStringList work = keyPathsForValuesAffectingValueForKey(other).values();
      while (!work.isEmpty()) {
        QString next = work.takeLast();
        if (next == other || affecting.contains(next)) continue;
        affecting.insert(next);
        work += keyPathsForValuesAffectingValueForKey(next).values();
      }
      cached = state->affectingCache.insert(other, affecting);
    }
    if (cached->contains(key)) opened.append(other);
  }
  state->brackets[key].append(opened);

  for (const QString& changed : opened) {
    State::Pending& pending = state->pending[changed];
    if (pending.depth++ > 0) continue;
    KeyValueChange change;
    if (changed == key) {
      change.kind = kind;
      change.indexes = indexes;
    }
    if (state->anyWants(changed, ObservingOld)) {
      if (change.kind == KeyValueChangeKind::Setting) {
        change.oldValue = valueForKey(changed);
      } else if (change.kind != KeyValueChangeKind::Insertion) {
        change.oldValue = elementsAt(valueForKey(changed), change.indexes);
      }
    }
    pending.change = change;
    if (!state->anyWants(changed, ObservingPrior)) continue;
    KeyValueChange prior = change;
    prior.isPrior = true;
    for (const auto& entry : state->observersOf(changed)) {
      if (entry->removed || !(entry->options & ObservingPrior)) continue;
      entry->handler(this, changed, filteredFor(*entry, prior));
      if (state->destroyed) return;
    }
  }
}

void Observable::endChange(const QString& key) {
  if (!state_) return;
  std::shared_ptr<State> state = state_;
  auto bracket = state->brackets.find(key);
  if (bracket == state->brackets.end()) return;  // a did without its will
  const QStringList opened = bracket->takeLast();
  if (bracket->isEmpty()) state->brackets.erase(bracket);

  // The changed key's own observers hear first, then those of its dependents.
  for (const QString& changed : opened) {
    auto found = state->pending.find(changed);
    if (found == state->pending.end() || --found->depth > 0) continue;
    KeyValueChange change = found->change;
    state->pending.erase(found);
    if (state->anyWants(changed, ObservingNew)) {
      if (change.kind == KeyValueChangeKind::Setting) {
        change.newValue = valueForKey(changed);
      } else if (change.kind != KeyValueChangeKind::Removal) {
        change.newValue = elementsAt(valueForKey(changed), change.indexes);
      }
    }
    for (const auto& entry : state->observersOf(changed)) {
      if (entry->removed) continue;
      entry->handler(this, changed, filteredFor(*entry, change));
      if (state->destroyed) return;
    }
  }
}

}  // namespace fnd
