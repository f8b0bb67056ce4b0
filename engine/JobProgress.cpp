#include "JobProgress.h"

JobProgress gJobProgress;
