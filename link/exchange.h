// One exchange with the unit: one output report written, one input report read.
#pragma once

#include "protocol.h"

// How an exchange spends the time between its request and its reply. The link only waits; what
// else the thread does meanwhile is the caller's, who hands the wait down.
using ReplyWait = void (*)(DWORD ms);

// Writes the request in report, reads the reply into the same buffer. Returns resultSuccess,
// resultNoUnit, resultWriteFailed or resultReadFailed; the reply's meaning is decoded by the
// command that sent it. Each transfer waits at most 10 s, the window answering meanwhile; one
// cancelled at that limit fails with ERROR_TIMEOUT as the thread's last error. A reply shorter
// than the input report fails too.
int sendCommand(BYTE (&report)[reportBufferSize]);
// The same with wait(waitMs) between a written request and the read of its reply.
int sendCommand(BYTE (&report)[reportBufferSize], DWORD waitMs, ReplyWait wait);

// True while an exchange waits: the windows answer what is sent to them meanwhile, and nothing
// they do then may close the unit or start another exchange.
bool exchangeUnderWay();

// Clears the request buffer and sets the report ID, command code and length byte.
// Bytes no command names go out as zero.
void prepareRequest(BYTE (&report)[reportBufferSize], CommandCode command, BYTE length);

// True when the reply carries the unit's error flag instead of data.
bool replyHasErrorFlag(const BYTE (&report)[reportBufferSize]);

// The unit's error code of a reply: 0 without the error flag. Commands differ in its width.
int replyErrorCode32(const BYTE (&report)[reportBufferSize]);
int replyErrorCode16(const BYTE (&report)[reportBufferSize]);
