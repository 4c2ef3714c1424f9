// A small HTTP server for tests, listening on 127.0.0.1 only: it records the
// exact bytes of every request and answers each with the next scripted
// reply (status, headers, body, a delay, or a connection dropped part way).
// It runs on the test's event loop, so tests spin the loop while it works.
#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QTcpServer>
#include <QUrl>
#include <functional>
#include <optional>

class QTcpSocket;

namespace tst {

struct ScriptedReply {
  int status = 200;
  QByteArray reason = "OK";
  QList<QPair<QByteArray, QByteArray>> headers;
  QByteArray body;
  // Milliseconds between the request's last byte and the first byte sent.
  int delayMs = 0;
  // When not negative, only this many bytes of the whole reply (status line
  // and headers included) are sent before the connection is closed.
  int dropAfterBytes = -1;
};

struct RecordedRequest {
  QByteArray raw;  // every byte received, head and body
  QByteArray method;
  QByteArray target;  // as sent: path and query
  QList<QPair<QByteArray, QByteArray>> headers;
  QByteArray body;
  QByteArray header(const QByteArray& name) const;
};

class LoopbackServer : public QObject {
 public:
  LoopbackServer();
  ~LoopbackServer() override;

  // http://127.0.0.1:PORT followed by `path`.
  QUrl url(const QString& path = QStringLiteral("/")) const;
  // Replies are used in order; without one left, 404 with an empty body.
  void addReply(const ScriptedReply& reply) { replies_.append(reply); }
  const QList<RecordedRequest>& requests() const { return requests_; }
  // Asked first for every request; a request it gives no reply for takes
  // the next scripted one. For clients (a web engine) whose requests come in
  // no fixed order.
  using Router = std::function<std::optional<ScriptedReply>(const RecordedRequest&)>;
  void setRouter(Router router) { router_ = std::move(router); }

 private:
  void accept();
  void receive(QTcpSocket* socket);

  QTcpServer server_;
  QList<ScriptedReply> replies_;
  QList<RecordedRequest> requests_;
  Router router_;
};

}  // namespace tst
