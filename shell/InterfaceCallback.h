// Progress reporting and cancellation for long operations.
//
// The GUI implements InterfaceCallback with its progress box, the command
// line with a terminal progress line, the tests with recorders.  check() is
// the only point where cancellation happens: it throws InterruptedException.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

class InterruptedException : public std::exception {};

class InterfaceCallback {
 public:
  virtual ~InterfaceCallback() {}
  // Serve pending events; throw InterruptedException when asked to stop.
  virtual void check() {}
  // line 0 main text, 1 second text, 2 title.  Calls with channel != 0 are ignored.
  virtual void setText(int line, int channel, const std::string& text) {}
  // op 0 sets the position, op 1 adds to it.
  virtual void setValue(int op, int channel, uint64_t value) {}
};

class UsesInterfaceCallback {
 public:
  virtual ~UsesInterfaceCallback() {}
  virtual void setCallback(InterfaceCallback* callback) { callback_ = callback; }
  virtual InterfaceCallback* callback() { return callback_; }
  virtual bool hasCallback() { return callback_ != nullptr; }
  virtual void check() { if (callback_) callback_->check(); }
  virtual void setText(int line, int channel, const std::string& text) {
    if (callback_) callback_->setText(line, channel, text);
  }
  virtual void setValue(int op, int channel, uint64_t value) {
    if (callback_) callback_->setValue(op, channel, value);
  }

 private:
  InterfaceCallback* callback_ = nullptr;
};
