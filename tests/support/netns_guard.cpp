// Linked into every test binary that sends device-search probes or opens the
// lab's fixed ports. CTest runs them inside a private network namespace
// (scripts/netns-run.sh); started by hand on a machine with a real network they
// would broadcast probes onto the site's network, so they refuse to start.
#include <net/if.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool onlyLoopbackExists() {
  struct if_nameindex* names = if_nameindex();
  if (names == nullptr) return false;
  bool onlyLoopback = true;
  for (const struct if_nameindex* n = names; n->if_index != 0; ++n)
    if (std::strcmp(n->if_name, "lo") != 0) onlyLoopback = false;
  if_freenameindex(names);
  return onlyLoopback;
}

const bool kRefusedOutsideNamespace = [] {
  if (!onlyLoopbackExists()) {
    std::fputs(
        "refusing to start: this test sends device-search probes; "
        "run it through scripts/netns-run.sh\n",
        stderr);
    std::_Exit(77);  // CTest's skip code
  }
  return false;
}();

}  // namespace
