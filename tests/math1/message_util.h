// Message of the exception of class E raised by f ("<no exception>" when none is raised; other
// classes propagate and fail the test).
#pragma once

#include <string>

template <class E, class F>
std::string MessageOf(F&& f) {
  try {
    f();
  } catch (const E& e) {
    return e.what();
  }
  return "<no exception>";
}
