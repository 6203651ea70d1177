// The calling thread made ready for the desktop shell's calls (opening a file in its viewer, the
// Recycle Bin's file operation), for as long as the object lives: on Windows a COM
// single-threaded apartment, as the shell's documentation asks of its callers; nothing on Linux.
#pragma once

namespace varo {

class ShellApartment {
 public:
  // Enters the apartment; a thread already in another kind of apartment stays in it.
  ShellApartment();
  // Leaves the apartment, if this entered it; every COM object of the thread is released by then.
  ~ShellApartment();
  ShellApartment(const ShellApartment&) = delete;
  ShellApartment& operator=(const ShellApartment&) = delete;

  // Hands the messages waiting for this thread to their windows, as the owner of an apartment must
  // while it waits for anything else (COM delivers calls from other threads as messages).
  void DispatchPending();

 private:
  bool entered_ = false;
};

}  // namespace varo
