// What a fuzz target asserts: a broken promise aborts, and libFuzzer keeps
// the input that did it.
#pragma once

namespace r7700::fuzz {

inline void Check(bool promise_kept) {
  if (!promise_kept) __builtin_trap();
}

}  // namespace r7700::fuzz
