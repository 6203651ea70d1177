// The single-instance guard, dropped by the system when the holder ends, and the way a later start
// asks the holder to show its window: a listening socket under an abstract name on Linux, a
// connection from a socket bound to a name of its own being the request; a named mutex on Windows, the request being a window message.
#pragma once

#include <cstdint>
#include <string>

namespace varo {

// What names the lock. Linux: "quillmarch-varo-server-<uid>" in the abstract socket namespace, one
// per user whatever the environment (settingsFolder unused). Windows: the mutex "Quillmarch Varo
// server", one per logon session.
std::string InstanceLockPath(const std::string& settingsFolder);

class InstanceLock {
 public:
  // Tries to take the lock without waiting. A lock that cannot be created or taken for any reason
  // but another holder of this user counts as taken, so the program runs as the first instance.
  // When this user's holder is found and askToShow is set, it is asked to show its window: on
  // Linux by the name this start's connection comes from, waiting a moment for the answer; on
  // Windows by a message posted to its main window (found by win32::MainWindowClass), whose
  // process may then take the foreground.
  explicit InstanceLock(const std::string& lockName, bool askToShow = false);
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // Whether another process of this user held the lock when it was tried.
  bool HeldElsewhere() const { return heldElsewhere_; }
  // Who holds the name when it is another user's process ("a process of user 65534"), so this
  // one runs without a guard; "" otherwise. Always "" on Windows, whose name is the session's own.
  const std::string& TakenBy() const { return takenBy_; }
  // Whether the holder took the request to show its window: on Linux it answered on the guard's
  // connection; on Windows the message was posted to its window.
  bool ShowConfirmed() const { return showConfirmed_; }
  // Lets the lock go now (also done by the destructor).
  void Release();

  // The holder's side. What its toolkit's event loop watches to learn that a later start knocked;
  // -1 while this process holds no lock. Linux: the listening socket's descriptor, readable when
  // a start waits on it. Windows: the number of the registered window message that a start asking
  // for the window posts to the main window (-1 also when none could be registered).
  int KnockHandle() const;
  // Called by the holder's loop when KnockHandle signalled; true when one of this user asked for
  // the window to be shown. Linux: accepts, answers (with this user id) and closes the starts
  // waiting on the socket, a bounded number a call, reading nothing from them, so it never waits.
  // Windows: the message itself is the request, from a start on this desktop, and
  // nothing waits for an answer, so true while the lock is held.
  bool AnswerKnocks();

 private:
  std::intptr_t native_ = -1;  // the socket's descriptor, or the mutex's handle; -1 when none
  bool heldElsewhere_ = false;
  bool showConfirmed_ = false;
  std::string takenBy_;
};

}  // namespace varo
