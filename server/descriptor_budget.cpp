#include "server/descriptor_budget.h"

#include <sys/resource.h>

int64_t FixedDescriptors(int threads, int dbConnections) {
  return 3 + 1 + 4 * static_cast<int64_t>(threads) + dbConnections + 3 + 8 + 32;
}

int64_t ConnectionDescriptors(int64_t connections, int refusalSlots) {
  return 2 * connections + refusalSlots;
}

DescriptorBudget FitConnections(int64_t limit, int maxConnections, int threads,
                                int dbConnections, int refusalSlots) {
  DescriptorBudget budget;
  budget.limit = limit;
  budget.maxConnections = maxConnections;
  if (limit <= 0) return budget;  // unknown: as asked
  const int64_t room = limit - FixedDescriptors(threads, dbConnections) - refusalSlots;
  const int64_t fits = room > 0 ? room / 2 : 0;
  if (fits < maxConnections) {
    budget.maxConnections = static_cast<int>(fits);
    budget.lowered = true;
  }
  return budget;
}

int64_t RaiseDescriptorLimit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return 0;
  if (limit.rlim_cur < limit.rlim_max) {
    rlimit raised = limit;
    raised.rlim_cur = limit.rlim_max;
    if (setrlimit(RLIMIT_NOFILE, &raised) == 0) limit = raised;
  }
  if (limit.rlim_cur == RLIM_INFINITY) return INT64_MAX;
  return static_cast<int64_t>(limit.rlim_cur);
}
