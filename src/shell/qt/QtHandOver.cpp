#include "shell/qt/QtHandOver.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMetaObject>

namespace varo {

void QtHandOver::RunOnMainThread(const std::function<void()>& work) {
  // Blocks this (listener) thread until the main thread has run the call.
  QMetaObject::invokeMethod(
      &receiver_, [&work] { work(); }, Qt::BlockingQueuedConnection);
}

void QtHandOver::ServePending() {
  QCoreApplication::sendPostedEvents(&receiver_, QEvent::MetaCall);
}

}  // namespace varo
