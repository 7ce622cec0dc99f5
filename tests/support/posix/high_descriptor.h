// Moves a socket to a descriptor number above the range a select() bitmap could hold.
#pragma once

namespace test_support {

// Duplicates `handle` to a number of at least `minimum` (raising the soft open-file limit if
// it is in the way) and closes the original. Returns the new number, or ~0u on failure.
unsigned int moveToHighDescriptor(unsigned int handle, int minimum);

}  // namespace test_support
