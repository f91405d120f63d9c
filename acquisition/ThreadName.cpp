#include "acquisition/ThreadName.h"

#ifdef __linux__
#include <pthread.h>
#endif

void setThreadName(const char* name) {
#ifdef __linux__
  // Linux keeps 15 characters and refuses longer names, so longer ones are cut here.
  char kept[16] = {};
  for (int i = 0; i < 15 && name[i] != '\0'; ++i) kept[i] = name[i];
  pthread_setname_np(pthread_self(), kept);
#else
  (void)name;
#endif
}
