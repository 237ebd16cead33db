// Helpers for benchmark programs (bench/*.cpp, one program each).
//
// A benchmark prints one line per measured figure with bench_report; the
// bench script collects them into a table. It exits with status 0 when
// every target is met and 1 otherwise (bench_exit_status()).
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>

inline int &bench_failures() {
  static int failures = 0;
  return failures;
}

// Line format read by scripts/bench:
//   RESULT|<figure>|<value>|<unit>|<target>|<ok or MISSED>
inline void bench_report(const char *figure, double value, const char *unit, const char *target, bool ok) {
  if (!ok) ++bench_failures();
  printf("RESULT|%s|%.6g|%s|%s|%s\n", figure, value, unit, target, ok ? "ok" : "MISSED");
  fflush(stdout);
}

inline int bench_exit_status() { return bench_failures() == 0 ? 0 : 1; }

// Best wall-clock time in seconds of `repeat` runs of fn().
template <typename Fn> double bench_best_seconds(int repeat, Fn &&fn) {
  double best = 1e30;
  for (int i = 0; i < repeat; ++i) {
    auto t0 = std::chrono::steady_clock::now();
    fn();
    std::chrono::duration<double> d = std::chrono::steady_clock::now() - t0;
    best = std::min(best, d.count());
  }
  return best;
}
