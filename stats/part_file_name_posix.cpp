#include "stats/part_file_name.h"

FileNameRules PlatformFileNameRules() { return FileNameRules::kPosix; }
