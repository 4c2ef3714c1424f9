// A small document for the document tests: UTF-8 text with an undoable
// setter, a plain window controller, and a writer that can be told to stop
// half-way through a file.
#pragma once

#include <QFile>
#include <ostream>

#include "appkit/Document.h"
#include "appkit/DocumentController.h"
#include "appkit/WindowController.h"
#include "foundation/UndoManager.h"

// GoogleTest prints QStrings as text.
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}

namespace apptest {

inline const QString TextType = QStringLiteral("public.plain-text");

class TextDocument : public ui::Document {
 public:
  QString text() const { return text_; }
  void setText(const QString& text) {
    const QString old = text_;
    undoManager()->registerUndoWithTarget(this, [this, old] { setText(old); });
    text_ = text;
  }
  bool readFromData(const QByteArray& data, const QString&, fnd::Error*) override {
    text_ = QString::fromUtf8(data);
    return true;
  }
  QByteArray dataOfType(const QString&, fnd::Error*) override { return text_.toUtf8(); }
  bool writeToURL(const QUrl& url, const QString& type, ui::SaveOperationType op,
                  const QUrl& original, fnd::Error* error) override {
    writtenURLs.append(url);
    if (!failHalfway) return ui::Document::writeToURL(url, type, op, original, error);
    // Half the bytes, then a failure that leaves no error behind.
    QFile file(url.toLocalFile());
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    file.write(text_.toUtf8().left(text_.size() / 2));
    return false;
  }
  void makeWindowControllers() override {
    addWindowController(std::make_unique<ui::WindowController>());
  }
  bool autosavesInPlace() const override { return autosaves; }

  bool failHalfway = false;
  bool autosaves = false;
  QList<QUrl> writtenURLs;

 private:
  QString text_;
};

// A document controller for text documents only.
class TextDocumentController : public ui::DocumentController {
 public:
  TextDocumentController() {
    setDocumentTypes({{TextType, {"txt"}, "Text", false, true}});
    setDocumentClass([] { return std::make_unique<TextDocument>(); });
  }
};

inline QByteArray readFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void writeFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  file.open(QIODevice::WriteOnly | QIODevice::Truncate);
  file.write(bytes);
}

}  // namespace apptest
