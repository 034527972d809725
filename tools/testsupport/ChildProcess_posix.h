// Child processes of a test program on Linux: the program started again to
// run one of its own tests, with variables that tell that test its part.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace testenv {

// Starts this test program again running only test (a GoogleTest filter such
// as "Suite.Name"), with variables ("NAME=value") in its environment in place
// of any of the same names, and its standard output thrown away (its report
// would only interleave with the parent's). -1 when it cannot start.
pid_t StartSelf(const std::string& test, const std::vector<std::string>& variables);
// Waits for child to end: its exit status, or minus the signal that ended it.
int WaitChild(pid_t child);

} // namespace testenv
