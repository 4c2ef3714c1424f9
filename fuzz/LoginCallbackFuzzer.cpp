// Fuzzes the login dialog's reading of the pages the service sends and of
// login addresses: a page gives at most one outcome, and the error of a
// cancel always carries its message.
#include <QCoreApplication>
#include <cstdlib>

#include "FuzzSupport.h"
#include "sharing/FBLoginDialog.h"
#include "sharing/Facebook.h"

namespace {

struct Outcomes : FBLoginDialogDelegate {
  void fbDialogLogin(const QString& token, const QDateTime&) override {
    if (token.isEmpty()) std::abort();
    ++count;
  }
  void fbDialogNotLogin(bool) override { ++count; }
  int count = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray bytes = fuzz::bytes(data, size);
  auto outcomes = std::make_shared<Outcomes>();
  auto dialog = std::make_shared<FBLoginDialog>("http://127.0.0.1/dialog/oauth", QVariantMap{},
                                                outcomes);
  dialog->webViewResourceDidFinishLoading(bytes);
  dialog->webViewResourceDidFinishLoading(bytes);
  if (outcomes->count > 1) std::abort();
  const QString text = QString::fromUtf8(bytes);
  FBDialog::getStringFromUrl(text, QStringLiteral("access_token="));
  Facebook::parseURLParams(text);
  auto session = Facebook::initWithAppId(QStringLiteral("42"));
  session->handleOpenURL(QUrl(QStringLiteral("fb42://authorize#") + text));
  QCoreApplication::sendPostedEvents();  // the dialogs let go of their delegates
  return 0;
}
