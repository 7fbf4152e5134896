#include "tests/handlers.h"

#include <stdexcept>

#include "tests/registry.h"

namespace drawtests {

const TestEntry& TestOfButton(int button) {
  for (const TestEntry& t : kTests)
    if (t.button == button) return t;
  throw std::out_of_range("no drawing test on that button");
}

const TestEntry* TestNamed(std::string_view name) {
  for (const TestEntry& t : kTests)
    if (name == t.name) return &t;
  return nullptr;
}

const TestRow& TestRowOfButton(int button) { return *TestOfButton(button).row; }

}  // namespace drawtests
