#include "MonitorLog.h"

Q_LOGGING_CATEGORY(lcMonitor, "vorsa.monitor")
