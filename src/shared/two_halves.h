#pragma once

#include <chrono>
#include <cstdint>
#include <future>
#include <type_traits>
#include <utility>

namespace tavrin {

// How the process shares its work out among threads: one value for the whole process
// (ProcessContext::threads), handed to everything that cuts its work in two halves.
struct ThreadUse {
  // Everything on the calling thread. The results are the same either way, byte for
  // byte; the tests run both ways.
  bool oneThread = false;
  // The least size, in bytes of text read or written, that is worth a second thread:
  // for less, starting the thread costs about what it saves. Tests lower it so that
  // their small texts are cut in two as well.
  std::uint64_t twoThreadBytes = std::uint64_t{1} << 20;

  bool WorthTwoThreads(std::uint64_t bytes) const { return !oneThread && bytes >= twoThreadBytes; }
};

// Where a text of `size` bytes is cut into two halves of whole lines: the start of the
// first line behind the middle, as lineStartAfter(size / 2) finds it (`size` when no line
// starts there). A text not worth two threads is not cut: the result is `size`.
template <typename LineStartAfter>
std::uint64_t HalfwayLineStart(const ThreadUse& threads, std::uint64_t size,
                               LineStartAfter&& lineStartAfter) {
  return threads.WorthTwoThreads(size) ? lineStartAfter(size / 2) : size;
}

namespace two_halves {
struct NoResult {};
template <typename Part>
auto Call(Part& part) {
  if constexpr (std::is_void_v<std::invoke_result_t<Part&>>) {
    part();
    return NoResult{};
  } else {
    return part();
  }
}
}  // namespace two_halves

// Runs first() on the calling thread and, when `split`, second() on a worker thread at the
// same time; returns their results in this order, for the caller to join the halves in
// order. Without `split`, second() is not run and its result is value-initialised.
// While the worker is still busy after first() has returned, waiting() is called about
// every 100 ms (to show progress from the calling thread). An exception from first() is
// rethrown once the worker has ended, so that nothing the worker uses goes away under it;
// otherwise one from second() is rethrown.
template <typename First, typename Second, typename Waiting>
auto RunTwoHalves(bool split, First&& first, Second&& second, Waiting&& waiting) {
  using FirstResult = decltype(two_halves::Call(first));
  using SecondResult = decltype(two_halves::Call(second));
  if (!split) {
    FirstResult head = two_halves::Call(first);
    return std::pair<FirstResult, SecondResult>(std::move(head), SecondResult{});
  }
  std::future<SecondResult> worker =
      std::async(std::launch::async, [&second] { return two_halves::Call(second); });
  FirstResult head = [&] {
    try {
      return two_halves::Call(first);
    } catch (...) {
      // Whatever first() threw, the worker may still use what the caller's frame holds:
      // it is waited for before the exception goes on to the caller, who handles it.
      worker.wait();
      throw;
    }
  }();
  while (worker.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready) waiting();
  return std::pair<FirstResult, SecondResult>(std::move(head), worker.get());
}

template <typename First, typename Second>
auto RunTwoHalves(bool split, First&& first, Second&& second) {
  return RunTwoHalves(split, first, second, [] {});
}

}  // namespace tavrin
