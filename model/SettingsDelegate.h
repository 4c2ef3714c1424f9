// Told after every change of a window's Settings, default fills included.
#pragma once

class SettingsDelegate {
 public:
  virtual ~SettingsDelegate() = default;
  virtual void settingsDidChanged() = 0;
};
