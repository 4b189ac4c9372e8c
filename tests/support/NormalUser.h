// Runs a check as a normal user: directly when the test already is one,
// else in a forked child that drops root for an unprivileged account
// ("nobody"), since root passes the checks that matter here (exclusive
// opens, foreign pids) without meeting them.
//
//   const std::string failure = testsupport::AsNormalUser({pair.PathA(), folder}, [&] {
//       return open(...) >= 0 ? "" : "open failed";
//   });
//   EXPECT_EQ(failure, "");
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace testsupport {

// `reachable`: paths the check needs (a pseudo-terminal, a folder), handed to
// that user first; a symlink counts as its target. The check's result: ""
// when it passed, else what failed (also when the child could not run it).
std::string AsNormalUser(const std::vector<std::string>& reachable,
                         const std::function<std::string()>& check);

}  // namespace testsupport
