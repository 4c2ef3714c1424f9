#include "LoopbackServer.h"

#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

namespace tst {

namespace {

// Parses a complete request in `buffer`; false while bytes are missing.
bool parseRequest(const QByteArray& buffer, RecordedRequest* request) {
  const int headEnd = buffer.indexOf("\r\n\r\n");
  if (headEnd < 0) return false;
  const QList<QByteArray> lines = buffer.left(headEnd).split('\n');
  const QList<QByteArray> start = lines.value(0).trimmed().split(' ');
  RecordedRequest parsed;
  parsed.method = start.value(0);
  parsed.target = start.value(1);
  for (qsizetype i = 1; i < lines.size(); ++i) {
    const int colon = lines[i].indexOf(':');
    if (colon > 0)
      parsed.headers.append({lines[i].left(colon).trimmed(), lines[i].mid(colon + 1).trimmed()});
  }
  const qsizetype length = parsed.header("Content-Length").toLongLong();
  if (buffer.size() < headEnd + 4 + length) return false;
  parsed.body = buffer.mid(headEnd + 4, length);
  parsed.raw = buffer.left(headEnd + 4 + length);
  *request = parsed;
  return true;
}

QByteArray replyBytes(const ScriptedReply& reply) {
  QByteArray bytes = "HTTP/1.1 " + QByteArray::number(reply.status) + ' ' + reply.reason + "\r\n";
  for (const auto& [name, value] : reply.headers) bytes += name + ": " + value + "\r\n";
  bytes += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
  bytes += "Connection: close\r\n\r\n";
  return bytes + reply.body;
}

}  // namespace

QByteArray RecordedRequest::header(const QByteArray& name) const {
  for (const auto& [field, value] : headers)
    if (field.compare(name, Qt::CaseInsensitive) == 0) return value;
  return {};
}

LoopbackServer::LoopbackServer() {
  server_.listen(QHostAddress::LocalHost, 0);
  connect(&server_, &QTcpServer::newConnection, this, &LoopbackServer::accept);
}

LoopbackServer::~LoopbackServer() { server_.close(); }

QUrl LoopbackServer::url(const QString& path) const {
  return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(server_.serverPort()).arg(path));
}

void LoopbackServer::accept() {
  while (QTcpSocket* socket = server_.nextPendingConnection()) {
    socket->setParent(this);
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { receive(socket); });
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
  }
}

void LoopbackServer::receive(QTcpSocket* socket) {
  QByteArray buffer = socket->property("buffer").toByteArray() + socket->readAll();
  socket->setProperty("buffer", buffer);
  RecordedRequest request;
  if (socket->property("answered").toBool() || !parseRequest(buffer, &request)) return;
  socket->setProperty("answered", true);
  requests_.append(request);
  std::optional<ScriptedReply> routed = router_ ? router_(request) : std::nullopt;
  const ScriptedReply reply = routed               ? *routed
                              : replies_.isEmpty() ? ScriptedReply{404, "Not Found", {}, {}, 0, -1}
                                                   : replies_.takeFirst();
  QPointer<QTcpSocket> target(socket);
  QTimer::singleShot(reply.delayMs, this, [target, reply] {
    if (!target) return;
    const QByteArray bytes = replyBytes(reply);
    if (reply.dropAfterBytes < 0) {
      target->write(bytes);
      target->disconnectFromHost();
    } else {
      target->write(bytes.left(reply.dropAfterBytes));
      target->flush();
      target->abort();
    }
  });
}

}  // namespace tst
