#pragma once

#include <QLoggingCategory>

// The link's diagnostics: state changes and failures at info level, resends, acknowledgements
// and refused reports at debug level. Silent unless asked for, for instance with
// QT_LOGGING_RULES="qj.link.info=true" (or "qj.link*=true" for everything). The byte trace of
// --trace stays the service tool; this says what the link made of the bytes.
Q_DECLARE_LOGGING_CATEGORY(lcLink)
