#pragma once

#include <QObject>
#include <exception>
#include <utility>

// Every command a window runs (a menu item, a toolbar button, a push button) goes through guarded():
// a failure that escapes the command is shown through the message service, a transaction the
// command left open is rolled back, and the program goes on. No exception reaches Qt's event code,
// which is not made to carry one.
void commandFailed(const std::exception& e) noexcept;

template <class Body>
void guarded(Body&& body) noexcept {
  try {
    std::forward<Body>(body)();
  } catch (const std::exception& e) {
    commandFailed(e);
  } catch (...) {
    commandFailed(std::runtime_error("An unexpected error ended the command."));
  }
}

// connect() for a command: the slot, a member function of the receiver or a function object, runs
// through guarded() with the signal's arguments it takes.
template <class Sender, class Signal, class Receiver, class R, class C, class... Args>
QMetaObject::Connection connectCommand(Sender* sender, Signal signal, Receiver* receiver,
                                       R (C::*slot)(Args...), Qt::ConnectionType type = Qt::AutoConnection) {
  return QObject::connect(
      sender, signal, receiver,
      [receiver, slot](Args... args) { guarded([&] { (receiver->*slot)(args...); }); }, type);
}

namespace GuardedDetail {
// The function object's own parameters, so that Qt passes it just the signal's arguments it takes.
template <class Slot, class R, class... Args>
auto wrap(Slot slot, R (Slot::*)(Args...) const) {
  return [slot = std::move(slot)](Args... args) { guarded([&] { slot(args...); }); };
}
}  // namespace GuardedDetail

template <class Sender, class Signal, class Receiver, class Slot>
QMetaObject::Connection connectCommand(Sender* sender, Signal signal, Receiver* receiver, Slot slot,
                                       Qt::ConnectionType type = Qt::AutoConnection) {
  return QObject::connect(sender, signal, receiver, GuardedDetail::wrap(std::move(slot), &Slot::operator()),
                          type);
}
