// Trace and error hooks of the engine. Every engine function traces
// "<name>() enter" / "<name>() exit" and reports a logged failure with a format
// "in %s() <reason>." and its own name. Both default to doing nothing.
#ifndef TAGMILL_ENGINE_LOG_H
#define TAGMILL_ENGINE_LOG_H

void tav_trace(const char *text);
void tav_log_error(const char *format, const char *function);

#endif
