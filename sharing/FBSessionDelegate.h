// What a session tells its delegate about logging in and out, on the main
// thread. Each call is optional: the session sends only those the delegate
// names in respondsTo.
#pragma once

class FBSessionDelegate {
 public:
  enum Callback { FbDidLogin, FbDidNotLogin, FbDidLogout };

  virtual ~FBSessionDelegate() = default;
  virtual bool respondsTo(Callback callback) const = 0;

  virtual void fbDidLogin() {}
  virtual void fbDidNotLogin(bool /*cancelled*/) {}
  virtual void fbDidLogout() {}
};
