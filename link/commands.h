// The nine commands of the unit. Each returns a result code (result_codes.h).
#pragma once

#include "connected_unit.h"
#include "exchange.h"
#include "protocol.h"

enum LockAction : BYTE { lockRelease = 0x00, lockEngage = 0x01 };
enum ProtectionAction : BYTE { protectionLift = 0x00, protectionRestore = 0x01 };

// Identification commands: they exchange in the caller's buffer and store what the reply
// carries in into (ConnectedUnit, or a scratch record when the unit is identified again). ReadTargetIdentity sets only bytes 0 and 1 of its request, so the
// rest goes out as the previous reply left it.
int GetStatus(BYTE (&report)[reportBufferSize], ConnectedUnitRecord& into);
int ReadMemory(BYTE (&report)[reportBufferSize], ConnectedUnitRecord& into);
int ReadTargetInfo(BYTE (&report)[reportBufferSize], ConnectedUnitRecord& into);
int ReadTargetIdentity(BYTE (&report)[reportBufferSize], ConnectedUnitRecord& into);

// Update commands.
int SetSystemLock(LockAction action);
int SetWriteProtection(ProtectionAction action);
// The loader erases between request and reply; wait spends that second (eraseWaitMs).
int EraseFirmware(ReplyWait wait);
int SetWriteAddress();
// Sends all blockSize bytes at block whatever wordCount announces (0..maxBlockWords).
int WriteBlock(const BYTE* block, DWORD wordCount);
