// An input window's handler for the tests: it notes every call, answers
// Submit with Reason after Delay, and counts the Submits under way and done.
#pragma once

#include "Window.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace windowtest {

class TInputHandlerStub final : public ui::IInputHandler {
public:
  std::u16string Submit(std::span<const std::u16string> fields) override {
    ++Running;
    std::this_thread::sleep_for(Delay.load());
    const std::lock_guard lock(Lock);
    Submits.emplace_back(fields.begin(), fields.end());
    Thread = std::this_thread::get_id();
    --Running;
    ++Done;
    return Reason;
  }
  void Command(int id) override {
    const std::lock_guard lock(Lock);
    Commands.push_back(id);
  }

  size_t SubmitCount() {
    const std::lock_guard lock(Lock);
    return Submits.size();
  }
  std::vector<std::u16string> LastSubmit() {
    const std::lock_guard lock(Lock);
    return Submits.empty() ? std::vector<std::u16string>{} : Submits.back();
  }
  bool Commanded() {
    const std::lock_guard lock(Lock);
    return !Commands.empty();
  }
  std::vector<int> TakeCommands() {
    const std::lock_guard lock(Lock);
    return std::exchange(Commands, {});
  }
  void Answer(std::u16string reason) {
    const std::lock_guard lock(Lock);
    Reason = std::move(reason);
  }

  std::mutex Lock; // guards the four below
  std::u16string Reason;
  std::vector<std::vector<std::u16string>> Submits;
  std::vector<int> Commands;
  std::thread::id Thread; // of the last Submit
  std::atomic<std::chrono::milliseconds> Delay{std::chrono::milliseconds(0)};
  std::atomic<int> Running{0};
  std::atomic<int> Done{0};
};

} // namespace windowtest
