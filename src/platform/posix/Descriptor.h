// Linux: an open descriptor closed when its holder goes, shared by the files that hold one.
#pragma once

#include <unistd.h>

#include <utility>

namespace varo {

// Closes a descriptor when it goes out of scope; -1 holds none.
class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Descriptor& operator=(Descriptor&& other) noexcept {
    if (this != &other) {
      if (fd_ >= 0) ::close(fd_);
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;

  // The descriptor, -1 when none is held.
  int Get() const { return fd_; }
  // Whether a descriptor is held.
  bool IsOpen() const { return fd_ >= 0; }
  // Closes now and reports the result, since a delayed write error may only show here.
  int Close() { return ::close(std::exchange(fd_, -1)); }

 private:
  int fd_;
};

}  // namespace varo
