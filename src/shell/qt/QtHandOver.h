// The listener's hand-over to the main thread through Qt's event loop.
#pragma once

#include <QObject>

#include "endpoint/MainThreadHandOver.h"

namespace varo {

class QtHandOver : public MainThreadHandOver {
 public:
  // To be created on the main thread: hand-overs run on the thread that created it.
  QtHandOver() = default;

  void RunOnMainThread(const std::function<void()>& work) override;
  void ServePending() override;

 private:
  QObject receiver_;
};

}  // namespace varo
