#include "link/linklog.h"

// Warnings would show by default; the link logs none, only info and debug.
Q_LOGGING_CATEGORY(lcLink, "qj.link", QtWarningMsg)
