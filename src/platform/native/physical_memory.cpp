// The machine's memory, as the system reports it (POSIX).

#include <unistd.h>

#include "platform/native.h"

namespace brisel::native {

uint64_t PhysicalMemoryBytes() {
  const long pages = sysconf(_SC_PHYS_PAGES), pageSize = sysconf(_SC_PAGE_SIZE);
  if (pages <= 0 || pageSize <= 0) return 0;
  return uint64_t(pages) * uint64_t(pageSize);
}

}  // namespace brisel::native
